// Loads a source file through the main window's carregar_arq on the offscreen platform and
// prints the time of each load (file reading, listing, declaration scan, list view resets).
//   app_load_bench FILE [RUNS]
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "app/princ.h"
#include "widgets/TWideListBox.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: app_load_bench FILE [RUNS]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tabulex::TSession session;
    tabulex::TF_tabulan window(session);
    window.show();
    const auto* listing = window.findChild<tabulex::TWideListBox*>(QStringLiteral("ListBox1"));
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    qint64 best = -1;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        window.carregar_arq(argv[1]);
        QApplication::processEvents();  // lets the views lay out and paint once
        const qint64 ms = timer.elapsed();
        best = best < 0 ? ms : std::min(best, ms);
        std::printf("load %d: %lld ms (%d lines)\n", i + 1, static_cast<long long>(ms),
                    listing->Items().count());
    }
    std::printf("best: %lld ms\n", static_cast<long long>(best));
    return 0;
}
