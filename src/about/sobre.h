#pragma once
#include <QDialog>
#include <QString>
#include <functional>

class QLabel;

namespace tabulex {

class TListBox;
class TScrollTextPanel;

/// The About window: program name and version, release line, the mail link, and one of
/// three panels (terms of use, the scrolling text about the author, credits) chosen by the
/// buttons on its left. Shown modally; OK, Enter or the close box end it, Esc does nothing.
/// Which panel is visible, and a running author text, carry over between showings.
///
/// Each control carries its name as object name ("B_autor", "SP_autor", "Label3", ...).
class TF_sobre : public QDialog {
    Q_OBJECT
public:
    /// Receives the "mailto:" text of the mail link; its outcome is not examined.
    using MailOpener = std::function<void(const QString& url)>;

    explicit TF_sobre(QWidget* parent = nullptr);
    ~TF_sobre() override;

    /// Replaces the default opener (the desktop's handler for the URL), e.g. in tests.
    void setMailOpener(MailOpener opener) { openMail_ = std::move(opener); }

private:
    void createControls();
    void keyPressEvent(QKeyEvent* event) override;

    void B_licencaClick();
    void B_autorClick();
    void B_creditosClick();
    void Label3Click();

    // The controls the buttons and the link act on; the others are made and left to the window.
    QLabel* Label3 = nullptr;
    TListBox* LB_licenca = nullptr;
    TScrollTextPanel* SP_autor = nullptr;
    TListBox* LB_creditos = nullptr;

    MailOpener openMail_;
};

}  // namespace tabulex
