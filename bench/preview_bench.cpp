// Times "Visão Prévia" from the main window as a user meets it, on the offscreen platform
// (or the display in QT_QPA_PLATFORM). One line each:
//   first_page_ms  from the command to page 1 painted in the preview window
//   all_pages_ms   from the command to the last page made
//   pages          pages of the report
//   cancel_ms      in a second preview, from an Esc sent while pages are still being made to
//                  the preview window closed and the command returned
//
//   preview_bench FILE
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>
#include <cstdio>

#include "app/Program.h"
#include "app/princ.h"
#include "report/form/r_dif.h"
#include "report/output/TRpPrinter.h"
#include "report/preview/TRpPreview.h"
#include "report/preview/TRpPreviewImage.h"
#include "report/preview/TRpStandardPreview.h"

using namespace tabulex;

namespace {

TRpStandardPreview* previewOf(TProgram& program)
{
    return qobject_cast<TRpStandardPreview*>(program.reportForm().report().PreviewWindow());
}

/// Notes the moment the preview window first paints a page.
class PaintWatch : public QObject {
public:
    PaintWatch(TProgram& program, const QElapsedTimer& clock) : program_(program), clock_(clock) {}
    qint64 firstPaint = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (firstPaint >= 0 || event->type() != QEvent::Paint)
            return false;
        TRpStandardPreview* window = previewOf(program_);
        if (window != nullptr && watched == window->Preview()->Image() &&
            window->Preview()->PageShown())
            firstPaint = clock_.elapsed();
        return false;
    }

private:
    TProgram& program_;
    const QElapsedTimer& clock_;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: preview_bench FILE\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TProgram program;
    TF_tabulan& window = program.mainWindow();
    window.show();
    window.loadChosenFile(QString::fromLocal8Bit(argv[1]));
    QAction* const Preview1 = window.findChild<QAction*>(QStringLiteral("Preview1"));
    // The user sees the loaded lists before choosing the command: let the window settle.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QApplication::processEvents();

    // First run: page 1 painted, every page made, then closed.
    QElapsedTimer clock;
    PaintWatch paints(program, clock);
    app.installEventFilter(&paints);
    qint64 allPages = -1;
    int pages = 0;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        TRpStandardPreview* preview = previewOf(program);
        if (preview == nullptr || preview->Output()->Status() != TRpPrinterStatus::Finished ||
            paints.firstPaint < 0)
            return;
        if (allPages < 0) {
            allPages = clock.elapsed();
            pages = preview->Output()->PageCount();
        }
        preview->close();
    });
    watcher.start(1);
    clock.start();
    Preview1->trigger();
    watcher.stop();
    app.removeEventFilter(&paints);

    // Second run: Esc once the first page is shown while later pages are still being made.
    qint64 escSent = -1;
    bool escWhileMaking = false;
    QTimer esc;
    QObject::connect(&esc, &QTimer::timeout, [&] {
        TRpStandardPreview* preview = previewOf(program);
        if (escSent >= 0 || preview == nullptr || !preview->Preview()->PageShown())
            return;
        escWhileMaking = preview->Making();
        escSent = clock.elapsed();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(preview->Preview(), &press);
    });
    esc.start(1);
    clock.start();
    Preview1->trigger();
    const qint64 returned = clock.elapsed();

    std::printf("first_page_ms=%lld\n", static_cast<long long>(paints.firstPaint));
    std::printf("all_pages_ms=%lld\n", static_cast<long long>(allPages));
    std::printf("pages=%d\n", pages);
    if (escSent >= 0 && escWhileMaking)
        std::printf("cancel_ms=%lld\n", static_cast<long long>(returned - escSent));
    else
        std::printf("cancel_ms=n/a (the pages were all made before the first one showed)\n");
    return 0;
}
