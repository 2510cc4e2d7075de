// Everyday use of the main window: start file, toolkit translations, open dialog, recent
// files, following items to the listing, find, go-to-line, keeping the place, geometry.
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "FakeDialogs.h"
#include "MainWindowControls.h"
#include "app/DesktopState.h"
#include "app/FindBar.h"
#include "app/Program.h"
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

// 15 lines; "Total" is declared on line 5 and used on line 13, Soma's header is on line 8.
const char* const kUnit =
    "unit Exemplo;\ninterface\nuses Windows, SysUtils;\nvar\n  Total: Integer;\nimplementation\n"
    "uses Classes;\nprocedure Soma(A: Integer);\nvar\n  I: Integer;\nbegin\n  for I := 1 to A do\n"
    "    Total := Total + I;\nend;\nend.\n";

std::string numberedLines(int count)
{
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += "  X" + std::to_string(i) + " := " + std::to_string(i) + ";\n";
    return text;
}

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tabulex_desktop_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        statePath = QString::fromStdString((dir / "config" / "estado.ini").string());
        window = std::make_unique<TF_tabulan>(session);
    }
    void TearDown() override
    {
        window.reset();
        fs::remove_all(dir);
    }
    std::string writeFile(const std::string& name, const std::string& bytes)
    {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
    void load(const std::string& path)
    {
        dialogs.openAnswers = {QString::fromStdString(path)};
        trigger(*window, "Carregar1");
    }
    int rowOf(TListBox* list, const std::string& item)
    {
        for (int row = 0; row < list->Items().count(); ++row)
            if (list->Items().item(row) == item)
                return row;
        return -1;
    }
    void showActive()
    {
        window->resize(564, 426);
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    QTabWidget* tabs() { return child<QTabWidget>(*window, "TabbedNotebook1"); }
    int listingRow() { return listing(*window)->currentIndex().row(); }
    bool onListing() { return tabs()->currentWidget() == listing(*window); }
    // The entries of the recent files in "&Arquivo": those between its separators N1 and N2.
    QList<QAction*> recentEntries()
    {
        const QList<QAction*> entries = child<QMenu>(*window, "Arquivo1")->actions();
        const qsizetype first = entries.indexOf(child<QAction>(*window, "N1")) + 1;
        return entries.mid(first, entries.indexOf(child<QAction>(*window, "N2")) - first);
    }
    TFindBar* findBar() { return child<TFindBar>(*window, "FindBar1"); }
    QLineEdit* findText() { return child<QLineEdit>(*window, "E_texto"); }

    FakeDialogs dialogs;
    TScopedDialogs scoped{dialogs};
    fs::path dir;
    QString statePath;
    TSession session;
    std::unique_ptr<TF_tabulan> window;
};

}  // namespace

TEST_F(DesktopTest, CommandLineFileLoadsLikeCarregar)
{
    TProgram program;
    TF_tabulan& main = program.mainWindow();
    program.openArguments({"--geometry-like-option"});
    EXPECT_TRUE(program.session().path().empty());

    const std::string path = writeFile("-dash.pas", kUnit);
    program.openArguments({"-v", "--", path});
    EXPECT_EQ(program.session().path(), path);
    EXPECT_EQ(status(main, 1), "15 linhas");
    EXPECT_TRUE(child<QAction>(main, "Gravar1")->isEnabled());
    EXPECT_GT(list(main, "ListBox4")->Items().count(), 0);

    // A name relative to the working folder becomes a full path, as the dialog gives.
    const fs::path before = fs::current_path();
    TProgram relative;
    fs::current_path(dir);
    relative.openArguments({"./-dash.pas"});
    fs::current_path(before);
    EXPECT_EQ(relative.session().path(), path);
    EXPECT_EQ(status(relative.mainWindow(), 2), QString::fromStdString(path));

    // A file that cannot be read: the load's own message, nothing loaded.
    TProgram second;
    const std::string missing = (dir / "missing.pas").string();
    second.openArguments({missing, path});
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].contains(QString::fromStdString(missing)));
    EXPECT_TRUE(second.session().path().empty());
    EXPECT_FALSE(child<QAction>(second.mainWindow(), "Gravar1")->isEnabled());
}

TEST_F(DesktopTest, ToolkitDialogsSpeakPortugueseAndMessagesWarn)
{
    TDialogs real;  // the toolkit's dialogs, answered by the timers below
    TScopedDialogs toolkit{real};
    std::unique_ptr<QTranslator> translations = load_toolkit_translations();
    ASSERT_NE(translations, nullptr) << "qtbase_pt_BR.qm not found";
    QCoreApplication::installTranslator(translations.get());

    QStringList buttons;
    QTimer::singleShot(0, [&] {
        auto* input = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(input, nullptr);
        for (QPushButton* button : input->findChildren<QPushButton*>())
            buttons << button->text().remove('&');
        input->reject();
    });
    EXPECT_EQ(TDialogs::current().askNumber(nullptr, "Ir para a linha", "Linha", 1, 1, 10),
              std::nullopt);
    EXPECT_TRUE(buttons.contains("Cancelar")) << buttons.join(",").toStdString();

    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        icon = box->icon();
        box->accept();
    });
    TDialogs::current().showMessage(nullptr, "Cannot open file x");
    EXPECT_EQ(icon, QMessageBox::Warning);
    QCoreApplication::removeTranslator(translations.get());
}

TEST_F(DesktopTest, OpenDialogOffersPascalFilesAndStartsInTheLastFolder)
{
    const std::string path = writeFile("a.pas", kUnit);
    trigger(*window, "Carregar1");  // cancelled
    load(path);
    trigger(*window, "Carregar1");
    ASSERT_EQ(dialogs.openStartFolders.size(), 3);
    EXPECT_EQ(dialogs.openStartFolders[0], "");
    EXPECT_EQ(dialogs.openStartFolders[2], QString::fromStdString(dir.string()));
    ASSERT_EQ(dialogs.openFilters.size(), 3);
    EXPECT_EQ(dialogs.openFilters[0].split(";;"),
              QStringList({"Unit Delphi (*.pas)", "Projeto Delphi (*.dpr)", "Forms Delphi (*.dfm)",
                           "Unit Free Pascal (*.pp)", "Programa Lazarus (*.lpr)", "Include (*.inc)",
                           "Todos os arquivos (*)"}));
}

TEST_F(DesktopTest, RecentFilesAreKeptAcrossStartsAndLoadLikeCarregar)
{
    TDesktopState state(statePath);
    window->setDesktopState(&state);
    EXPECT_TRUE(recentEntries().isEmpty());
    std::vector<std::string> paths;
    for (int i = 1; i <= 9; ++i)
        paths.push_back(writeFile("u" + std::to_string(i) + "&.pas", kUnit));
    for (const std::string& path : paths)
        load(path);
    load(paths[4]);  // loaded again: moves to the top, no duplicate

    ASSERT_EQ(recentEntries().size(), 8);
    EXPECT_EQ(recentEntries()[0]->text(),
              "&1 " + QString::fromStdString(paths[4]).replace("&", "&&"));
    EXPECT_EQ(recentEntries()[1]->text().mid(3),
              QString::fromStdString(paths[8]).replace("&", "&&"));

    // The next start: a fresh window and state over the same file.
    window = std::make_unique<TF_tabulan>(session);
    TDesktopState again(statePath);
    window->setDesktopState(&again);
    ASSERT_EQ(recentEntries().size(), 8);
    EXPECT_EQ(dialogs.startFolder(), QString::fromStdString(dir.string()));
    EXPECT_FALSE(child<QAction>(*window, "Gravar1")->isEnabled());
    recentEntries()[2]->trigger();
    EXPECT_EQ(session.path(), paths[7]);
    EXPECT_EQ(status(*window, 1), "15 linhas");
    EXPECT_TRUE(child<QAction>(*window, "Gravar1")->isEnabled());
    EXPECT_EQ(again.recentFiles().front(), paths[7]);

    // A recent file that has gone away is reported and leaves the list.
    fs::remove(paths[4]);
    recentEntries()[1]->trigger();
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(recentEntries().size(), 7);
    EXPECT_EQ(TDesktopState(statePath).recentFiles().size(), 7u);
}

TEST_F(DesktopTest, RoutinesAndReferencesLeadToTheirListingLines)
{
    load(writeFile("Exemplo.pas", kUnit));
    TListBox* procs = list(*window, "ListBox4");
    TListBox* xref = list(*window, "listbox3");
    const int header = rowOf(procs, "0008 : procedure Soma (A: Integer)     ");
    ASSERT_GE(header, 0);

    tabs()->setCurrentWidget(procs);
    emit procs->activated(procs->Items().index(header));
    EXPECT_TRUE(onListing());
    EXPECT_EQ(listingRow(), 7);

    // Enter on the declaration of Total; a heading leads nowhere.
    showActive();
    tabs()->setCurrentWidget(xref);
    xref->setCurrentIndex(xref->Items().index(1));
    QTest::keyClick(xref, Qt::Key_Return);
    EXPECT_FALSE(onListing());
    xref->setCurrentIndex(xref->Items().index(rowOf(xref, "Total : Integer D(0005)")));
    QTest::keyClick(xref, Qt::Key_Return);
    EXPECT_TRUE(onListing());
    EXPECT_EQ(listingRow(), 4);

    // A reference line: the first line on double-click, each of them in the context menu.
    const int refs = rowOf(xref, "=(0012)  .(0013)   ");
    ASSERT_GE(refs, 0);
    emit xref->activated(xref->Items().index(refs));
    EXPECT_EQ(listingRow(), 11);
    const std::unique_ptr<QMenu> menu = window->lineMenu(xref, refs);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[1]->text(), "Ir para a linha 13");
    menu->actions()[1]->trigger();
    EXPECT_EQ(listingRow(), 12);
    EXPECT_TRUE(window->lineMenu(xref, 0)->isEmpty());
}

TEST_F(DesktopTest, ShortcutsFindAndGoToLine)
{
    load(writeFile("Exemplo.pas", kUnit));
    showActive();

    dialogs.numberAnswers = {9};
    QTest::keyClick(window.get(), Qt::Key_G, Qt::ControlModifier);
    ASSERT_EQ(dialogs.numberCaptions, QStringList{"Ir para a linha"});
    EXPECT_EQ(dialogs.lastNumberMaximum, 15);
    EXPECT_EQ(listingRow(), 8);

    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(findBar()->isVisible());
    QTest::keyClicks(findText(), "total");
    QTest::keyClick(findText(), Qt::Key_Return);
    EXPECT_EQ(listingRow(), 12);  // from line 9 on, wrapping: "    Total := Total + I;"
    QTest::keyClick(findText(), Qt::Key_Return);
    EXPECT_EQ(listingRow(), 4);  // wrapped to "  Total: Integer;"
    QTest::keyClick(findText(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(listingRow(), 12);

    child<QCheckBox>(*window, "CB_maiusculas")->setChecked(true);
    trigger(*window, "LocalizarProxima1");
    EXPECT_EQ(child<QLabel>(*window, "L_resultado")->text(), QString::fromUtf8("Não encontrado"));
    EXPECT_EQ(listingRow(), 12);

    // The find follows the current tab.
    TListBox* uses = list(*window, "ListBox5");
    tabs()->setCurrentWidget(uses);
    findText()->setText("Classes");
    trigger(*window, "LocalizarProxima1");
    EXPECT_EQ(uses->Items().item(uses->currentIndex().row()), "Classes  ");

    QTest::keyClick(findText(), Qt::Key_Escape);
    EXPECT_FALSE(findBar()->isVisible());

    dialogs.openAnswers = {QString()};
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(dialogs.openAnswers.empty());
}

TEST_F(DesktopTest, FindItemWrapsBothWaysAndTriesTheStartLast)
{
    TStringListModel items;
    items.setItems({"alpha", "Beta", "gamma", "beta"});
    EXPECT_EQ(find_item(items, "beta", 1, false, Qt::CaseInsensitive), 3);
    EXPECT_EQ(find_item(items, "beta", 3, false, Qt::CaseInsensitive), 1);
    EXPECT_EQ(find_item(items, "beta", 1, true, Qt::CaseInsensitive), 3);
    EXPECT_EQ(find_item(items, "Beta", 1, false, Qt::CaseSensitive), 1);
    EXPECT_EQ(find_item(items, "alpha", -1, false, Qt::CaseSensitive), 0);
    EXPECT_EQ(find_item(items, "beta", -1, true, Qt::CaseSensitive), 3);
    EXPECT_EQ(find_item(items, "delta", 0, false, Qt::CaseInsensitive), -1);
    EXPECT_EQ(find_item(items, "", 0, false, Qt::CaseInsensitive), -1);
}

TEST_F(DesktopTest, ReloadAndEfetivarKeepTheListingsPlace)
{
    const std::string path = writeFile("long.pas", numberedLines(300));
    load(path);
    showActive();
    TWideListBox* listing = test::listing(*window);
    listing->setCurrentIndex(listing->Items().index(150));
    listing->scrollTo(listing->Items().index(140), QAbstractItemView::PositionAtTop);
    ASSERT_EQ(listing->indexAt(QPoint(0, 0)).row(), 140);

    QTest::keyClick(window.get(), Qt::Key_F5);
    EXPECT_EQ(listing->indexAt(QPoint(0, 0)).row(), 140);
    EXPECT_EQ(listingRow(), 150);

    // The file shrank meanwhile: the top line is kept as far as it goes, the selection is gone.
    writeFile("long.pas", numberedLines(145));
    QDialog config;
    window->setConfigWindow(&config);
    dialogs.modalAnswers = {QDialog::Accepted};
    trigger(*window, "Configurar1");
    EXPECT_EQ(listing->Items().count(), 145);
    EXPECT_TRUE(listing->selectionModel()->selectedIndexes().isEmpty());
    EXPECT_EQ(listing->verticalScrollBar()->value(), listing->verticalScrollBar()->maximum());
    EXPECT_GT(listing->verticalScrollBar()->value(), 0);
}

TEST_F(DesktopTest, CrossReferenceScrollsToItsWidestLine)
{
    const std::string name(150, 'N');
    load(writeFile("wide.pas", "var " + name + ": Integer;\n"));
    showActive();
    auto* xref = child<TWideListBox>(*window, "listbox3");
    tabs()->setCurrentWidget(xref);
    EXPECT_GT(xref->widestWidth(), xref->viewport()->width());
    EXPECT_EQ(xref->horizontalScrollBar()->maximum() + xref->viewport()->width(),
              xref->widestWidth());
}

TEST_F(DesktopTest, WindowSizeAndPlaceAreKeptAcrossStarts)
{
    {
        TDesktopState state(statePath);
        window->setDesktopState(&state);
        window->show();
        window->setGeometry(40, 50, 620, 470);
        window->close();
    }
    EXPECT_FALSE(TDesktopState(statePath).windowGeometry().isEmpty());

    window = std::make_unique<TF_tabulan>(session);
    TDesktopState state(statePath);
    window->setDesktopState(&state);
    EXPECT_EQ(window->size(), QSize(620, 470));
    EXPECT_EQ(window->geometry().topLeft(), QPoint(40, 50));
}
