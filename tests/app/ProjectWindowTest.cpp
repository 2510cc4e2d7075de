#include <QDockWidget>
#include <QListWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>

#include "FakeDialogs.h"
#include "MainWindowControls.h"
#include "app/DependencyView.h"
#include "app/Program.h"
#include "app/princ.h"

namespace fs = std::filesystem;
using namespace tabulex;
using tabulex::test::child;
using tabulex::test::listing;
using tabulex::test::status;
using tabulex::test::trigger;
using tabulex::testing::FakeDialogs;

namespace {

// A program of two units that use each other (UnitA through its implementation), an include
// file, and a branch no define turns on.
class ProjectWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tabulex_project_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        write("Prog.dpr", "program Prog;\nuses UnitA, UnitB;\nbegin\n  Contador := 1;\n"
                          "  Incrementa;\nend.\n");
        write("UnitA.pas", "unit UnitA;\ninterface\nvar\n  Contador: Integer;\n"
                           "procedure Incrementa;\nimplementation\nuses UnitB;\n"
                           "{$I comum.inc}\nprocedure Incrementa;\nbegin\n"
                           "  Contador := Contador + Passo;\n{$IFDEF NUNCA}\n"
                           "  Contador := 0;\n{$ENDIF}\nend;\nend.\n");
        write("UnitB.pas", "unit UnitB;\ninterface\nuses UnitA;\nfunction Dobro: Integer;\n"
                           "implementation\nfunction Dobro: Integer;\nbegin\n"
                           "  Result := Contador * 2;\nend;\nend.\n");
        write("comum.inc", "const Passo = 1;\n");
    }
    void TearDown() override { fs::remove_all(dir); }

    void write(const char* name, const char* text)
    {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    std::string path(const char* name) const { return (dir / name).string(); }
    // The file the window shows (status panel 2 holds its path).
    QString shown(const TF_tabulan& window) const
    {
        return QString::fromStdString(fs::path(status(window, 2).toStdString()).filename());
    }
    static int row(const TF_tabulan& window) { return listing(window)->currentIndex().row(); }

    // Clicks the listing on the first `name` of line `line`.
    static void clickName(TF_tabulan& window, int line, const char* name)
    {
        TWideListBox* list = listing(window);
        const int row = line - 1;
        list->scrollTo(list->Items().index(row));
        const std::size_t at = list->Items().item(row).find(name);
        ASSERT_NE(at, std::string::npos);
        const QRect rect = list->visualRect(list->Items().index(row));
        const QPoint point(list->xOfByte(row, static_cast<int>(at)) + 2, rect.center().y());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, point);
    }

    FakeDialogs dialogs;
    TScopedDialogs scoped{dialogs};
    fs::path dir;
};

TEST_F(ProjectWindowTest, ProgramOnTheCommandLineFillsTheProjectTab)
{
    TProgram program;
    TF_tabulan& window = program.mainWindow();
    auto* tabs = child<QTabWidget>(window, "TabbedNotebook1");
    auto* panel = child<QWidget>(window, "Projeto1");
    EXPECT_EQ(tabs->indexOf(panel), -1);
    EXPECT_FALSE(child<QAction>(window, "Dependencias1")->isEnabled());

    program.openArguments({path("Prog.dpr")});
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("\n").toStdString();
    EXPECT_EQ(shown(window), "Prog.dpr");
    EXPECT_GE(tabs->indexOf(panel), 0);
    EXPECT_TRUE(child<QAction>(window, "Dependencias1")->isEnabled());

    auto* files = child<QTreeWidget>(window, "ProjetoArquivos1");
    std::set<QString> names;
    QTreeWidgetItem* unitB = nullptr;
    for (int i = 0; i < files->topLevelItemCount(); ++i) {
        names.insert(files->topLevelItem(i)->text(0));
        if (files->topLevelItem(i)->text(0) == "UnitB")
            unitB = files->topLevelItem(i);
    }
    EXPECT_EQ(names, (std::set<QString>{"Prog", "UnitA", "UnitB", "comum.inc"}));
    ASSERT_NE(unitB, nullptr);

    // Enter on a unit shows it in the listing.
    tabs->setCurrentWidget(panel);
    files->setCurrentItem(unitB);
    QTest::keyClick(files, Qt::Key_Return);
    EXPECT_EQ(shown(window), "UnitB.pas");
    EXPECT_EQ(tabs->currentWidget(), listing(window));

    // A note of a unit goes to its line.
    int notesSeen = 0;
    for (int i = 0; i < files->topLevelItemCount(); ++i) {
        files->setCurrentItem(files->topLevelItem(i));
        auto* notes = child<QListWidget>(window, "ProjetoNotas1");
        EXPECT_EQ(notes->count(), files->topLevelItem(i)->text(4).toInt());
        if (notes->count() == 0)
            continue;
        ++notesSeen;
        const int line = notes->item(0)->text().section(':', 0, 0).toInt();
        notes->setCurrentRow(0);
        QTest::keyClick(notes, Qt::Key_Return);
        EXPECT_EQ(row(window), line - 1);
    }
    EXPECT_GT(notesSeen, 0);
}

TEST_F(ProjectWindowTest, AFolderWithoutSourcesKeepsWhatWasShown)
{
    TSession session;
    TF_tabulan window(session);
    window.loadFilePath(path("UnitB.pas"));
    const fs::path empty = dir / "vazia";
    fs::create_directories(empty);
    dialogs.folderAnswers = {QString::fromStdString(empty.string())};
    trigger(window, "AbrirPasta1");
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages.front().startsWith("Não foi possível abrir o projeto"));
    EXPECT_EQ(shown(window), "UnitB.pas");
    EXPECT_EQ(session.project(), nullptr);

    dialogs.folderAnswers = {QString::fromStdString(dir.string())};
    trigger(window, "AbrirPasta1");
    ASSERT_NE(session.project(), nullptr);
    EXPECT_EQ(child<QTabWidget>(window, "TabbedNotebook1")->currentWidget(),
              child<QWidget>(window, "Projeto1"));
}

TEST_F(ProjectWindowTest, ReferencesAcrossUnitsWithJumpAndBack)
{
    TSession session;
    TF_tabulan window(session);
    window.show();
    ASSERT_TRUE(window.openProject(path("Prog.dpr")));
    window.loadFilePath(path("UnitA.pas"));

    // A keyword resolves to nothing.
    clickName(window, 10, "begin");
    trigger(window, "LocalizarReferencias1");
    EXPECT_EQ(window.statusBar()->currentMessage(),
              QStringLiteral("Nenhuma referência encontrada para begin."));

    clickName(window, 11, "Contador");
    trigger(window, "LocalizarReferencias1");
    EXPECT_TRUE(child<QDockWidget>(window, "Referencias1")->isVisible());
    auto* references = child<QTreeWidget>(window, "ListaReferencias1");
    // Per unit: "line mark" of each use.
    std::map<QString, QStringList> uses;
    QTreeWidgetItem* inUnitB = nullptr;
    for (int i = 0; i < references->topLevelItemCount(); ++i) {
        QTreeWidgetItem* group = references->topLevelItem(i);
        const QString unit = group->text(0).section(' ', 0, 0);
        for (int j = 0; j < group->childCount(); ++j) {
            uses[unit] << group->child(j)->text(0) + " " + group->child(j)->text(1);
            EXPECT_TRUE(group->child(j)->text(2).contains("Contador"));
        }
        if (unit == "UnitB")
            inUnitB = group->child(0);
    }
    // Line 13 is left out by its conditional: no use there.
    EXPECT_EQ(uses["UnitA"], (QStringList{"4 declaração", "11 escrita", "11 leitura"}));
    EXPECT_EQ(uses["UnitB"], QStringList{"8 leitura"});
    EXPECT_EQ(uses["Prog"], QStringList{"4 escrita"});
    ASSERT_NE(inUnitB, nullptr);

    references->setCurrentItem(inUnitB);
    QTest::keyClick(references, Qt::Key_Return);
    EXPECT_EQ(shown(window), "UnitB.pas");
    EXPECT_EQ(row(window), 7);
    // From there the next search starts on the name jumped to.
    trigger(window, "LocalizarReferencias1");
    EXPECT_EQ(references->topLevelItemCount(), 3);

    trigger(window, "Voltar1");
    EXPECT_EQ(shown(window), "UnitA.pas");
    EXPECT_EQ(row(window), 10);
    EXPECT_FALSE(child<QAction>(window, "Voltar1")->isEnabled());
}

TEST_F(ProjectWindowTest, DependencyViewOpensTheUnitClicked)
{
    TSession session;
    TF_tabulan window(session);
    ASSERT_TRUE(window.openProject(path("Prog.dpr")));
    trigger(window, "Dependencias1");
    auto* canvas = child<TGraphCanvas>(window, "GrafoDependencias1");
    ASSERT_EQ(canvas->nodeCount(), 3);
    std::set<QString> opened;
    for (int node = 0; node < canvas->nodeCount(); ++node) {
        QTest::mouseClick(canvas, Qt::LeftButton, {}, canvas->nodeRect(node).center());
        opened.insert(shown(window));
    }
    EXPECT_EQ(opened, (std::set<QString>{"Prog.dpr", "UnitA.pas", "UnitB.pas"}));
}

TEST_F(ProjectWindowTest, InactiveLinesAreGreyWithColours)
{
    TSession session;
    TF_tabulan window(session);
    child<QAction>(window, "CoresListagem1")->setChecked(true);
    const auto colourAt = [&](int line, const char* name) {
        TWideListBox* list = listing(window);
        const std::size_t at = list->Items().item(line - 1).find(name);
        for (const TItemColour& colour : list->itemColours(line - 1))
            if (colour.start <= static_cast<int>(at) &&
                static_cast<int>(at) < colour.start + colour.length)
                return colour.colour;
        return QColor();
    };
    // Alone (an index of the file by itself) and as a unit of the project.
    window.loadFilePath(path("UnitA.pas"));
    for (bool project : {false, true}) {
        if (project) {
            ASSERT_TRUE(window.openProject(path("Prog.dpr")));
        }
        window.loadFilePath(path("UnitA.pas"));
        const QColor grey = colourAt(13, "Contador");
        EXPECT_TRUE(grey.isValid()) << project;
        EXPECT_EQ(colourAt(13, ":= 0"), grey);
        EXPECT_FALSE(colourAt(11, "Contador").isValid());
        // The line number keeps its colour.
        EXPECT_EQ(listing(window)->itemColours(12).front().colour,
                  listing(window)->itemColours(10).front().colour);
    }
    child<QAction>(window, "CoresListagem1")->setChecked(false);
    EXPECT_TRUE(listing(window)->itemColours(12).empty());
}

}  // namespace

// "Exportar HTML…" with a project open writes the whole program: every unit and the include.
TEST_F(ProjectWindowTest, ExportingHtmlWritesTheOpenProject)
{
    TProgram program;
    TF_tabulan& window = program.mainWindow();
    program.openArguments({path("Prog.dpr")});
    const fs::path site = dir / "site";
    dialogs.folderAnswers = {QString::fromStdString(site.string())};
    trigger(window, "ExportarHTML1");
    EXPECT_EQ(dialogs.messages.size(), 1);
    for (const char* page : {"Prog.dpr.html", "UnitA.pas.html", "UnitB.pas.html", "comum.inc.html"})
        EXPECT_TRUE(fs::exists(site / page)) << page;
}

// "Recarregar" on a file of the open project reads the project again: the Projeto tab counts
// the lines the file has now.
TEST_F(ProjectWindowTest, ReloadingAFileOfTheProjectIndexesItAgain)
{
    TProgram program;
    TF_tabulan& window = program.mainWindow();
    program.openArguments({path("Prog.dpr")});
    write("Prog.dpr", "program Prog;\nuses UnitA, UnitB;\n\n\nbegin\n  Contador := 1;\n"
                      "  Incrementa;\nend.\n");
    trigger(window, "Recarregar1");
    auto* files = child<QTreeWidget>(window, "ProjetoArquivos1");
    bool seen = false;
    for (int i = 0; i < files->topLevelItemCount(); ++i)
        if (files->topLevelItem(i)->text(0) == "Prog") {
            EXPECT_EQ(files->topLevelItem(i)->text(2), "8");
            seen = true;
        }
    EXPECT_TRUE(seen);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// A folder opens as a project the way the command line and the recent files open it, and it
// goes to the recent files.
TEST_F(ProjectWindowTest, AFolderOpensAsAProjectAndIsRemembered)
{
    TSession session;
    TF_tabulan window(session);
    window.openPath(dir.string());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    auto* tabs = child<QTabWidget>(window, "TabbedNotebook1");
    EXPECT_GE(tabs->indexOf(child<QWidget>(window, "Projeto1")), 0);
    const QString name = QString::fromStdString(dir.filename().string());
    bool remembered = false;
    for (const QAction* action : window.findChildren<QAction*>())
        remembered = remembered || action->text().endsWith(name);
    EXPECT_TRUE(remembered);
}
