#pragma once
#include <QMainWindow>
#include <memory>

class QAction;
class QLabel;
class QToolBar;

namespace tabulex {

class TRpPageList;
class TRpPrinter;
class TRpPreview;

/// The standard preview window of a page output: a toolbar (zoom, paging, printer setup,
/// print, save, load, close), the preview control and a status bar with the progress and
/// the page panels. Keys are handled by the window before its controls see them.
class TRpStandardPreview : public QMainWindow {
    Q_OBJECT
public:
    static inline const QString kRpfFilter = QStringLiteral("Report file(*.RPF)");
    static inline const QString kPdfFilter = QStringLiteral("PDF document (*.pdf)");

    /// A window on `output` (not owned), which must outlive the window.
    explicit TRpStandardPreview(TRpPrinter* output, QWidget* parent = nullptr);
    ~TRpStandardPreview() override;

    TRpPreview* Preview() const { return preview_; }
    TRpPrinter* Output() const { return output_; }
    QToolBar* ToolBar() const { return toolBar_; }
    /// The toolbar action with the given name (`ZoomFit` ... `ExitButton`), or null.
    QAction* Action(const QString& name) const;
    /// Texts of the progress panel and the page panel.
    QString ProgressText() const;
    QString PageText() const;

    /// The window's key handling: true when the key was one of its own.
    bool HandleKey(int key, Qt::KeyboardModifiers modifiers);

    void DoPrintSetup();
    void DoPrint();
    void DoSave();
    void DoLoad();
    /// Replaces the window's pages by those of the saved report file at `path`; shows
    /// "Invalid report file: " and the path when the file is not one (and says so of a file
    /// of an earlier version). False when nothing was loaded.
    bool LoadFile(const QString& path);
    /// The store of the saved report file at `path`; null after showing why it cannot be
    /// shown ("File does not exist", "Invalid report file: " and the path, or that it is a
    /// file of an earlier version) on `parent`.
    static std::unique_ptr<TRpPageList> OpenReportFile(QWidget* parent, const QString& path);
    /// Whether the pages are still being made (saving and loading wait for them).
    bool Making() const;

signals:
    /// The window was closed (button, Esc or the window's close box).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildToolBar();
    void enableFileActions();
    QAction* addAction(const char* name, const QString& hint, void (TRpStandardPreview::*slot)());
    void pageChanged();
    void refreshPageText();
    void pageAvailable(int count);
    void exportPdf(const QString& path);
    void gotoPage(int page);

    TRpPrinter* output_;
    TRpPreview* preview_;
    QToolBar* toolBar_ = nullptr;
    QLabel* progressPanel_;
    QLabel* pagePanel_;
};

}  // namespace tabulex
