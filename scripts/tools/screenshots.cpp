// Takes the README's pictures of the main window with a listing loaded (and a name found in
// it), of the preview window showing its first page and of the window with the sample's
// folder open as a project (the Projeto tab and the references of a name). Run by
// scripts/screenshots under Xvfb.
//   tabulex_screenshots SAMPLE OUTDIR
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <filesystem>

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
        // The sample's folder as a project: its files, and the uses of a name of Exemplo.
        const std::string sample = argv[1];
        window.openProject(std::filesystem::path(sample).parent_path().string());
        window.loadChosenFile(QString::fromLocal8Bit(argv[1]));
        auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("TabbedNotebook1"));
        tabs->setCurrentIndex(0);
        command("LocalizarProxima1");
        command("LocalizarProxima1");
        command("LocalizarReferencias1");
        window.findChild<QWidget*>(QStringLiteral("FindBar1"))->hide();
        tabs->setCurrentWidget(window.findChild<QWidget*>(QStringLiteral("Projeto1")));
        window.resize(900, 640);
        QTimer::singleShot(300, [&window, out] {
            window.grab().save(out + "/window-project.png");
            QApplication::quit();
        });
    });
    return QApplication::exec();
}
