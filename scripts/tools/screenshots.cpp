// Takes the README's picture of the main window with a listing loaded. Run by
// scripts/screenshots under Xvfb.
//   tabulex_screenshots SAMPLE OUTDIR
#include <QApplication>
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
    window.resize(760, 560);
    window.loadChosenFile(QString::fromLocal8Bit(argv[1]));
    const QString out = QString::fromLocal8Bit(argv[2]);
    QTimer::singleShot(500, [&] {
        window.grab().save(out + "/main-window.png");
        QApplication::quit();
    });
    return QApplication::exec();
}
