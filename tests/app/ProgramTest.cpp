#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

#include "FakeDialogs.h"
#include "app/Program.h"
#include "app/princ.h"
#include "config/TRadioGroup.h"
#include "config/config.h"
#include "report/engine/TRpPage.h"
#include "report/form/ReportPreparation.h"
#include "report/form/r_dif.h"
#include "report/output/TRpPrinter.h"
#include "report/preview/TRpPreview.h"
#include "report/preview/TRpStandardPreview.h"
#include "widgets/TWideListBox.h"

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
            << "unit Exemplo;\r\ninterface\r\nimplementation\r\nprocedure P;\r\nbegin\r\n  "
               "X;\r\nend;\r\nend.\r\n";
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
    const QFontInfo drawn(window.ListBox1->font());

    dialogs.fontAnswers = {chosen};
    window.Fonte1Click();
    // The dialog starts on the family and size actually drawn, not on a family that is not
    // installed (which the dialog would replace by its own default).
    EXPECT_EQ(dialogs.lastInitialFont.family(), drawn.family());
    EXPECT_DOUBLE_EQ(dialogs.lastInitialFont.pointSizeF(), drawn.pointSizeF());
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

TEST_F(ProgramTest, ReportFontIsSavedOnlyWhenChosenAndReadBackWithLer)
{
    const std::string ini = (dir / "tabulex.ini").string();
    TProgram program;
    load(program);
    TF_config& config = program.configWindow();
    config.setSettingsPath(ini);
    config.FormActivate();
    config.BB_salvarClick();
    EXPECT_FALSE(read_report_font(ini));

    QFont mono("Liberation Mono");
    mono.setPointSizeF(7.5);
    dialogs.fontAnswers = {mono};
    program.mainWindow().Fonte1Click();
    config.BB_salvarClick();
    std::ifstream file(ini);
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("units=1\r\nfonte=Liberation Mono,7.5"), std::string::npos) << text;

    TProgram other;
    load(other);
    other.configWindow().setSettingsPath(ini);
    other.configWindow().BB_lerClick();
    EXPECT_EQ(other.mainWindow().ListBox1->font().family(), "Liberation Mono");
    EXPECT_EQ(other.reportForm().RpMemo1->Font().family(), "Liberation Mono");
    EXPECT_DOUBLE_EQ(other.reportForm().RpMemo1->Font().pointSizeF(), 7.5);
}

TEST_F(ProgramTest, Utf8SourceIsPreviewedAsUtf8)
{
    std::ofstream(source, std::ios::binary)
        << "unit Exemplo;\n{ fun\xC3\xA7\xC3\xA3o \xCE\xBB }\nend.\n";
    TProgram program;
    load(program);
    TF_dif& form = program.reportForm();
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* preview = form.Report1->PreviewWindow();
            preview && !form.RpMemo1->Lines().empty())
            preview->close();
    });
    closer.start(10);
    program.mainWindow().Preview1Click();
    EXPECT_EQ(form.textEncoding(), SourceEncoding::Utf8);
    EXPECT_EQ(form.Report1->ReportTitle, "Vis\xC3\xA3o Pr\xC3\xA9via : " + source);
    ASSERT_GE(form.RpMemo1->Lines().size(), 2u);
    EXPECT_NE(form.RpMemo1->Lines()[1].find("{ fun\xC3\xA7\xC3\xA3o \xCE\xBB }"),
              std::string::npos);
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
    EXPECT_EQ(form.RpMemo1->Lines().size(),
              program.mainWindow().ListBox1->Items().items().size() +
                  program.mainWindow().listbox3->Items().items().size() +
                  program.mainWindow().ListBox4->Items().items().size() +
                  program.mainWindow().ListBox5->Items().items().size());
    for (int section = 0; section < 4; ++section)
        EXPECT_EQ(form.counter(section), 0) << "AfterPreview resets the counters";
}

// A saved report file named on the command line (as the file manager names it) opens straight
// in a preview window of its own; one that is no report file says so and opens nothing.
TEST_F(ProgramTest, SavedReportFileOnTheCommandLineOpensInThePreview)
{
    TProgram program;
    const std::string saved = (dir / "Exemplo.RPF").string();
    write_report_rpf(program.reportForm(), saved);
    const auto previews = [] {
        std::vector<TRpStandardPreview*> found;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* preview = qobject_cast<TRpStandardPreview*>(widget);
                preview && preview->isVisible())
                found.push_back(preview);
        return found;
    };
    program.openArguments({saved});
    const auto opened = previews();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(opened[0]->Output()->ReportLoaded);
    EXPECT_GE(opened[0]->Output()->PageCount(), 1);
    EXPECT_TRUE(opened[0]->Preview()->PageShown());
    EXPECT_TRUE(opened[0]->windowTitle().endsWith(QString::fromStdString(saved)));
    EXPECT_EQ(program.mainWindow().ListBox1->Items().count(), 0);
    QPointer<TRpStandardPreview> window = opened[0];
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());

    std::ofstream(dir / "broken.rpf") << "no report";
    program.openArguments({(dir / "broken.rpf").string()});
    EXPECT_TRUE(previews().empty());
    EXPECT_EQ(dialogs.messages, QStringList{QString::fromStdString("Invalid report file: " +
                                                                   (dir / "broken.rpf").string())});
}
