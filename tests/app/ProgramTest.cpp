#include "Program.h"

#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "FakeDialogs.h"
#include "report/form/ReportPreparation.h"
#include "TRadioGroup.h"
#include "TWideListBox.h"
#include "config.h"
#include "princ.h"
#include "report/form/r_dif.h"

namespace fs = std::filesystem;
using namespace tabulex;
using tabulex::testing::FakeDialogs;

namespace {

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tabulex_program_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        source = (dir / "Exemplo.pas").string();
        std::ofstream(source, std::ios::binary)
            << "unit Exemplo;\r\ninterface\r\nimplementation\r\nprocedure P;\r\nbegin\r\n  X;\r\nend;\r\nend.\r\n";
    }
    void TearDown() override { fs::remove_all(dir); }

    void load(TProgram& program)
    {
        dialogs.openAnswers = {QString::fromStdString(source)};
        program.mainWindow().Carregar1Click();
    }

    FakeDialogs dialogs;
    TScopedDialogs scoped{dialogs};
    fs::path dir;
    std::string source;
};

}  // namespace

TEST_F(ProgramTest, ColumnChoiceInTheConfigurationWindowReachesTheReport)
{
    TProgram program;
    TF_dif& form = program.reportForm();
    EXPECT_EQ(form.Report1->Page().Columns(), 2);
    program.configWindow().RG_colunas->setItemIndex(0);
    EXPECT_EQ(form.Report1->Page().Columns(), 1);
    EXPECT_EQ(form.RpMemo1->PixelWidth(), form.RpBand2->Size().PixelWidth() - 5);
    program.configWindow().RG_colunas->setItemIndex(1);
    EXPECT_EQ(form.Report1->Page().Columns(), 2);
    EXPECT_EQ(form.RpBand2->Size().PixelWidth(), 353);
}

TEST_F(ProgramTest, FontCommandChangesListingAndReportTextOnly)
{
    TProgram program;
    load(program);
    TF_tabulan& window = program.mainWindow();
    const QFont xrefFont = window.listbox3->font();
    QFont chosen("Liberation Serif");
    chosen.setPointSize(12);

    window.Fonte1Click();  // cancelled
    EXPECT_EQ(window.ListBox1->font().family(), "Courier New");

    dialogs.fontAnswers = {chosen};
    window.Fonte1Click();
    EXPECT_EQ(dialogs.lastInitialFont.family(), "Courier New");
    EXPECT_EQ(window.ListBox1->font().family(), "Liberation Serif");
    EXPECT_EQ(program.reportForm().RpMemo1->Font().family(), "Liberation Serif");
    EXPECT_EQ(window.listbox3->font(), xrefFont);
}

TEST_F(ProgramTest, PreviewPreparationTitlesTheReportWithThePath)
{
    TProgram program;
    TF_dif& form = program.reportForm();
    prepare_report_for(form, source);
    EXPECT_EQ(form.Report1->ReportTitle, "Vis\xE3o Pr\xE9via : " + source);
    EXPECT_EQ(form.RpLabel5->Caption(), source);
    EXPECT_TRUE(form.RpMemo1->Lines().empty());
}

TEST_F(ProgramTest, SavedSettingsComeBackAfterARestartWithLerAndEfetivar)
{
    const std::string ini = (dir / "tabulex.ini").string();
    {
        TProgram program;
        TF_config& config = program.configWindow();
        config.setSettingsPath(ini);
        config.FormActivate();
        config.E_col->setText("!");
        config.BB_salvarClick();
    }
    ListingSettings = TListingSettings{};
    TProgram program;
    load(program);
    TF_config& config = program.configWindow();
    config.setSettingsPath(ini);
    config.FormActivate();
    config.BB_lerClick();
    config.BB_okClick();
    dialogs.modalAnswers = {QDialog::Accepted};
    program.mainWindow().Configurar1Click();
    EXPECT_EQ(program.mainWindow().ListBox1->Items().item(5), "0006 !  X;");
}

TEST_F(ProgramTest, PreviewShowsTheLoadedFileAndReturnsWhenItsWindowCloses)
{
    TProgram program;
    load(program);
    TF_dif& form = program.reportForm();
    bool shown = false;
    QTimer closer;  // closes the preview once its pages are made, as the user would
    QObject::connect(&closer, &QTimer::timeout, [&] {
        QWidget* preview = form.Report1->PreviewWindow();
        if (!preview || form.RpMemo1->Lines().empty())
            return;
        shown = preview->isVisible();
        preview->close();
    });
    closer.start(10);
    program.mainWindow().Preview1Click();  // returns once the preview window is closed
    EXPECT_TRUE(shown);
    EXPECT_EQ(form.Report1->ReportTitle, "Vis\xE3o Pr\xE9via : " + source);
    EXPECT_EQ(form.RpLabel5->Caption(), source);
    EXPECT_EQ(form.RpMemo1->Lines().size(), program.mainWindow().ListBox1->Items().items().size() +
                                                program.mainWindow().listbox3->Items().items().size() +
                                                program.mainWindow().ListBox4->Items().items().size() +
                                                program.mainWindow().ListBox5->Items().items().size());
    for (int section = 0; section < 4; ++section)
        EXPECT_EQ(form.counter(section), 0) << "AfterPreview resets the counters";
}
