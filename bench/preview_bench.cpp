// Times "Visão Prévia" from the main window on the offscreen platform: from the command until
// the preview shows its first page (feeding, generation into the page store, first paint).
//   preview_bench FILE [RUNS]
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

#include "Program.h"
#include "report/output/TRpPrinter.h"
#include "report/preview/TRpPreview.h"
#include "report/preview/TRpStandardPreview.h"
#include "princ.h"
#include "report/form/r_dif.h"

using namespace tabulex;

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: preview_bench FILE [RUNS]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TProgram program;
    TF_tabulan& window = program.mainWindow();
    window.show();
    window.loadChosenFile(QString::fromLocal8Bit(argv[1]));
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        qint64 firstPage = -1;
        int pages = 0;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            auto* preview = qobject_cast<TRpStandardPreview*>(program.reportForm().Report1->PreviewWindow());
            if (!preview || !preview->Preview()->PageShown())
                return;
            firstPage = timer.elapsed();
            pages = preview->Preview()->Printer()->PageCount();
            preview->close();
        });
        watcher.start(1);
        timer.start();
        window.Preview1Click();
        std::printf("preview %d: first page after %lld ms, %d pages\n", i + 1, static_cast<long long>(firstPage), pages);
    }
    return 0;
}
