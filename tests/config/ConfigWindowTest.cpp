#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

#include "FindChild.h"
#include "TestApp.h"
#include "TestFiles.h"
#include "config/IniFile.h"
#include "config/ListingSettingsFile.h"
#include "config/TRadioGroup.h"
#include "config/config.h"
#include "dialogs/TDialogs.h"

namespace tabulex {
namespace {

using test::child;

// Records messages and modal windows instead of showing them.
class ScriptedDialogs : public TDialogs {
public:
    QStringList messages;
    std::vector<QDialog*> modals;
    std::function<void(const QString&)> onMessage;
    std::function<int(QDialog*)> onModal;

    void showMessage(QWidget*, const QString& text) override
    {
        messages << text;
        if (onMessage)
            onMessage(text);
    }
    int execModal(QDialog* dialog) override
    {
        modals.push_back(dialog);
        return onModal ? onModal(dialog) : int(QDialog::Rejected);
    }
};

// Runs `dialog` modally as a real window, closes it from its own event loop, then gives the
// focus back to `back` as a window manager would.
int run_and_close(QDialog* dialog, QWidget* back)
{
    QTimer::singleShot(50, dialog, &QDialog::reject);
    const int result = dialog->exec();
    back->activateWindow();
    return result;
}

TListingSettings file_settings()
{
    TListingSettings s;
    s.prenivel = "<";
    s.sufnivel = ">";
    s.prefnivel = "(";
    s.suffnivel = ")";
    s.begin = "BEG";
    s.sufend = "]";
    s.preend = "[";
    s.Numeracao = false;
    s.Final = false;
    s.Identacao = 1;
    s.coluna = "!";
    s.colunas = 0;
    s.listagem = false;
    s.xref = false;
    s.proc_func = true;
    s.units = false;
    return s;
}

class ConfigWindowTest : public ::testing::Test {
protected:
    test::AppFirst appFirst;
    test::TempDir dir;
    TListingSettings settings;
    TF_config window{settings};
    ScriptedDialogs dialogs;
    TScopedDialogs scopedDialogs{dialogs};
    std::vector<int> columns;

    QPushButton* BB_ok = child<QPushButton>(window, "BB_ok");
    QPushButton* BB_cancel = child<QPushButton>(window, "BB_cancel");
    QPushButton* BB_default = child<QPushButton>(window, "BB_default");
    QPushButton* BB_salvar = child<QPushButton>(window, "BB_salvar");
    QPushButton* BB_ler = child<QPushButton>(window, "BB_ler");
    QCheckBox* CB_linhas = child<QCheckBox>(window, "CB_linhas");
    QCheckBox* CB_final = child<QCheckBox>(window, "CB_final");
    TRadioGroup* RG_tipo_ident = child<TRadioGroup>(window, "RG_tipo_ident");
    QLineEdit* E_col = child<QLineEdit>(window, "E_col");
    QLineEdit* E_begin = child<QLineEdit>(window, "E_begin");
    QLineEdit* E_prenivel = child<QLineEdit>(window, "E_prenivel");
    QLineEdit* E_sufnivel = child<QLineEdit>(window, "E_sufnivel");
    QLineEdit* E_preend = child<QLineEdit>(window, "E_preend");
    QLineEdit* E_sufend = child<QLineEdit>(window, "E_sufend");
    QLineEdit* E_suffnivel = child<QLineEdit>(window, "E_suffnivel");
    QLineEdit* E_prefnivel = child<QLineEdit>(window, "E_prefnivel");
    QCheckBox* CB_list = child<QCheckBox>(window, "CB_list");
    QCheckBox* CB_xref = child<QCheckBox>(window, "CB_xref");
    QCheckBox* CB_proc = child<QCheckBox>(window, "CB_proc");
    QCheckBox* CB_unit = child<QCheckBox>(window, "CB_unit");
    TRadioGroup* RG_colunas = child<TRadioGroup>(window, "RG_colunas");

    void SetUp() override
    {
        window.setColumnsHook([this](int count) { columns.push_back(count); });
        window.setSettingsPath(dir.file("tabulex.ini"));
    }

    QLabel* label(const char* name) const { return child<QLabel>(window, name); }
    QAction* action(const char* name) const { return child<QAction>(window, name); }

    // The example's number labels ("L_linha") or level labels ("L_ident"), rows 1 to 8.
    std::vector<QLabel*> exampleColumn(const char* prefix) const
    {
        std::vector<QLabel*> labels;
        for (int row = 1; row <= 8; ++row)
            labels.push_back(label((prefix + std::to_string(row)).c_str()));
        return labels;
    }

    QStringList levels() const
    {
        QStringList texts;
        for (const QLabel* label : exampleColumn("L_ident"))
            texts << label->text();
        return texts;
    }

    std::vector<bool> numbersShown() const
    {
        std::vector<bool> shown;
        for (const QLabel* label : exampleColumn("L_linha"))
            shown.push_back(!label->isHidden());
        return shown;
    }

    QStringList finals() const { return {label("L_final1")->text(), label("L_final2")->text()}; }

    // The Listing settings as the controls show them, as "Salvar" writes them.
    TListingSettings saved()
    {
        BB_salvar->click();
        TListingSettings s;
        read_listing_settings(window.settingsPath(), s);
        return s;
    }

    void showActive()
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // Closes the window as "Cancelar" does and opens it again, which loads the controls from the
    // Listing settings.
    void reopen()
    {
        window.reject();
        showActive();
    }

    // "Efetivar Configuração" in the menu: stores the controls and leaves the window open.
    void efetivar() { action("EfetivarConfiguracao1")->trigger(); }
};

const QStringList kDefaultLevels{"{1}", "|", ">>>", "|", "|{2}", "||", "|{2}", "{1}"};
const std::vector<bool> kAllShown(8, true);
const std::vector<bool> kNoneShown(8, false);

// ---- layout --------------------------------------------------------------------------------

TEST_F(ConfigWindowTest, WindowCaptionSizeAndTitleBar)
{
    EXPECT_EQ(window.windowTitle(), QString("Configurações"));
    EXPECT_EQ(window.font().family(), QString("MS Sans Serif"));
    EXPECT_EQ(window.font().pointSize(), 8);
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);

    showActive();
    EXPECT_EQ(window.frameGeometry().size(), QSize(505, 495));
    const QRect screen = window.screen()->availableGeometry();
    EXPECT_LE(std::abs(window.frameGeometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(window.frameGeometry().center().y() - screen.center().y()), 1);
}

TEST_F(ConfigWindowTest, ControlsStandWhereTheLayoutPutsThem)
{
    const std::vector<std::pair<const char*, QRect>> placed{
        {"BB_ok", {12, 4, 75, 25}},           {"BB_cancel", {96, 4, 75, 25}},
        {"BB_default", {179, 4, 75, 25}},     {"BB_salvar", {262, 4, 75, 25}},
        {"BB_ler", {346, 4, 75, 25}},         {"GroupBox3", {12, 34, 157, 66}},
        {"CB_linhas", {11, 15, 97, 17}},      {"CB_final", {11, 37, 97, 17}},
        {"RG_tipo_ident", {12, 98, 158, 76}}, {"GroupBox1", {176, 34, 309, 142}},
        {"E_col", {103, 10, 34, 21}},         {"E_begin", {103, 36, 34, 21}},
        {"E_prenivel", {232, 37, 34, 21}},    {"E_sufnivel", {270, 37, 34, 21}},
        {"E_preend", {104, 62, 34, 21}},      {"E_sufend", {104, 90, 34, 21}},
        {"E_prefnivel", {232, 61, 34, 21}},   {"E_suffnivel", {270, 60, 34, 21}},
        {"GroupBox2", {12, 175, 474, 153}},   {"Label7", {117, 17, 288, 128}},
        {"GroupBox4", {12, 335, 392, 105}},   {"CB_list", {14, 19, 75, 17}},
        {"CB_xref", {105, 19, 52, 17}},       {"CB_proc", {15, 59, 76, 17}},
        {"CB_unit", {107, 57, 70, 17}},       {"RG_colunas", {230, 15, 92, 65}},
    };
    for (const auto& [name, rect] : placed)
        EXPECT_EQ(child<QWidget>(window, name)->geometry(), rect) << name;

    const auto* Panel1 = child<QFrame>(window, "Panel1");
    const auto* ClientArea = child<QWidget>(window, "ClientArea");
    EXPECT_EQ(Panel1->parentWidget(), ClientArea);
    EXPECT_EQ(Panel1->height(), 34);
    window.show();
    EXPECT_EQ(Panel1->geometry(), QRect(0, 0, ClientArea->width(), 34));
    EXPECT_EQ(ClientArea->y(), child<QMenuBar>(window, "MainMenu1")->height());

    const std::vector<std::pair<const char*, QPoint>> labels{
        {"Label1", {9, 19}},     {"Label2", {9, 43}},      {"Label3", {149, 39}},
        {"Label4", {9, 66}},     {"Label5", {8, 93}},      {"Label6", {148, 63}},
        {"Label8", {235, 19}},   {"Label9", {269, 18}},    {"L_linha1", {4, 18}},
        {"L_linha4", {4, 67}},   {"L_linha8", {4, 131}},   {"L_ident3", {44, 49}},
        {"L_ident7", {44, 113}}, {"L_final1", {181, 115}}, {"L_final2", {161, 132}},
    };
    for (const auto& [name, pos] : labels)
        EXPECT_EQ(label(name)->pos(), pos) << name;
}

TEST_F(ConfigWindowTest, CaptionsAndFonts)
{
    const auto title = [this](const char* name) { return child<QGroupBox>(window, name)->title(); };
    EXPECT_EQ(RG_tipo_ident->title(), QString("Apresentação de Níveis"));
    EXPECT_EQ(RG_tipo_ident->button(1)->text(), QString("Só números"));
    EXPECT_EQ(title("GroupBox1"), QString("Símbolos"));
    EXPECT_EQ(title("GroupBox2"), QString("Exemplo : "));
    EXPECT_EQ(title("GroupBox4"), QString("Relatório  "));
    EXPECT_EQ(title("GroupBox3"), QString());
    EXPECT_EQ(RG_colunas->title(), QString("Qtd Colunas"));
    EXPECT_EQ(RG_colunas->button(0)->text(), QString("1 Coluna"));
    EXPECT_EQ(label("Label3")->text(), QString("Início. nível"));
    EXPECT_EQ(label("Label6")->text(), QString("Fim  nível"));
    EXPECT_EQ(CB_final->text(), QString("Nr. linha inicial"));
    EXPECT_EQ(BB_ok->text(), QString("Efetivar"));
    EXPECT_TRUE(BB_ok->isDefault());
    EXPECT_EQ(BB_ler->text(), QString("Ler"));

    EXPECT_EQ(
        label("Label7")->text().split('\n'),
        QStringList({"Function Form1.IntPower (vlr,exp:integer):Integer; ", "Var  F_int:integer;",
                     "Begin", "    Result := 1;", "    For f_int := 1 To exp Do Begin",
                     "        Result := Result * vlr;", "    End; ", "End; "}));
    for (const char* name : {"L_linha2", "L_ident5", "Label7", "L_final2"}) {
        EXPECT_EQ(label(name)->font().family(), QString("Arial")) << name;
        EXPECT_EQ(label(name)->font().pointSize(), 10) << name;
    }
    EXPECT_EQ(child<QGroupBox>(window, "GroupBox2")->font().family(), QString("MS Sans Serif"));

    QStringList menu;
    for (const QAction* action : child<QMenu>(window, "Arquivos1")->actions())
        menu << (action->isSeparator() ? QString("-") : action->text());
    EXPECT_EQ(menu, QStringList({"Salvar Configuração", "Ler Configuração", "Configuração Padrão",
                                 "Efetivar Configuração", "-", "Sair"}));
    EXPECT_EQ(child<QMenuBar>(window, "MainMenu1")->actions().size(), 2);
    EXPECT_EQ(child<QMenu>(window, "Ajuda1")->title(), QString("Ajuda"));
    EXPECT_EQ(action("Sobre1")->text(), QString("Sobre"));
}

TEST_F(ConfigWindowTest, ExampleCodeLinesStayLevelWithTheirNumbers)
{
    // Where the ink of each number label and of the code beside it begins, as drawn: the first
    // of three inked pixel rows below a blank one (so the descenders and underscores of the
    // line above do not count).
    const QImage image = child<QGroupBox>(window, "GroupBox2")->grab().toImage();
    const auto inked = [&](int left, int right, int y) {
        for (int x = left; x < right; ++x)
            if (qGray(image.pixel(x, y)) < 128)
                return true;
        return false;
    };
    const auto firstInk = [&](int left, int right, int top) {
        for (int y = std::max(top, 1); y < std::min(top + 14, image.height() - 2); ++y)
            if (!inked(left, right, y - 1) && inked(left, right, y) && inked(left, right, y + 1) &&
                inked(left, right, y + 2))
                return y;
        return -1;
    };
    const QLabel* code = label("Label7");
    int row = 0;
    for (const QLabel* number : exampleColumn("L_linha")) {
        const int numberInk = firstInk(number->x(), number->x() + number->width(), number->y());
        const int codeInk = firstInk(code->x(), code->x() + 60, number->y() - 3);
        ASSERT_GE(numberInk, 0);
        EXPECT_NEAR(codeInk, numberInk, 2) << "row " << ++row;
    }
}

TEST_F(ConfigWindowTest, InitialValuesBeforeTheFirstActivation)
{
    EXPECT_EQ(levels(), kDefaultLevels);
    EXPECT_EQ(finals(), QStringList({"///-135-///", "///-133-///"}));
    EXPECT_EQ(label("L_linha1")->text(), QString("00131"));
    EXPECT_EQ(label("L_linha8")->text(), QString("00138"));
    EXPECT_EQ(RG_tipo_ident->itemIndex(), 0);
    EXPECT_EQ(RG_colunas->itemIndex(), 1);
    EXPECT_TRUE(CB_linhas->isChecked());
    EXPECT_TRUE(CB_final->isChecked());
    for (const QCheckBox* box : {CB_list, CB_xref, CB_proc, CB_unit})
        EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(E_col->text(), QString("|"));
    EXPECT_EQ(E_preend->text(), QString("///-"));
}

TEST_F(ConfigWindowTest, TabOrder)
{
    const std::vector<QWidget*> expected{
        RG_tipo_ident->button(0),
        RG_tipo_ident->button(1),
        RG_tipo_ident->button(2),
        E_col,
        E_begin,
        E_prenivel,
        E_sufnivel,
        E_preend,
        E_sufend,
        E_suffnivel,
        E_prefnivel,
        CB_linhas,
        CB_final,
        CB_list,
        CB_xref,
        CB_unit,
        CB_proc,
        RG_colunas->button(0),
        RG_colunas->button(1),
        BB_ok,
        BB_cancel,
        BB_default,
        BB_salvar,
        BB_ler,
    };
    std::vector<QWidget*> chain;
    QWidget* w = expected.front();
    do {
        if (std::find(expected.begin(), expected.end(), w) != expected.end())
            chain.push_back(w);
        w = w->nextInFocusChain();
    } while (w != expected.front());
    EXPECT_EQ(chain, expected);
}

TEST_F(ConfigWindowTest, TypingIsLimitedButLoadedTextsAreKept)
{
    E_col->clear();
    QTest::keyClicks(E_col, "abcdefgh");
    EXPECT_EQ(E_col->text(), QString("abcde"));
    for (QLineEdit* edit :
         {E_begin, E_prenivel, E_sufnivel, E_preend, E_sufend, E_prefnivel, E_suffnivel}) {
        edit->clear();
        QTest::keyClicks(edit, "0123456789xyz");
        EXPECT_EQ(edit->text(), QString("0123456789"));
    }

    settings.coluna = "12345678";  // as a hand-edited settings file may hold
    reopen();
    EXPECT_EQ(E_col->text(), QString("12345678"));
    QTest::keyClick(E_col, Qt::Key_End);
    QTest::keyClicks(E_col, "9");
    EXPECT_EQ(E_col->text(), QString("12345678"));
    efetivar();
    EXPECT_EQ(settings.coluna, "12345678");
}

// ---- example -------------------------------------------------------------------------------

TEST_F(ConfigWindowTest, DefaultsGiveTheInitialExample)
{
    settings = file_settings();
    reopen();
    settings = TListingSettings{};
    reopen();
    EXPECT_EQ(levels(), kDefaultLevels);
    EXPECT_EQ(finals(), QStringList({"///-135-///", "///-133-///"}));
    EXPECT_EQ(numbersShown(), kAllShown);
}

TEST_F(ConfigWindowTest, EmptyMarkerFieldsContributeNothing)
{
    E_prenivel->clear();
    E_sufnivel->clear();
    EXPECT_EQ(label("L_ident1")->text(), QString("1"));
    EXPECT_EQ(label("L_ident5")->text(), QString("|2"));
    E_preend->clear();
    E_sufend->clear();
    EXPECT_EQ(finals(), QStringList({"135", "133"}));
    E_begin->clear();
    EXPECT_EQ(label("L_ident3")->text(), QString());
}

TEST_F(ConfigWindowTest, EveryMarkerFieldFeedsTheExample)
{
    E_col->setText("!");
    E_begin->setText("go");
    E_prenivel->setText("<");
    E_sufnivel->setText(">");
    E_prefnivel->setText("(");
    E_suffnivel->setText(")");
    E_preend->setText("[");
    E_sufend->setText("]");
    EXPECT_EQ(levels(), QStringList({"<1>", "!", "go", "!", "!<2>", "!!", "!(2)", "(1)"}));
    EXPECT_EQ(finals(), QStringList({"[135]", "[133]"}));
}

TEST_F(ConfigWindowTest, OtherStylesIgnoreTheMarkersButNotTheEndReferences)
{
    RG_tipo_ident->button(2)->click();
    EXPECT_EQ(levels(), QStringList(8, " "));
    RG_tipo_ident->button(1)->click();
    EXPECT_EQ(levels(), QStringList({" 1", " 1", " 1", " 1", " 2", " 2", " 2", " 1"}));

    for (QLineEdit* edit :
         {E_col, E_begin, E_prenivel, E_sufnivel, E_prefnivel, E_suffnivel, E_preend, E_sufend})
        edit->setText("#");
    EXPECT_EQ(levels(), QStringList({" 1", " 1", " 1", " 1", " 2", " 2", " 2", " 1"}));
    EXPECT_EQ(finals(), QStringList({"#135#", "#133#"}));
    RG_tipo_ident->button(0)->click();
    EXPECT_EQ(label("L_ident6")->text(), QString("##"));
}

TEST_F(ConfigWindowTest, WithoutAStyleTheLevelLabelsKeepTheirCaptions)
{
    E_col->setText("!");
    RG_tipo_ident->setItemIndex(-1);
    E_col->setText("?");
    E_preend->setText("<");
    EXPECT_EQ(label("L_ident2")->text(), QString("!"));
    EXPECT_EQ(label("L_ident6")->text(), QString("!!"));
    EXPECT_EQ(label("L_final1")->text(), QString("<135-///"));
}

// ---- numbering coupling ------------------------------------------------------------------------

TEST_F(ConfigWindowTest, UncheckingNumberingHidesNumbersAndEndReferences)
{
    CB_linhas->click();
    EXPECT_EQ(numbersShown(), kNoneShown);
    EXPECT_FALSE(CB_final->isChecked());
    EXPECT_FALSE(CB_final->isEnabled());
    EXPECT_EQ(finals(), QStringList({"", ""}));

    CB_linhas->click();
    EXPECT_EQ(numbersShown(), kAllShown);
    EXPECT_TRUE(CB_final->isEnabled());
    EXPECT_FALSE(CB_final->isChecked());
    EXPECT_EQ(finals(), QStringList({"", ""}));

    CB_final->click();
    EXPECT_EQ(finals(), QStringList({"///-135-///", "///-133-///"}));
}

TEST_F(ConfigWindowTest, NumberingOffWithFinalOnLoadsAsADisabledCheckedBox)
{
    settings.Numeracao = false;
    settings.Final = true;
    reopen();
    EXPECT_FALSE(CB_linhas->isChecked());
    EXPECT_TRUE(CB_final->isChecked());
    EXPECT_FALSE(CB_final->isEnabled());
    EXPECT_EQ(numbersShown(), kNoneShown);
    EXPECT_EQ(finals(), QStringList({"///-135-///", "///-133-///"}));
    efetivar();
    EXPECT_FALSE(settings.Numeracao);
    EXPECT_TRUE(settings.Final);
}

// ---- loading, applying, defaults
// -----------------------------------------------------------------

TEST_F(ConfigWindowTest, ActivationLoadsAndApplyingStoresEverySetting)
{
    settings = file_settings();
    reopen();
    EXPECT_EQ(saved(), file_settings());
    EXPECT_EQ(E_begin->text(), QString("BEG"));
    EXPECT_EQ(RG_tipo_ident->itemIndex(), 1);

    E_begin->setText(" spaced ");
    CB_unit->click();
    RG_colunas->button(1)->click();
    EXPECT_EQ(settings, file_settings());  // nothing applied yet
    efetivar();
    TListingSettings expected = file_settings();
    expected.begin = " spaced ";
    expected.units = true;
    expected.colunas = 1;
    EXPECT_EQ(settings, expected);
}

TEST_F(ConfigWindowTest, SingleByteMarkersSurviveTheControls)
{
    settings.coluna = "\xa6";     // broken bar in the single-byte code page
    settings.begin = "\xbb\xbb";  // two right guillemets
    reopen();
    EXPECT_EQ(E_col->text(), QString::fromUtf8("¦"));
    efetivar();
    EXPECT_EQ(settings.coluna, "\xa6");
    EXPECT_EQ(settings.begin, "\xbb\xbb");
}

TEST_F(ConfigWindowTest, OutOfRangeIndexesAreClampedForDisplay)
{
    settings.Identacao = 7;
    settings.colunas = -3;
    reopen();
    EXPECT_EQ(RG_tipo_ident->itemIndex(), 2);
    EXPECT_EQ(levels(), QStringList(8, " "));
    EXPECT_EQ(RG_colunas->itemIndex(), -1);
    EXPECT_TRUE(columns.empty());  // no choice: the report keeps its column count
    efetivar();
    EXPECT_EQ(settings.Identacao, 2);
    EXPECT_EQ(settings.colunas, -1);
}

TEST_F(ConfigWindowTest, DefaultSetsTheControlsOnly)
{
    settings = file_settings();
    reopen();
    columns.clear();
    BB_default->click();
    EXPECT_EQ(saved(), TListingSettings{});
    EXPECT_EQ(levels(), kDefaultLevels);
    EXPECT_EQ(columns, std::vector<int>({2}));
    BB_cancel->click();
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_EQ(settings, file_settings());
}

TEST_F(ConfigWindowTest, ConfigurationPadraoMenuItemRestoresDefaults)
{
    E_begin->setText("x");
    action("ConfiguracaoPadrao1")->trigger();
    EXPECT_EQ(E_begin->text(), QString(">>>"));
}

// ---- column count --------------------------------------------------------------------------

TEST_F(ConfigWindowTest, ColumnChoiceGoesToTheReportAtOnce)
{
    reopen();
    EXPECT_TRUE(columns.empty());  // the value did not change
    RG_colunas->button(0)->click();
    EXPECT_EQ(columns, std::vector<int>({1}));
    RG_colunas->button(0)->click();
    EXPECT_EQ(columns, std::vector<int>({1}));
    BB_cancel->click();
    EXPECT_EQ(settings.colunas, 1);
    reopen();
    EXPECT_EQ(columns, std::vector<int>({1, 2}));
    EXPECT_EQ(RG_colunas->itemIndex(), 1);
}

TEST_F(ConfigWindowTest, WithoutAHookTheColumnChoiceIsHarmless)
{
    window.setColumnsHook({});
    RG_colunas->button(0)->click();
    EXPECT_EQ(RG_colunas->itemIndex(), 0);
}

// ---- closing -------------------------------------------------------------------------------

TEST_F(ConfigWindowTest, EfetivarStoresAndClosesWithOk)
{
    showActive();
    E_col->setText(":");
    BB_ok->click();
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(settings.coluna, ":");
}

TEST_F(ConfigWindowTest, EnterInAFieldIsEfetivar)
{
    showActive();
    E_begin->setFocus();
    E_begin->setText("go");
    QTest::keyClick(E_begin, Qt::Key_Return);
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(settings.begin, "go");
}

TEST_F(ConfigWindowTest, EfetivarMenuItemStoresAndStaysOpen)
{
    showActive();
    E_col->setText(":");
    action("EfetivarConfiguracao1")->trigger();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(settings.coluna, ":");
    BB_cancel->click();
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_EQ(settings.coluna, ":");
}

TEST_F(ConfigWindowTest, CancelarAndSairStoreNothing)
{
    for (const std::function<void()>& close : std::vector<std::function<void()>>{
             [this] { BB_cancel->click(); }, [this] { action("Sair1")->trigger(); },
             [this] { QTest::keyClick(&window, Qt::Key_Escape); }}) {
        showActive();
        E_col->setText(":");
        close();
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(window.result(), QDialog::Rejected);
        EXPECT_EQ(settings.coluna, "|");
    }
}

// ---- activation ----------------------------------------------------------------------------

TEST_F(ConfigWindowTest, EveryOpeningLoadsTheControls)
{
    settings.begin = "first";
    showActive();
    EXPECT_EQ(E_begin->text(), QString("first"));
    E_begin->setText("edited");
    BB_cancel->click();

    settings.begin = "second";
    showActive();
    EXPECT_EQ(E_begin->text(), QString("second"));
}

TEST_F(ConfigWindowTest, ReturningFromTheAboutWindowReloadsTheControls)
{
    QDialog about;
    window.setAboutWindow(&about);
    dialogs.onModal = [this](QDialog* d) { return run_and_close(d, &window); };
    showActive();
    E_begin->setText("not applied");
    action("Sobre1")->trigger();
    ASSERT_EQ(dialogs.modals, std::vector<QDialog*>({&about}));
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::qWait(20);
    EXPECT_EQ(E_begin->text(), QString(">>>"));
}

TEST_F(ConfigWindowTest, AboutWithoutAWindowDoesNothing)
{
    action("Sobre1")->trigger();
    EXPECT_TRUE(dialogs.modals.empty());
}

// ---- settings file -------------------------------------------------------------------------

TEST_F(ConfigWindowTest, DefaultSettingsFileSitsBesideTheExecutable)
{
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    EXPECT_EQ(TF_config(settings).settingsPath(),
              QFile::encodeName(exe.absolutePath() + "/" + exe.completeBaseName() + ".ini")
                  .toStdString());
}

TEST_F(ConfigWindowTest, LerWithoutAFileGivesTheDefaults)
{
    settings = file_settings();
    reopen();
    columns.clear();
    BB_ler->click();
    EXPECT_EQ(settings, TListingSettings{});
    EXPECT_EQ(saved(), TListingSettings{});
    EXPECT_EQ(levels(), kDefaultLevels);
    EXPECT_EQ(columns, std::vector<int>({2}));
}

// A settings file that is there but cannot be read (here a folder) is no file of defaults.
TEST_F(ConfigWindowTest, LerOfAnUnreadableFileSaysSoAndChangesNothing)
{
    std::filesystem::create_directory(window.settingsPath());
    settings = file_settings();
    reopen();
    columns.clear();
    BB_ler->click();
    EXPECT_EQ(dialogs.messages, QStringList({QString::fromStdString(
                                    "Não foi possível ler o arquivo: " + window.settingsPath())}));
    EXPECT_EQ(settings, file_settings());
    EXPECT_EQ(E_begin->text(), QString("BEG"));  // the controls still show the settings
    EXPECT_TRUE(columns.empty());
}

TEST_F(ConfigWindowTest, SalvarWritesTheControlsNotTheSettings)
{
    reopen();
    E_begin->setText("typed");
    RG_tipo_ident->button(2)->click();
    BB_salvar->click();
    BB_cancel->click();

    EXPECT_EQ(settings, TListingSettings{});
    TListingSettings saved;
    read_listing_settings(window.settingsPath(), saved);
    EXPECT_EQ(saved.begin, "typed");
    EXPECT_EQ(saved.Identacao, 2);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(ConfigWindowTest, LerWritesTheSettingsEvenWhenCancelled)
{
    write_listing_settings(window.settingsPath(), file_settings());
    reopen();
    action("LerConfiguracao1")->trigger();
    EXPECT_EQ(settings, file_settings());
    EXPECT_EQ(saved(), file_settings());
    EXPECT_EQ(levels(), QStringList({" 1", " 1", " 1", " 1", " 2", " 2", " 2", " 1"}));
    EXPECT_EQ(columns, std::vector<int>({1}));
    BB_cancel->click();
    EXPECT_EQ(settings, file_settings());
}

TEST_F(ConfigWindowTest, SaveAndReadRoundTripThroughTheWindow)
{
    settings = file_settings();
    reopen();
    action("SalvarConfiguracao1")->trigger();
    settings = TListingSettings{};
    reopen();
    BB_ler->click();
    EXPECT_EQ(settings, file_settings());
}

TEST_F(ConfigWindowTest, HandEditedValuesReadThroughTheWindow)
{
    test::write_bytes(window.settingsPath(), "[Numeracao]\r\nLinhas=yes\r\nFinal=2\r\n"
                                             "[Identacao]\r\nTipo=0x1\r\nbegin=  \"go \"  \r\n"
                                             "[Relatorio]\r\ncolunas=-3\r\n");
    BB_ler->click();
    EXPECT_TRUE(settings.Numeracao);
    EXPECT_TRUE(settings.Final);
    EXPECT_EQ(settings.Identacao, 1);
    EXPECT_EQ(settings.begin, "go ");
    EXPECT_EQ(settings.colunas, -3);
    EXPECT_EQ(RG_colunas->itemIndex(), -1);
    EXPECT_TRUE(columns.empty());
}

TEST_F(ConfigWindowTest, FailedSaveShowsTheMessageAndKeepsTheWindowAsItIs)
{
    const std::string nowhere = dir.file("missing") + "/tabulex.ini";
    window.setSettingsPath(nowhere);
    // The message is a real window: coming back from it must not reload the controls.
    QDialog messageWindow;
    dialogs.onMessage = [&](const QString&) { run_and_close(&messageWindow, &window); };
    showActive();
    E_begin->setText("unsaved");

    BB_salvar->click();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::qWait(20);
    EXPECT_EQ(dialogs.messages,
              QStringList({QString::fromStdString("Unable to write to " + nowhere)}));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(settings, TListingSettings{});
    window.setSettingsPath(dir.file("tabulex.ini"));
    TListingSettings typed;
    typed.begin = "unsaved";
    EXPECT_EQ(saved(), typed);
}

}  // namespace
}  // namespace tabulex
