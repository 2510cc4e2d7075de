// Takes the README's pictures of the main window with a listing loaded (and a name found in
// it) and of the preview window showing its first page. Run by scripts/screenshots under Xvfb.
//   tabulex_screenshots SAMPLE OUTDIR
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>

#include "app/Program.h"
#include "app/princ.h"
#include "report/form/r_dif.h"
#include "report/preview/TRpPreview.h"
#include "report/preview/TRpStandardPreview.h"

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
    const auto command = [&window](const char* name) {
        window.findChild<QAction*>(QString::fromLatin1(name))->trigger();
    };
    command("Localizar1");
    window.findChild<QLineEdit*>(QStringLiteral("E_texto"))->setText(QStringLiteral("FTotal"));
    command("LocalizarProxima1");
    command("LocalizarProxima1");
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
        command("Preview1");
        QApplication::quit();
    });
    return QApplication::exec();
}
