#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

#include "FakeDialogs.h"
#include "FindChild.h"
#include "MainWindowControls.h"
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
using tabulex::test::child;
using tabulex::test::list;
using tabulex::test::listing;
using tabulex::test::trigger;
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
        trigger(program.mainWindow(), "Carregar1");
    }

    // Opens the configuration window, which loads its controls from the Listing settings.
    static void open(TF_config& config)
    {
        config.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&config));
    }
    static void click(TF_config& config, const char* button)
    {
        child<QPushButton>(config, button)->click();
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
    EXPECT_EQ(form.report().Page().Columns(), 2);
    const TRadioGroup* columns = child<TRadioGroup>(program.configWindow(), "RG_colunas");
    columns->button(0)->click();
    EXPECT_EQ(form.report().Page().Columns(), 1);
    const TRpBand& detail = *form.report().FindBand(TRpBandType::rbDetail);
    EXPECT_EQ(form.memo().PixelWidth(), detail.Size().PixelWidth() - 5);
    columns->button(1)->click();
    EXPECT_EQ(form.report().Page().Columns(), 2);
    EXPECT_EQ(detail.Size().PixelWidth(), 353);
}

TEST_F(ProgramTest, FontCommandChangesListingAndReportTextOnly)
{
    TProgram program;
    load(program);
    TF_tabulan& window = program.mainWindow();
    const QFont xrefFont = list(window, "listbox3")->font();
    QFont chosen("Liberation Serif");
    chosen.setPointSize(12);

    trigger(window, "Fonte1");  // cancelled
    EXPECT_EQ(listing(window)->font().family(), "Courier New");
    const QFontInfo drawn(listing(window)->font());

    dialogs.fontAnswers = {chosen};
    trigger(window, "Fonte1");
    // The dialog starts on the family and size actually drawn, not on a family that is not
    // installed (which the dialog would replace by its own default).
    EXPECT_EQ(dialogs.lastInitialFont.family(), drawn.family());
    EXPECT_DOUBLE_EQ(dialogs.lastInitialFont.pointSizeF(), drawn.pointSizeF());
    EXPECT_EQ(listing(window)->font().family(), "Liberation Serif");
    EXPECT_EQ(program.reportForm().memo().Font().family(), "Liberation Serif");
    EXPECT_EQ(list(window, "listbox3")->font(), xrefFont);
}

TEST_F(ProgramTest, PreviewPreparationTitlesTheReportWithThePath)
{
    TProgram program;
    TF_dif& form = program.reportForm();
    prepare_report_for(form, source);
    EXPECT_EQ(form.report().ReportTitle, "Vis\xE3o Pr\xE9via : " + source);
    EXPECT_EQ(form.headerPath(), source);
    EXPECT_EQ(form.memo().LineCount(), 0u);
}

TEST_F(ProgramTest, SavedSettingsComeBackAfterARestartWithLerAndEfetivar)
{
    const std::string ini = (dir / "tabulex.ini").string();
    {
        TProgram program;
        TF_config& config = program.configWindow();
        config.setSettingsPath(ini);
        open(config);
        child<QLineEdit>(config, "E_col")->setText("!");
        click(config, "BB_salvar");
    }
    TProgram program;
    load(program);
    TF_config& config = program.configWindow();
    config.setSettingsPath(ini);
    open(config);
    click(config, "BB_ler");
    click(config, "BB_ok");
    dialogs.modalAnswers = {QDialog::Accepted};
    trigger(program.mainWindow(), "Configurar1");
    EXPECT_EQ(listing(program.mainWindow())->Items().item(5), "0006 !  X;");
}

TEST_F(ProgramTest, ReportFontIsSavedOnlyWhenChosenAndReadBackWithLer)
{
    const std::string ini = (dir / "tabulex.ini").string();
    TProgram program;
    load(program);
    TF_config& config = program.configWindow();
    config.setSettingsPath(ini);
    open(config);
    click(config, "BB_salvar");
    EXPECT_FALSE(read_report_font(ini));

    QFont mono("Liberation Mono");
    mono.setPointSizeF(7.5);
    dialogs.fontAnswers = {mono};
    trigger(program.mainWindow(), "Fonte1");
    click(config, "BB_salvar");
    std::ifstream file(ini);
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("units=1\r\nfonte=Liberation Mono,7.5"), std::string::npos) << text;

    TProgram other;
    load(other);
    other.configWindow().setSettingsPath(ini);
    click(other.configWindow(), "BB_ler");
    EXPECT_EQ(listing(other.mainWindow())->font().family(), "Liberation Mono");
    EXPECT_EQ(other.reportForm().memo().Font().family(), "Liberation Mono");
    EXPECT_DOUBLE_EQ(other.reportForm().memo().Font().pointSizeF(), 7.5);
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
        if (QWidget* preview = form.report().PreviewWindow(); preview && form.memo().LineSource())
            preview->close();
    });
    closer.start(10);
    trigger(program.mainWindow(), "Preview1");
    EXPECT_EQ(form.textEncoding(), SourceEncoding::Utf8);
    EXPECT_EQ(form.report().ReportTitle, "Vis\xC3\xA3o Pr\xC3\xA9via : " + source);
    const auto& memo = form.memo().LineSource();
    ASSERT_TRUE(memo && memo->size() >= 2u);
    std::string scratch;
    EXPECT_NE(memo->line(1, scratch).find("{ fun\xC3\xA7\xC3\xA3o \xCE\xBB }"), std::string::npos);
}

TEST_F(ProgramTest, PreviewShowsTheLoadedFileAndReturnsWhenItsWindowCloses)
{
    TProgram program;
    load(program);
    TF_dif& form = program.reportForm();
    bool shown = false;
    QTimer closer;  // closes the preview once its pages are made, as the user would
    QObject::connect(&closer, &QTimer::timeout, [&] {
        QWidget* preview = form.report().PreviewWindow();
        if (!preview || !form.memo().LineSource())
            return;
        shown = preview->isVisible();
        preview->close();
    });
    closer.start(10);
    trigger(program.mainWindow(), "Preview1");  // returns once the preview window is closed
    EXPECT_TRUE(shown);
    EXPECT_EQ(form.report().ReportTitle, "Vis\xE3o Pr\xE9via : " + source);
    EXPECT_EQ(form.headerPath(), source);
    // The memo printed the four lists, read from the document the window shows.
    ASSERT_NE(form.memo().LineSource(), nullptr);
    EXPECT_EQ(form.memo().LineSource()->size(),
              static_cast<std::size_t>(listing(program.mainWindow())->Items().count() +
                                       list(program.mainWindow(), "listbox3")->Items().count() +
                                       list(program.mainWindow(), "ListBox4")->Items().count() +
                                       list(program.mainWindow(), "ListBox5")->Items().count()));
    for (int section = 0; section < 4; ++section)
        EXPECT_EQ(form.counter(section), 0) << "AfterPreview resets the counters";
}

TEST_F(ProgramTest, ThemeChosenUnderRelatorioReachesTheReportAndTheSettingsFile)
{
    const std::string ini = (dir / "tabulex.ini").string();
    {
        TProgram program;
        load(program);
        TF_tabulan& window = program.mainWindow();
        EXPECT_TRUE(child<QAction>(window, "TemaNenhum1")->isChecked());
        trigger(window, "TemaCinza1");
        EXPECT_EQ(program.reportForm().theme(), TReportTheme::Cinza);
        EXPECT_FALSE(program.reportForm().memo().RunStyles().empty());
        TF_config& config = program.configWindow();
        config.setSettingsPath(ini);
        open(config);
        click(config, "BB_salvar");
    }
    TProgram program;
    TF_config& config = program.configWindow();
    config.setSettingsPath(ini);
    open(config);
    click(config, "BB_ler");
    EXPECT_EQ(program.reportForm().theme(), TReportTheme::Cinza);
    EXPECT_TRUE(child<QAction>(program.mainWindow(), "TemaCinza1")->isChecked());
}

TEST_F(ProgramTest, SelectionIsPreviewedAloneAndSavedAsPdfByTheDirectWriter)
{
    if (std::system("command -v pdftotext >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pdftotext is not installed";
    TProgram program;
    load(program);
    TF_tabulan& window = program.mainWindow();
    TF_dif& form = program.reportForm();
    TWideListBox* listBox = listing(window);
    QItemSelectionModel* selection = listBox->selectionModel();
    selection->select(QItemSelection(listBox->Items().index(3), listBox->Items().index(5)),
                      QItemSelectionModel::ClearAndSelect);
    const std::string pdf = (dir / "parte.pdf").string();
    std::size_t previewed = 0;
    QTimer closer;  // saves the previewed selection as a PDF, then closes the preview
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* preview = qobject_cast<TRpStandardPreview*>(form.report().PreviewWindow());
        if (!preview || preview->Making() || !form.memo().LineSource())
            return;
        closer.stop();
        previewed = form.memo().LineSource()->size();
        dialogs.saveFilter = TRpStandardPreview::kPdfFilter;
        dialogs.saveAnswers = {QString::fromStdString(pdf)};
        preview->DoSave();
        preview->close();
    });
    closer.start(10);
    trigger(window, "ImprimirSelecao1");
    EXPECT_EQ(previewed, 3u);  // listing lines 4 to 6, no lists
    EXPECT_FALSE(form.selection().has_value());
    ASSERT_EQ(std::system(("pdftotext " + pdf + " " + pdf + ".txt").c_str()), 0);
    std::ifstream in(pdf + ".txt");
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NE(text.find("0004"), std::string::npos) << text;
    EXPECT_NE(text.find("0006"), std::string::npos);
    EXPECT_EQ(text.find("0007"), std::string::npos);
    // Written by the batch command's writer: its producer is in the information.
    EXPECT_EQ(std::system(("pdfinfo " + pdf + " | grep -q 'Producer: *Tabulex'").c_str()), 0);
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
    EXPECT_EQ(listing(program.mainWindow())->Items().count(), 0);
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
