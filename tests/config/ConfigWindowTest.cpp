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

#include "TestApp.h"
#include "TestFiles.h"
#include "config/IniFile.h"
#include "config/ListingSettingsFile.h"
#include "config/TRadioGroup.h"
#include "config/config.h"
#include "dialogs/TDialogs.h"

namespace tabulex {
namespace {

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

    void SetUp() override
    {
        window.setColumnsHook([this](int count) { columns.push_back(count); });
        window.setSettingsPath(dir.file("tabulex.ini"));
    }

    QStringList levels() const
    {
        QStringList texts;
        for (const QLabel* label :
             {window.L_ident1, window.L_ident2, window.L_ident3, window.L_ident4, window.L_ident5,
              window.L_ident6, window.L_ident7, window.L_ident8})
            texts << label->text();
        return texts;
    }

    std::vector<bool> numbersShown() const
    {
        std::vector<bool> shown;
        for (const QLabel* label :
             {window.L_linha1, window.L_linha2, window.L_linha3, window.L_linha4, window.L_linha5,
              window.L_linha6, window.L_linha7, window.L_linha8})
            shown.push_back(!label->isHidden());
        return shown;
    }

    QStringList finals() const { return {window.L_final1->text(), window.L_final2->text()}; }

    void showActive()
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
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
    const std::vector<std::pair<QWidget*, QRect>> placed{
        {window.BB_ok, {12, 4, 75, 25}},           {window.BB_cancel, {96, 4, 75, 25}},
        {window.BB_default, {179, 4, 75, 25}},     {window.BB_salvar, {262, 4, 75, 25}},
        {window.BB_ler, {346, 4, 75, 25}},         {window.GroupBox3, {12, 34, 157, 66}},
        {window.CB_linhas, {11, 15, 97, 17}},      {window.CB_final, {11, 37, 97, 17}},
        {window.RG_tipo_ident, {12, 98, 158, 76}}, {window.GroupBox1, {176, 34, 309, 142}},
        {window.E_col, {103, 10, 34, 21}},         {window.E_begin, {103, 36, 34, 21}},
        {window.E_prenivel, {232, 37, 34, 21}},    {window.E_sufnivel, {270, 37, 34, 21}},
        {window.E_preend, {104, 62, 34, 21}},      {window.E_sufend, {104, 90, 34, 21}},
        {window.E_prefnivel, {232, 61, 34, 21}},   {window.E_suffnivel, {270, 60, 34, 21}},
        {window.GroupBox2, {12, 175, 474, 153}},   {window.Label7, {117, 17, 288, 128}},
        {window.GroupBox4, {12, 335, 392, 105}},   {window.CB_list, {14, 19, 75, 17}},
        {window.CB_xref, {105, 19, 52, 17}},       {window.CB_proc, {15, 59, 76, 17}},
        {window.CB_unit, {107, 57, 70, 17}},       {window.RG_colunas, {230, 15, 92, 65}},
    };
    for (const auto& [widget, rect] : placed)
        EXPECT_EQ(widget->geometry(), rect) << widget->metaObject()->className();

    EXPECT_EQ(window.Panel1->parentWidget(), window.ClientArea);
    EXPECT_EQ(window.Panel1->height(), 34);
    window.show();
    EXPECT_EQ(window.Panel1->geometry(), QRect(0, 0, window.ClientArea->width(), 34));
    EXPECT_EQ(window.ClientArea->y(), window.MainMenu1->height());

    const std::vector<std::pair<QLabel*, QPoint>> labels{
        {window.Label1, {9, 19}},     {window.Label2, {9, 43}},      {window.Label3, {149, 39}},
        {window.Label4, {9, 66}},     {window.Label5, {8, 93}},      {window.Label6, {148, 63}},
        {window.Label8, {235, 19}},   {window.Label9, {269, 18}},    {window.L_linha1, {4, 18}},
        {window.L_linha4, {4, 67}},   {window.L_linha8, {4, 131}},   {window.L_ident3, {44, 49}},
        {window.L_ident7, {44, 113}}, {window.L_final1, {181, 115}}, {window.L_final2, {161, 132}},
    };
    for (const auto& [label, pos] : labels)
        EXPECT_EQ(label->pos(), pos) << label->text().toStdString();
}

TEST_F(ConfigWindowTest, CaptionsAndFonts)
{
    EXPECT_EQ(window.RG_tipo_ident->title(), QString("Apresentação de Níveis"));
    EXPECT_EQ(window.RG_tipo_ident->button(1)->text(), QString("Só números"));
    EXPECT_EQ(window.GroupBox1->title(), QString("Símbolos"));
    EXPECT_EQ(window.GroupBox2->title(), QString("Exemplo : "));
    EXPECT_EQ(window.GroupBox4->title(), QString("Relatório  "));
    EXPECT_EQ(window.GroupBox3->title(), QString());
    EXPECT_EQ(window.RG_colunas->title(), QString("Qtd Colunas"));
    EXPECT_EQ(window.RG_colunas->button(0)->text(), QString("1 Coluna"));
    EXPECT_EQ(window.Label3->text(), QString("Início. nível"));
    EXPECT_EQ(window.Label6->text(), QString("Fim  nível"));
    EXPECT_EQ(window.CB_final->text(), QString("Nr. linha inicial"));
    EXPECT_EQ(window.BB_ok->text(), QString("Efetivar"));
    EXPECT_TRUE(window.BB_ok->isDefault());
    EXPECT_EQ(window.BB_ler->text(), QString("Ler"));

    EXPECT_EQ(
        window.Label7->text().split('\n'),
        QStringList({"Function Form1.IntPower (vlr,exp:integer):Integer; ", "Var  F_int:integer;",
                     "Begin", "    Result := 1;", "    For f_int := 1 To exp Do Begin",
                     "        Result := Result * vlr;", "    End; ", "End; "}));
    for (const QLabel* label : {window.L_linha2, window.L_ident5, window.Label7, window.L_final2}) {
        EXPECT_EQ(label->font().family(), QString("Arial"));
        EXPECT_EQ(label->font().pointSize(), 10);
    }
    EXPECT_EQ(window.GroupBox2->font().family(), QString("MS Sans Serif"));

    QStringList menu;
    for (const QAction* action : window.Arquivos1->actions())
        menu << (action->isSeparator() ? QString("-") : action->text());
    EXPECT_EQ(menu, QStringList({"Salvar Configuração", "Ler Configuração", "Configuração Padrão",
                                 "Efetivar Configuração", "-", "Sair"}));
    EXPECT_EQ(window.MainMenu1->actions().size(), 2);
    EXPECT_EQ(window.Ajuda1->title(), QString("Ajuda"));
    EXPECT_EQ(window.Sobre1->text(), QString("Sobre"));
}

TEST_F(ConfigWindowTest, ExampleCodeLinesStayLevelWithTheirNumbers)
{
    // Where the ink of each number label and of the code beside it begins, as drawn: the first
    // of three inked pixel rows below a blank one (so the descenders and underscores of the
    // line above do not count).
    const QImage image = window.GroupBox2->grab().toImage();
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
    int row = 0;
    for (const QLabel* number :
         {window.L_linha1, window.L_linha2, window.L_linha3, window.L_linha4, window.L_linha5,
          window.L_linha6, window.L_linha7, window.L_linha8}) {
        const int numberInk = firstInk(number->x(), number->x() + number->width(), number->y());
        const int codeInk = firstInk(window.Label7->x(), window.Label7->x() + 60, number->y() - 3);
        ASSERT_GE(numberInk, 0);
        EXPECT_NEAR(codeInk, numberInk, 2) << "row " << ++row;
    }
}

TEST_F(ConfigWindowTest, InitialValuesBeforeTheFirstActivation)
{
    EXPECT_EQ(levels(), kDefaultLevels);
    EXPECT_EQ(finals(), QStringList({"///-135-///", "///-133-///"}));
    EXPECT_EQ(window.L_linha1->text(), QString("00131"));
    EXPECT_EQ(window.L_linha8->text(), QString("00138"));
    EXPECT_EQ(window.RG_tipo_ident->itemIndex(), 0);
    EXPECT_EQ(window.RG_colunas->itemIndex(), 1);
    EXPECT_TRUE(window.CB_linhas->isChecked());
    EXPECT_TRUE(window.CB_final->isChecked());
    for (const QCheckBox* box : {window.CB_list, window.CB_xref, window.CB_proc, window.CB_unit})
        EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(window.E_col->text(), QString("|"));
    EXPECT_EQ(window.E_preend->text(), QString("///-"));
}

TEST_F(ConfigWindowTest, TabOrder)
{
    const std::vector<QWidget*> expected{
        window.RG_tipo_ident->button(0),
        window.RG_tipo_ident->button(1),
        window.RG_tipo_ident->button(2),
        window.E_col,
        window.E_begin,
        window.E_prenivel,
        window.E_sufnivel,
        window.E_preend,
        window.E_sufend,
        window.E_suffnivel,
        window.E_prefnivel,
        window.CB_linhas,
        window.CB_final,
        window.CB_list,
        window.CB_xref,
        window.CB_unit,
        window.CB_proc,
        window.RG_colunas->button(0),
        window.RG_colunas->button(1),
        window.BB_ok,
        window.BB_cancel,
        window.BB_default,
        window.BB_salvar,
        window.BB_ler,
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
    window.E_col->clear();
    QTest::keyClicks(window.E_col, "abcdefgh");
    EXPECT_EQ(window.E_col->text(), QString("abcde"));
    for (QLineEdit* edit : {window.E_begin, window.E_prenivel, window.E_sufnivel, window.E_preend,
                            window.E_sufend, window.E_prefnivel, window.E_suffnivel}) {
        edit->clear();
        QTest::keyClicks(edit, "0123456789xyz");
        EXPECT_EQ(edit->text(), QString("0123456789"));
    }

    settings.coluna = "12345678";  // as a hand-edited settings file may hold
    window.FormActivate();
    EXPECT_EQ(window.E_col->text(), QString("12345678"));
    QTest::keyClick(window.E_col, Qt::Key_End);
    QTest::keyClicks(window.E_col, "9");
    EXPECT_EQ(window.E_col->text(), QString("12345678"));
    window.BB_okClick();
    EXPECT_EQ(settings.coluna, "12345678");
}

// ---- example -------------------------------------------------------------------------------

TEST_F(ConfigWindowTest, DefaultsGiveTheInitialExample)
{
    settings = file_settings();
    window.FormActivate();
    settings = TListingSettings{};
    window.FormActivate();
    EXPECT_EQ(levels(), kDefaultLevels);
    EXPECT_EQ(finals(), QStringList({"///-135-///", "///-133-///"}));
    EXPECT_EQ(numbersShown(), kAllShown);
}

TEST_F(ConfigWindowTest, EmptyMarkerFieldsContributeNothing)
{
    window.E_prenivel->clear();
    window.E_sufnivel->clear();
    EXPECT_EQ(window.L_ident1->text(), QString("1"));
    EXPECT_EQ(window.L_ident5->text(), QString("|2"));
    window.E_preend->clear();
    window.E_sufend->clear();
    EXPECT_EQ(finals(), QStringList({"135", "133"}));
    window.E_begin->clear();
    EXPECT_EQ(window.L_ident3->text(), QString());
}

TEST_F(ConfigWindowTest, EveryMarkerFieldFeedsTheExample)
{
    window.E_col->setText("!");
    window.E_begin->setText("go");
    window.E_prenivel->setText("<");
    window.E_sufnivel->setText(">");
    window.E_prefnivel->setText("(");
    window.E_suffnivel->setText(")");
    window.E_preend->setText("[");
    window.E_sufend->setText("]");
    EXPECT_EQ(levels(), QStringList({"<1>", "!", "go", "!", "!<2>", "!!", "!(2)", "(1)"}));
    EXPECT_EQ(finals(), QStringList({"[135]", "[133]"}));
}

TEST_F(ConfigWindowTest, OtherStylesIgnoreTheMarkersButNotTheEndReferences)
{
    window.RG_tipo_ident->button(2)->click();
    EXPECT_EQ(levels(), QStringList(8, " "));
    window.RG_tipo_ident->button(1)->click();
    EXPECT_EQ(levels(), QStringList({" 1", " 1", " 1", " 1", " 2", " 2", " 2", " 1"}));

    for (QLineEdit* edit :
         {window.E_col, window.E_begin, window.E_prenivel, window.E_sufnivel, window.E_prefnivel,
          window.E_suffnivel, window.E_preend, window.E_sufend})
        edit->setText("#");
    EXPECT_EQ(levels(), QStringList({" 1", " 1", " 1", " 1", " 2", " 2", " 2", " 1"}));
    EXPECT_EQ(finals(), QStringList({"#135#", "#133#"}));
    window.RG_tipo_ident->button(0)->click();
    EXPECT_EQ(window.L_ident6->text(), QString("##"));
}

TEST_F(ConfigWindowTest, WithoutAStyleTheLevelLabelsKeepTheirCaptions)
{
    window.E_col->setText("!");
    window.RG_tipo_ident->setItemIndex(-1);
    window.E_col->setText("?");
    window.E_preend->setText("<");
    EXPECT_EQ(window.L_ident2->text(), QString("!"));
    EXPECT_EQ(window.L_ident6->text(), QString("!!"));
    EXPECT_EQ(window.L_final1->text(), QString("<135-///"));
}

// ---- numbering coupling ------------------------------------------------------------------------

TEST_F(ConfigWindowTest, UncheckingNumberingHidesNumbersAndEndReferences)
{
    window.CB_linhas->click();
    EXPECT_EQ(numbersShown(), kNoneShown);
    EXPECT_FALSE(window.CB_final->isChecked());
    EXPECT_FALSE(window.CB_final->isEnabled());
    EXPECT_EQ(finals(), QStringList({"", ""}));

    window.CB_linhas->click();
    EXPECT_EQ(numbersShown(), kAllShown);
    EXPECT_TRUE(window.CB_final->isEnabled());
    EXPECT_FALSE(window.CB_final->isChecked());
    EXPECT_EQ(finals(), QStringList({"", ""}));

    window.CB_final->click();
    EXPECT_EQ(finals(), QStringList({"///-135-///", "///-133-///"}));
}

TEST_F(ConfigWindowTest, NumberingOffWithFinalOnLoadsAsADisabledCheckedBox)
{
    settings.Numeracao = false;
    settings.Final = true;
    window.FormActivate();
    EXPECT_FALSE(window.CB_linhas->isChecked());
    EXPECT_TRUE(window.CB_final->isChecked());
    EXPECT_FALSE(window.CB_final->isEnabled());
    EXPECT_EQ(numbersShown(), kNoneShown);
    EXPECT_EQ(finals(), QStringList({"///-135-///", "///-133-///"}));
    window.BB_okClick();
    EXPECT_FALSE(settings.Numeracao);
    EXPECT_TRUE(settings.Final);
}

// ---- loading, applying, defaults
// -----------------------------------------------------------------

TEST_F(ConfigWindowTest, ActivationLoadsAndApplyingStoresEverySetting)
{
    settings = file_settings();
    window.FormActivate();
    EXPECT_EQ(window.controlSettings(), file_settings());
    EXPECT_EQ(window.E_begin->text(), QString("BEG"));
    EXPECT_EQ(window.RG_tipo_ident->itemIndex(), 1);

    window.E_begin->setText(" spaced ");
    window.CB_unit->click();
    window.RG_colunas->button(1)->click();
    EXPECT_EQ(settings, file_settings());  // nothing applied yet
    window.BB_okClick();
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
    window.FormActivate();
    EXPECT_EQ(window.E_col->text(), QString::fromUtf8("¦"));
    window.BB_okClick();
    EXPECT_EQ(settings.coluna, "\xa6");
    EXPECT_EQ(settings.begin, "\xbb\xbb");
}

TEST_F(ConfigWindowTest, OutOfRangeIndexesAreClampedForDisplay)
{
    settings.Identacao = 7;
    settings.colunas = -3;
    window.FormActivate();
    EXPECT_EQ(window.RG_tipo_ident->itemIndex(), 2);
    EXPECT_EQ(levels(), QStringList(8, " "));
    EXPECT_EQ(window.RG_colunas->itemIndex(), -1);
    EXPECT_TRUE(columns.empty());  // no choice: the report keeps its column count
    window.BB_okClick();
    EXPECT_EQ(settings.Identacao, 2);
    EXPECT_EQ(settings.colunas, -1);
}

TEST_F(ConfigWindowTest, DefaultSetsTheControlsOnly)
{
    settings = file_settings();
    window.FormActivate();
    columns.clear();
    window.BB_default->click();
    EXPECT_EQ(window.controlSettings(), TListingSettings{});
    EXPECT_EQ(levels(), kDefaultLevels);
    EXPECT_EQ(columns, std::vector<int>({2}));
    window.BB_cancel->click();
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_EQ(settings, file_settings());
}

TEST_F(ConfigWindowTest, ConfigurationPadraoMenuItemRestoresDefaults)
{
    window.E_begin->setText("x");
    window.ConfiguracaoPadrao1->trigger();
    EXPECT_EQ(window.E_begin->text(), QString(">>>"));
}

// ---- column count --------------------------------------------------------------------------

TEST_F(ConfigWindowTest, ColumnChoiceGoesToTheReportAtOnce)
{
    window.FormActivate();
    EXPECT_TRUE(columns.empty());  // the value did not change
    window.RG_colunas->button(0)->click();
    EXPECT_EQ(columns, std::vector<int>({1}));
    window.RG_colunas->button(0)->click();
    EXPECT_EQ(columns, std::vector<int>({1}));
    window.BB_cancel->click();
    EXPECT_EQ(settings.colunas, 1);
    window.FormActivate();
    EXPECT_EQ(columns, std::vector<int>({1, 2}));
    EXPECT_EQ(window.RG_colunas->itemIndex(), 1);
}

TEST_F(ConfigWindowTest, WithoutAHookTheColumnChoiceIsHarmless)
{
    window.setColumnsHook({});
    window.RG_colunas->button(0)->click();
    EXPECT_EQ(window.RG_colunas->itemIndex(), 0);
}

// ---- closing -------------------------------------------------------------------------------

TEST_F(ConfigWindowTest, EfetivarStoresAndClosesWithOk)
{
    showActive();
    window.E_col->setText(":");
    window.BB_ok->click();
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(settings.coluna, ":");
}

TEST_F(ConfigWindowTest, EnterInAFieldIsEfetivar)
{
    showActive();
    window.E_begin->setFocus();
    window.E_begin->setText("go");
    QTest::keyClick(window.E_begin, Qt::Key_Return);
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(settings.begin, "go");
}

TEST_F(ConfigWindowTest, EfetivarMenuItemStoresAndStaysOpen)
{
    showActive();
    window.E_col->setText(":");
    window.EfetivarConfiguracao1->trigger();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(settings.coluna, ":");
    window.BB_cancel->click();
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_EQ(settings.coluna, ":");
}

TEST_F(ConfigWindowTest, CancelarAndSairStoreNothing)
{
    for (const std::function<void()>& close : std::vector<std::function<void()>>{
             [this] { window.BB_cancel->click(); }, [this] { window.Sair1->trigger(); },
             [this] { QTest::keyClick(&window, Qt::Key_Escape); }}) {
        showActive();
        window.E_col->setText(":");
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
    EXPECT_EQ(window.E_begin->text(), QString("first"));
    window.E_begin->setText("edited");
    window.BB_cancel->click();

    settings.begin = "second";
    showActive();
    EXPECT_EQ(window.E_begin->text(), QString("second"));
}

TEST_F(ConfigWindowTest, ReturningFromTheAboutWindowReloadsTheControls)
{
    QDialog about;
    window.setAboutWindow(&about);
    dialogs.onModal = [this](QDialog* d) { return run_and_close(d, &window); };
    showActive();
    window.E_begin->setText("not applied");
    window.Sobre1->trigger();
    ASSERT_EQ(dialogs.modals, std::vector<QDialog*>({&about}));
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::qWait(20);
    EXPECT_EQ(window.E_begin->text(), QString(">>>"));
}

TEST_F(ConfigWindowTest, AboutWithoutAWindowDoesNothing)
{
    window.Sobre1Click();
    EXPECT_TRUE(dialogs.modals.empty());
}

// ---- settings file -------------------------------------------------------------------------

TEST_F(ConfigWindowTest, DefaultSettingsFileSitsBesideTheExecutable)
{
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    EXPECT_EQ(TF_config::defaultSettingsPath(),
              QFile::encodeName(exe.absolutePath() + "/" + exe.completeBaseName() + ".ini")
                  .toStdString());
    EXPECT_EQ(TF_config(settings).settingsPath(), TF_config::defaultSettingsPath());
}

TEST_F(ConfigWindowTest, LerWithoutAFileGivesTheDefaults)
{
    settings = file_settings();
    window.FormActivate();
    columns.clear();
    window.BB_ler->click();
    EXPECT_EQ(settings, TListingSettings{});
    EXPECT_EQ(window.controlSettings(), TListingSettings{});
    EXPECT_EQ(levels(), kDefaultLevels);
    EXPECT_EQ(columns, std::vector<int>({2}));
}

// A settings file that is there but cannot be read (here a folder) is no file of defaults.
TEST_F(ConfigWindowTest, LerOfAnUnreadableFileSaysSoAndChangesNothing)
{
    std::filesystem::create_directory(window.settingsPath());
    settings = file_settings();
    window.FormActivate();
    columns.clear();
    window.BB_ler->click();
    EXPECT_EQ(dialogs.messages, QStringList({QString::fromStdString(
                                    "Não foi possível ler o arquivo: " + window.settingsPath())}));
    EXPECT_EQ(settings, file_settings());
    EXPECT_EQ(window.controlSettings(), file_settings());
    EXPECT_TRUE(columns.empty());
}

TEST_F(ConfigWindowTest, SalvarWritesTheControlsNotTheSettings)
{
    window.FormActivate();
    window.E_begin->setText("typed");
    window.RG_tipo_ident->button(2)->click();
    window.BB_salvar->click();
    window.BB_cancel->click();

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
    window.FormActivate();
    window.LerConfiguracao1->trigger();
    EXPECT_EQ(settings, file_settings());
    EXPECT_EQ(window.controlSettings(), file_settings());
    EXPECT_EQ(levels(), QStringList({" 1", " 1", " 1", " 1", " 2", " 2", " 2", " 1"}));
    EXPECT_EQ(columns, std::vector<int>({1}));
    window.BB_cancel->click();
    EXPECT_EQ(settings, file_settings());
}

TEST_F(ConfigWindowTest, SaveAndReadRoundTripThroughTheWindow)
{
    settings = file_settings();
    window.FormActivate();
    window.SalvarConfiguracao1->trigger();
    settings = TListingSettings{};
    window.FormActivate();
    window.BB_lerClick();
    EXPECT_EQ(settings, file_settings());
}

TEST_F(ConfigWindowTest, HandEditedValuesReadThroughTheWindow)
{
    test::write_bytes(window.settingsPath(), "[Numeracao]\r\nLinhas=yes\r\nFinal=2\r\n"
                                             "[Identacao]\r\nTipo=0x1\r\nbegin=  \"go \"  \r\n"
                                             "[Relatorio]\r\ncolunas=-3\r\n");
    window.BB_lerClick();
    EXPECT_TRUE(settings.Numeracao);
    EXPECT_TRUE(settings.Final);
    EXPECT_EQ(settings.Identacao, 1);
    EXPECT_EQ(settings.begin, "go ");
    EXPECT_EQ(settings.colunas, -3);
    EXPECT_EQ(window.RG_colunas->itemIndex(), -1);
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
    window.E_begin->setText("unsaved");
    const TListingSettings before = window.controlSettings();

    window.BB_salvar->click();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::qWait(20);
    EXPECT_EQ(dialogs.messages,
              QStringList({QString::fromStdString("Unable to write to " + nowhere)}));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.controlSettings(), before);
    EXPECT_EQ(settings, TListingSettings{});
}

}  // namespace
}  // namespace tabulex
