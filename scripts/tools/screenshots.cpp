// Takes the README's pictures of the main window with a listing loaded (and a name found in
// it) and of the preview window showing its first page. Run by scripts/screenshots under Xvfb.
//   tabulex_screenshots SAMPLE OUTDIR
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>

#include "FindBar.h"
#include "Program.h"
#include "TRpPreview.h"
#include "TRpStandardPreview.h"
#include "TWideListBox.h"
#include "princ.h"
#include "r_dif.h"

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
    // The find bar open on a match, as a user following a name sees it.
    window.Localizar1Click();
    window.FindBar1->E_texto->setText(QStringLiteral("FTotal"));
    window.localizar(false);
    window.localizar(false);
    const QString out = QString::fromLocal8Bit(argv[2]);
    QTimer::singleShot(500, [&] {
        window.grab().save(out + "/main-window.png");
        // The preview window: grabbed once its first page is shown, then closed.
        QTimer* watcher = new QTimer(&window);
        QObject::connect(watcher, &QTimer::timeout, [&program, out, watcher] {
            auto* preview =
                qobject_cast<TRpStandardPreview*>(program.reportForm().report().PreviewWindow());
            if (!preview || !preview->Preview()->PageShown())
                return;
            watcher->stop();
            QTimer::singleShot(300, [preview, out] {
                preview->grab().save(out + "/preview.png");
                preview->close();
            });
        });
        watcher->start(20);
        window.Preview1Click();
        QApplication::quit();
    });
    return QApplication::exec();
}
