#include <QMenu>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "FakeDialogs.h"
#include "app/DesktopState.h"
#include "app/princ.h"
#include "widgets/TWideListBox.h"

namespace fs = std::filesystem;
using namespace tabulex;
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
    const QList<QAction*> actions = window->Arquivo1->actions();
    const qsizetype gravar = actions.indexOf(window->Gravar1);
    ASSERT_GE(gravar, 0);
    ASSERT_LT(gravar + 1, actions.size());
    EXPECT_EQ(actions[gravar + 1], window->ExportarHTML1);
    EXPECT_EQ(window->ExportarHTML1->text(), QStringLiteral("Exportar &HTML…"));
    EXPECT_FALSE(window->ExportarHTML1->isEnabled());

    window->loadChosenFile(QString::fromStdString(source));
    EXPECT_TRUE(window->ExportarHTML1->isEnabled());

    // Cancelling writes nothing; a folder is created and filled, and the window says so.
    window->ExportarHTML1Click();
    const QString folder = QString::fromStdString((dir / "html").string());
    dialogs.folderAnswers = {folder};
    window->ExportarHTML1Click();
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("HTML exportado para %1.").arg(folder)});
    for (const char* name : {"index.html", "Exemplo.pas.html", "tabulex.css", "tabulex.js"})
        EXPECT_TRUE(fs::exists(dir / "html" / name)) << name;

    // Another file exported into the same folder: the index lists both.
    const std::string other = (dir / "Outro.pas").string();
    std::ofstream(other, std::ios::binary) << "unit Outro;\r\ninterface\r\nend.\r\n";
    window->loadChosenFile(QString::fromStdString(other));
    dialogs.folderAnswers = {folder};
    window->ExportarHTML1Click();
    std::ifstream in(dir / "html" / "index.html", std::ios::binary);
    const std::string index{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NE(index.find("Exemplo.pas.html"), std::string::npos);
    EXPECT_NE(index.find("Outro.pas.html"), std::string::npos);

    // A folder that cannot be made: one message naming it.
    dialogs.messages.clear();
    std::ofstream(dir / "file") << "x";
    const QString bad = QString::fromStdString((dir / "file" / "html").string());
    dialogs.folderAnswers = {bad};
    window->ExportarHTML1Click();
    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("Não foi possível criar o arquivo: ") + bad});
}

TEST_F(HtmlExportTest, ListingColoursAreOffByDefaultAndRemembered)
{
    TDesktopState state(QString::fromStdString((dir / "estado.ini").string()));
    window->setDesktopState(&state);
    window->loadChosenFile(QString::fromStdString(source));
    EXPECT_FALSE(window->CoresListagem1->isChecked());
    EXPECT_TRUE(window->ListBox1->itemColours(3).empty());

    window->CoresListagem1->setChecked(true);
    const std::vector<TItemColour> colours =
        window->ListBox1->itemColours(3);  // "0004 {1}procedure P; { nota }"
    ASSERT_EQ(colours.size(), 4u);  // number, prefix, keyword, comment (the name stays plain)
    EXPECT_EQ(window->ListBox1->Items().item(3).substr(colours[3].start, colours[3].length),
              "{ nota }");
    EXPECT_NE(colours[2].colour, colours[3].colour);

    // The next start shows colours at once; switching off leaves the text plain again.
    window = std::make_unique<TF_tabulan>(session);
    window->setDesktopState(&state);
    EXPECT_TRUE(window->CoresListagem1->isChecked());
    window->loadChosenFile(QString::fromStdString(source));
    EXPECT_FALSE(window->ListBox1->itemColours(0).empty());
    window->CoresListagem1->setChecked(false);
    EXPECT_TRUE(window->ListBox1->itemColours(0).empty());
    TSession nextSession;
    TF_tabulan next(nextSession);
    next.setDesktopState(&state);
    EXPECT_FALSE(next.CoresListagem1->isChecked());
}

}  // namespace
