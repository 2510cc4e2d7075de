// Makes the README's pictures: the main window with the bundled sample's listing, and a page of
// the report. Run by scripts/screenshots under Xvfb.
//   tabulex_screenshots SAMPLE OUTDIR
#include <QApplication>
#include <QScrollBar>
#include <QTimer>
#include <cstdio>

#include "Program.h"
#include "TWideListBox.h"
#include "princ.h"

using namespace tabulex;

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: tabulex_screenshots SAMPLE OUTDIR\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorn Tabulan"));
    TProgram program;
    TF_tabulan& window = program.mainWindow();
    window.show();
    arq_atual = argv[1];
    window.carregar_arq(arq_atual);
    const QString out = QString::fromLocal8Bit(argv[2]);
    QTimer::singleShot(500, [&] {
        window.grab().save(out + "/main-window.png");
        window.ListBox1->horizontalScrollBar()->setValue(window.ListBox1->horizontalScrollBar()->maximum());
        QApplication::processEvents();
        window.grab().save(out + "/main-window-scrolled.png");
        QApplication::quit();
    });
    return QApplication::exec();
}
