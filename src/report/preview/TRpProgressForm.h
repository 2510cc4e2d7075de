#pragma once
#include <QDialog>

class QLabel;
class QProgressBar;

namespace tabulex {

class TRpPrinter;

/// "Printing progress" window of a print run: a bar from 0 to 100, a centred text line and
/// a "Cancel" button that cancels the page output. Centred on the screen, kept on top.
class TRpProgressForm : public QDialog {
    Q_OBJECT
public:
    explicit TRpProgressForm(TRpPrinter* output, QWidget* parent = nullptr);

    /// Page notification: `pages` pages are complete.
    void PagePrinted(int pages);

    QProgressBar* Bar() const { return bar_; }
    QLabel* Text() const { return text_; }

private:
    TRpPrinter* output_;
    QProgressBar* bar_;
    QLabel* text_;
};

}  // namespace tabulex
