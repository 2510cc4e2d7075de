#include <QMenu>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "FakeDialogs.h"
#include "MainWindowControls.h"
#include "app/DesktopState.h"
#include "app/princ.h"
#include "widgets/TWideListBox.h"

namespace fs = std::filesystem;
using namespace tabulex;
using tabulex::test::child;
using tabulex::test::listing;
using tabulex::test::trigger;
using tabulex::testing::FakeDialogs;

namespace {

class HtmlExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tabulex_app_html_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        source = (dir / "Exemplo.pas").string();
        std::ofstream(source, std::ios::binary)
            << "unit Exemplo;\r\ninterface\r\nimplementation\r\nprocedure P; { nota "
               "}\r\nbegin\r\nend;\r\nend.\r\n";
        window = std::make_unique<TF_tabulan>(session);
    }
    void TearDown() override
    {
        window.reset();
        fs::remove_all(dir);
    }

    FakeDialogs dialogs;
    TScopedDialogs scoped{dialogs};
    fs::path dir;
    std::string source;
    TSession session;
    std::unique_ptr<TF_tabulan> window;
};

TEST_F(HtmlExportTest, ExportsTheLoadedFileAfterGravar)
{
    const QList<QAction*> actions = child<QMenu>(*window, "Arquivo1")->actions();
    const QAction* ExportarHTML1 = child<QAction>(*window, "ExportarHTML1");
    const qsizetype gravar = actions.indexOf(child<QAction>(*window, "Gravar1"));
    ASSERT_GE(gravar, 0);
    ASSERT_LT(gravar + 1, actions.size());
    EXPECT_EQ(actions[gravar + 1], ExportarHTML1);
    EXPECT_EQ(ExportarHTML1->text(), QStringLiteral("Exportar &HTML…"));
    EXPECT_FALSE(ExportarHTML1->isEnabled());

    window->loadChosenFile(QString::fromStdString(source));
    EXPECT_TRUE(ExportarHTML1->isEnabled());

    // Cancelling writes nothing; a folder is created and filled, and the window says so.
    trigger(*window, "ExportarHTML1");
    const QString folder = QString::fromStdString((dir / "html").string());
    dialogs.folderAnswers = {folder};
    trigger(*window, "ExportarHTML1");
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("HTML exportado para %1.").arg(folder)});
    for (const char* name : {"index.html", "Exemplo.pas.html", "tabulex.css", "tabulex.js"})
        EXPECT_TRUE(fs::exists(dir / "html" / name)) << name;

    // Another file exported into the same folder: the index lists both.
    const std::string other = (dir / "Outro.pas").string();
    std::ofstream(other, std::ios::binary) << "unit Outro;\r\ninterface\r\nend.\r\n";
    window->loadChosenFile(QString::fromStdString(other));
    dialogs.folderAnswers = {folder};
    trigger(*window, "ExportarHTML1");
    std::ifstream in(dir / "html" / "index.html", std::ios::binary);
    const std::string index{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NE(index.find("Exemplo.pas.html"), std::string::npos);
    EXPECT_NE(index.find("Outro.pas.html"), std::string::npos);

    // A folder that cannot be made: one message naming it.
    dialogs.messages.clear();
    std::ofstream(dir / "file") << "x";
    const QString bad = QString::fromStdString((dir / "file" / "html").string());
    dialogs.folderAnswers = {bad};
    trigger(*window, "ExportarHTML1");
    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("Não foi possível criar o arquivo: ") + bad});
}

TEST_F(HtmlExportTest, ListingColoursAreOffByDefaultAndRemembered)
{
    TDesktopState state(QString::fromStdString((dir / "estado.ini").string()));
    window->setDesktopState(&state);
    window->loadChosenFile(QString::fromStdString(source));
    EXPECT_FALSE(child<QAction>(*window, "CoresListagem1")->isChecked());
    EXPECT_TRUE(listing(*window)->itemColours(3).empty());

    child<QAction>(*window, "CoresListagem1")->setChecked(true);
    const std::vector<TItemColour> colours =
        listing(*window)->itemColours(3);  // "0004 {1}procedure P; { nota }"
    ASSERT_EQ(colours.size(), 4u);  // number, prefix, keyword, comment (the name stays plain)
    EXPECT_EQ(listing(*window)->Items().item(3).substr(colours[3].start, colours[3].length),
              "{ nota }");
    EXPECT_NE(colours[2].colour, colours[3].colour);

    // The next start shows colours at once; switching off leaves the text plain again.
    window = std::make_unique<TF_tabulan>(session);
    window->setDesktopState(&state);
    EXPECT_TRUE(child<QAction>(*window, "CoresListagem1")->isChecked());
    window->loadChosenFile(QString::fromStdString(source));
    EXPECT_FALSE(listing(*window)->itemColours(0).empty());
    child<QAction>(*window, "CoresListagem1")->setChecked(false);
    EXPECT_TRUE(listing(*window)->itemColours(0).empty());
    TSession nextSession;
    TF_tabulan next(nextSession);
    next.setDesktopState(&state);
    EXPECT_FALSE(child<QAction>(next, "CoresListagem1")->isChecked());
}

}  // namespace
