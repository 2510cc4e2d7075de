#include <QApplication>
#include <QDialog>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QTabWidget>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "FakeDialogs.h"
#include "MainWindowControls.h"
#include "app/princ.h"
#include "widgets/TWideListBox.h"

namespace fs = std::filesystem;
using namespace tabulex;
using tabulex::test::child;
using tabulex::test::list;
using tabulex::test::listing;
using tabulex::test::status;
using tabulex::test::trigger;
using tabulex::testing::FakeDialogs;

namespace {

const char* const kExample =
    "unit Exemplo;\r\ninterface\r\nimplementation\r\n"
    "Function Form1.IntPower (vlr,exp:integer):Integer;\r\n"
    "Var  F_int:integer;\r\nBegin\r\n    Result := 1;\r\n"
    "    For f_int := 1 To exp Do Begin\r\n        Result := Result * vlr;\r\n"
    "    End;\r\nEnd;\r\nend.\r\n";

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tabulex_app_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        window = std::make_unique<TF_tabulan>(session);
    }
    void TearDown() override
    {
        window.reset();
        fs::remove_all(dir);
    }
    QString writeFile(const std::string& name, const std::string& bytes)
    {
        fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return QString::fromStdString(path.string());
    }
    QStringList items(TListBox* list)
    {
        QStringList out;
        for (int i = 0; i < list->Items().count(); ++i)
            out << QString::fromStdString(list->Items().item(i));
        return out;
    }
    bool fileCommandsEnabled()
    {
        return child<QAction>(*window, "Gravar1")->isEnabled() &&
               child<QMenu>(*window, "Relatrio1")->menuAction()->isEnabled();
    }

    FakeDialogs dialogs;
    TScopedDialogs scoped{dialogs};
    fs::path dir;
    TSession session;
    std::unique_ptr<TF_tabulan> window;
};

}  // namespace

TEST_F(MainWindowTest, StartsWithDefaultsEmptyListsAndFileCommandsDisabled)
{
    EXPECT_EQ(window->windowTitle(), "Vorn Tabulan v 0.4.0");
    EXPECT_EQ(window->size(), QSize(564, 426));
    EXPECT_EQ(session.settings(), TListingSettings{});
    EXPECT_EQ(session.document(), nullptr);
    EXPECT_FALSE(fileCommandsEnabled());
    EXPECT_TRUE(child<QAction>(*window, "Carregar1")->isEnabled());
    EXPECT_TRUE(child<QAction>(*window, "Configurar1")->isEnabled());
    const QTabWidget* tabs = child<QTabWidget>(*window, "TabbedNotebook1");
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->tabText(0), "Listagem");
    EXPECT_EQ(tabs->tabText(1), QString::fromUtf8("Variáveis"));
    EXPECT_EQ(tabs->tabText(2), "Proc/Func");
    EXPECT_EQ(tabs->tabText(3), "Uses");
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(listing(*window)->itemHeight(), 14);
    EXPECT_EQ(listing(*window)->font().family(), "Courier New");
    EXPECT_EQ(list(*window, "listbox3")->itemHeight(), 13);

    trigger(*window, "Carregar1");  // dialog cancelled
    EXPECT_FALSE(fileCommandsEnabled());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(MainWindowTest, LoadFillsListsStatusBarAndEnablesCommands)
{
    dialogs.openAnswers = {writeFile("Exemplo.pas", kExample)};
    trigger(*window, "Carregar1");

    EXPECT_TRUE(fileCommandsEnabled());
    EXPECT_EQ(listing(*window)->Items().count(), 12);
    EXPECT_EQ(listing(*window)->Items().item(3),
              "0004 {1}Function Form1.IntPower (vlr,exp:integer):Integer;");
    EXPECT_EQ(status(*window, 0), "");
    EXPECT_EQ(status(*window, 1), "12 linhas");
    EXPECT_EQ(status(*window, 2), QString::fromStdString((dir / "Exemplo.pas").string()));
    EXPECT_GT(list(*window, "ListBox4")->Items().count(), 0);

    // Cancelling a later open keeps the loaded file, its lists and the enabled menus.
    trigger(*window, "Carregar1");
    EXPECT_TRUE(fileCommandsEnabled());
    EXPECT_EQ(listing(*window)->Items().count(), 12);
}

// A file that cannot be read leaves the loaded document, every list and the status bar as
// they were, and says why in Portuguese; reloading a file deleted since does the same.
TEST_F(MainWindowTest, UnreadableFileShowsMessageAndKeepsEverything)
{
    const QString path = writeFile("Exemplo.pas", kExample);
    dialogs.openAnswers = {path};
    trigger(*window, "Carregar1");
    const QStringList listingBefore = items(listing(*window));
    const QStringList xrefBefore = items(list(*window, "listbox3"));
    const QString missing = QString::fromStdString((dir / "missing.pas").string());

    dialogs.openAnswers = {missing};
    trigger(*window, "Carregar1");
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0], QString::fromUtf8("Não foi possível abrir o arquivo ") +
                                       missing + QString::fromUtf8(": o arquivo não existe."));
    EXPECT_EQ(items(listing(*window)), listingBefore);
    EXPECT_EQ(items(list(*window, "listbox3")), xrefBefore);
    EXPECT_EQ(status(*window, 1), "12 linhas");
    EXPECT_EQ(status(*window, 2), path);
    EXPECT_EQ(session.path(), path.toStdString());

    fs::remove(path.toStdString());
    trigger(*window, "Recarregar1");
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_EQ(items(listing(*window)), listingBefore);
    EXPECT_EQ(items(list(*window, "listbox3")), xrefBefore);
    EXPECT_EQ(status(*window, 1), "12 linhas");

    dialogs.openAnswers = {QString::fromStdString(dir.string())};
    trigger(*window, "Carregar1");
    ASSERT_EQ(dialogs.messages.size(), 3);
    EXPECT_TRUE(dialogs.messages[2].endsWith(QString::fromUtf8(": não é um arquivo.")));
}

TEST_F(MainWindowTest, FailedFirstLoadEnablesNothing)
{
    dialogs.openAnswers = {QString::fromStdString((dir / "missing.pas").string())};
    trigger(*window, "Carregar1");
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_FALSE(fileCommandsEnabled());
    trigger(*window, "Carregar1");  // cancelled: still nothing loaded
    EXPECT_FALSE(fileCommandsEnabled());
}

// A NUL byte ends the listing; the status bar says where it stands.
TEST_F(MainWindowTest, NulByteIsShownInTheStatusBar)
{
    dialogs.openAnswers = {writeFile("nul.pas", std::string("unit A;\r\nx\0y;\r\nend.\r\n", 19))};
    trigger(*window, "Carregar1");
    EXPECT_EQ(listing(*window)->Items().count(), 1);
    EXPECT_EQ(status(*window, 0), "Byte NUL em 10");
    dialogs.openAnswers = {writeFile("Exemplo.pas", kExample)};
    trigger(*window, "Carregar1");
    EXPECT_EQ(status(*window, 0), "");
}

TEST_F(MainWindowTest, ConfigurarRebuildsOnlyAfterOkAndReadsTheFileAnew)
{
    QDialog config;
    window->setConfigWindow(&config);

    dialogs.modalAnswers = {QDialog::Accepted};
    trigger(*window, "Configurar1");  // nothing loaded: builds nothing
    EXPECT_EQ(listing(*window)->Items().count(), 0);

    const QString path = writeFile("Exemplo.pas", kExample);
    dialogs.openAnswers = {path};
    trigger(*window, "Carregar1");
    writeFile("Exemplo.pas", std::string(kExample) + "{ added }\r\n");
    session.settings().Numeracao = false;

    dialogs.modalAnswers = {QDialog::Rejected};
    trigger(*window, "Configurar1");
    EXPECT_EQ(listing(*window)->Items().count(), 12);

    dialogs.modalAnswers = {QDialog::Accepted};
    trigger(*window, "Configurar1");
    ASSERT_EQ(listing(*window)->Items().count(), 13);
    EXPECT_EQ(listing(*window)->Items().item(0), "  unit Exemplo;");
    EXPECT_EQ(dialogs.modalShown.size(), 3);
}

TEST_F(MainWindowTest, GravarProposesTxtNameAndReportsFailureOnce)
{
    dialogs.openAnswers = {writeFile("unit1.pas", kExample)};
    trigger(*window, "Carregar1");

    dialogs.saveAnswers = {QString()};
    trigger(*window, "Gravar1");
    ASSERT_EQ(dialogs.proposedNames.size(), 1);
    EXPECT_EQ(dialogs.proposedNames[0], "unit1.txt");
    EXPECT_TRUE(dialogs.messages.isEmpty());

    const QString target = QString::fromStdString((dir / "out.txt").string());
    dialogs.saveAnswers = {target};
    trigger(*window, "Gravar1");
    std::ifstream in(target.toStdString(), std::ios::binary);
    std::string written((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(written.rfind("0001   unit Exemplo;\r\n", 0), 0u);

    const QString bad = QString::fromStdString((dir / "no-such-folder" / "out.txt").string());
    dialogs.saveAnswers = {bad};
    trigger(*window, "Gravar1");
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0], QString::fromUtf8("Não foi possível criar o arquivo: ") + bad);
}

TEST_F(MainWindowTest, DroppedFileLoadsLikeCarregar)
{
    const QString path = writeFile("Exemplo.pas", kExample);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_EQ(listing(*window)->Items().count(), 12);
    EXPECT_TRUE(fileCommandsEnabled());
}

TEST_F(MainWindowTest, Utf8FilesDisplayAsUtf8AndOthersAsWindows1252)
{
    dialogs.openAnswers = {writeFile("u.pas", "{ fun\xC3\xA7\xC3\xA3o }\r\n")};
    trigger(*window, "Carregar1");
    EXPECT_TRUE(listing(*window)->Items().displayText(0).endsWith(QString::fromUtf8("{ função }")));

    dialogs.openAnswers = {writeFile("l.pas", "{ fun\xE7\xE3o }\r\n")};
    trigger(*window, "Carregar1");
    EXPECT_TRUE(listing(*window)->Items().displayText(0).endsWith(QString::fromUtf8("{ função }")));
    EXPECT_EQ(listing(*window)->Items().item(0), "0001   { fun\xE7\xE3o }");
}
