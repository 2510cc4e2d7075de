// The program's report: its definition, the feeding of the memo and a PDF end to end.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "ReportTestSupport.h"
#include "report/form/ReportPreparation.h"
#include "report/form/r_dif.h"
#include "text/TextCodec.h"

using namespace tabulex;
using tabulex::test::ensureGui;
using Lines = std::vector<std::string>;

namespace {

struct FormFixture : ::testing::Test {
    void SetUp() override
    {
        ensureGui();
        form = std::make_unique<TF_dif>();
        form->setSettings(&settings);
        form->memo().ClearLines();
    }
    // Hands the form the four lists as they stand now.
    void handOver()
    {
        const auto lines = [](const Lines& list) { return std::make_shared<TStringLines>(list); };
        form->setSections({lines(listing), lines(xref), lines(procs), lines(uses)});
    }
    // Runs the form's feeding and gives the lines the memo then prints.
    Lines feed()
    {
        handOver();
        bool print = false;
        form->Report1BeforePrint(&form->report(), print);
        EXPECT_TRUE(print);
        Lines shown = form->memo().Lines();
        if (const auto& source = form->memo().LineSource()) {
            std::string scratch;
            for (std::size_t i = 0; i < source->size(); ++i)
                shown.emplace_back(source->line(i, scratch));
        }
        return shown;
    }
    Lines listing{"0001 unit a;", "0002\t\t\tx"};
    Lines xref{"X  Integer  2"};
    Lines procs{"procedure P;"};
    Lines uses{"SysUtils"};
    TListingSettings settings;
    // A band or an item of the form's report, by its type or by the name the form gives it.
    const TRpBand& band(TRpBandType type) const { return *form->report().FindBand(type); }
    template <class T>
    T& item(const char* name) const
    {
        return tabulex::test::item<T>(form->report(), name);
    }

    std::unique_ptr<TF_dif> form;
};

}  // namespace

TEST_F(FormFixture, DefinitionMatchesTheLayout)
{
    TRpReport& r = form->report();
    EXPECT_EQ(r.Units(), TRpUnit::MM);
    EXPECT_EQ(r.Page().Columns(), 2);
    EXPECT_EQ(r.Page().PaperSize(), TRpPaperSize::A4);
    EXPECT_EQ(r.Page().Values(), (TRpPage::ValueArray{100, 2970, 100, 2100, 100, 100, 30}));
    EXPECT_TRUE(r.PrintIfEmpty());
    EXPECT_EQ(r.Options, FirstPageHeader | LastPageFooter);
    EXPECT_TRUE(r.PrinterSettings.Duplex);
    const TRpBand& RpBand1 = band(TRpBandType::rbPageHeader);
    const TRpBand& RpBand2 = band(TRpBandType::rbDetail);
    const TRpBand& RpBand3 = band(TRpBandType::rbPageFooter);
    EXPECT_NEAR(RpBand1.Size().NativeHeight(), 227.54, 0.005);
    EXPECT_NEAR(RpBand2.Size().NativeHeight(), 37.04, 0.005);
    EXPECT_NEAR(RpBand3.Size().NativeHeight(), 76.73, 0.005);
    EXPECT_EQ(RpBand2.Size().PixelWidth(), 353);
    EXPECT_TRUE(RpBand1.Frame.DrawBottom);
    EXPECT_TRUE(RpBand2.Frame.DrawRight);
    EXPECT_TRUE(RpBand3.Frame.DrawTop);
    EXPECT_EQ(form->memo().Font().pointSize(), 7);
    EXPECT_TRUE(form->memo().AutoStretch);
    EXPECT_FALSE(form->memo().AutoSize());
    const auto& RpSysData2 = item<TRpSysData>("RpSysData2");
    EXPECT_EQ(RpSysData2.Data(), TRpSysDataType::rpsPageNumber);
    EXPECT_EQ(RpSysData2.Alignment(), TRpAlignment::taRightJustify);
    const auto& RpLabel1 = item<TRpLabel>("RpLabel1");
    EXPECT_EQ(RpLabel1.FontColor, QColor(Qt::blue));
    EXPECT_TRUE(RpLabel1.Font().bold());
    EXPECT_EQ(RpLabel1.Font().pointSize(), 14);
    const auto& RpLabel2 = item<TRpLabel>("RpLabel2");
    EXPECT_EQ(RpLabel2.Alignment(), TRpAlignment::taRightJustify);
    EXPECT_EQ(RpLabel2.Font().pointSize(), 6);
    EXPECT_NE(RpLabel2.Caption().find(".example"), std::string::npos);
}

TEST_F(FormFixture, ColumnsResizeTheBandAndTheMemo)
{
    form->set_colunas(1);
    EXPECT_EQ(band(TRpBandType::rbDetail).Size().PixelWidth(), 718);
    EXPECT_EQ(form->memo().PixelWidth(), 713);
    form->set_colunas(2);
    EXPECT_EQ(band(TRpBandType::rbDetail).Size().PixelWidth(), 353);
    EXPECT_EQ(form->memo().PixelWidth(), 348);
}

TEST_F(FormFixture, FeedsTheSelectedSectionsInOrderWithTabsAsBlanks)
{
    EXPECT_EQ(feed(),
              (Lines{"0001 unit a;", "0002   x", "X  Integer  2", "procedure P;", "SysUtils"}));
    // A second generation while the same preview is open appends nothing.
    EXPECT_EQ(feed().size(), 5u);
    EXPECT_EQ(form->counter(0), 2);
    form->Report1AfterPreview(&form->report());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(form->counter(i), 0);
}

TEST_F(FormFixture, SwitchedOffSectionsAreSkippedAndKeepTheirCounters)
{
    settings.listagem = false;
    settings.proc_func = false;
    settings.units = false;
    EXPECT_EQ(feed(), (Lines{"X  Integer  2"}));
    EXPECT_EQ(form->counter(0), 0);
    settings.xref = false;
    settings.listagem = true;
    settings.units = true;
    form->memo().ClearLines();
    EXPECT_EQ(feed(), (Lines{"0001 unit a;", "0002   x", "SysUtils"}));
}

TEST_F(FormFixture, AllSwitchesOffGivesOnePageWithHeaderAndFooter)
{
    settings.listagem = settings.xref = settings.proc_func = settings.units = false;
    auto run = tabulex::test::runRecorded(form->report());
    ASSERT_EQ(run.pages.size(), 1u);
    const auto texts = run.pages[0]->Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Arquivo"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "1"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), item<TRpLabel>("RpLabel2").Caption()),
              texts.end());
}

TEST_F(FormFixture, WritesAPdfWithItsPagesAndText)
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        GTEST_SKIP() << "pdftotext is not installed";
    listing.clear();
    for (int i = 1; i <= 300; ++i)
        listing.push_back("0" + std::to_string(1000 + i) + " linha de teste");
    form->setHeaderPath(QStringLiteral("C:\\fontes\\teste.pas"));
    form->report().ReportTitle = "Vis\xE3o Pr\xE9via : C:\\fontes\\teste.pas";
    handOver();
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("report.pdf")).toStdString();
    write_report_pdf(*form, path);

    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {QString::fromStdString(path)});
    ASSERT_TRUE(info.waitForFinished());
    const QString infoText = QString::fromUtf8(info.readAllStandardOutput());
    // 300 lines at 93 lines per column: four columns, two pages.
    EXPECT_TRUE(infoText.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\b"))))
        << infoText.toStdString();
    EXPECT_TRUE(infoText.contains(
        QRegularExpression(QStringLiteral("595(\\.28)? x 84(2|1\\.89) pts \\(A4\\)"))))
        << infoText.toStdString();

    QProcess text;
    text.start(pdftotext,
               {QStringLiteral("-layout"), QString::fromStdString(path), QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished());
    const QString out = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("Vorn Soft Serviços de Informática")));
    EXPECT_TRUE(out.contains(QStringLiteral("01001 linha de teste")));
    EXPECT_TRUE(out.contains(QStringLiteral("01300 linha de teste")));
    EXPECT_TRUE(out.contains(QStringLiteral("C:\\fontes\\teste.pas")));
    EXPECT_TRUE(out.contains(QStringLiteral("Página:")));
    EXPECT_EQ(out.count(QStringLiteral("\f")), 2);
}

TEST_F(FormFixture, PathOutsideWindows1252MakesTheReportUtf8AndConvertsTheLines)
{
    listing = {"a\xE7\xE3o := 1;"};  // Windows-1252 source
    prepare_report_for(*form, "/tmp/\xCE\xB1\xCE\xB2/a.pas", SourceEncoding::Windows1252);
    EXPECT_EQ(form->textEncoding(), SourceEncoding::Utf8);
    EXPECT_EQ(form->headerPath(), "/tmp/\xCE\xB1\xCE\xB2/a.pas");
    EXPECT_EQ(form->report().ReportTitle,
              "Vis\xC3\xA3o Pr\xC3\xA9via : /tmp/\xCE\xB1\xCE\xB2/a.pas");
    EXPECT_EQ(item<TRpLabel>("RpLabel6").Caption(), "P\xC3\xA1gina:");
    EXPECT_EQ(feed().front(), "a\xC3\xA7\xC3\xA3o := 1;");

    // A path Windows-1252 can show keeps a Windows-1252 source's report byte for byte.
    form->memo().ClearLines();
    form->Report1AfterPreview(&form->report());
    prepare_report_for(*form, "/tmp/a\xC3\xA7\xC3\xA3o/a.pas", SourceEncoding::Windows1252);
    EXPECT_EQ(form->textEncoding(), SourceEncoding::Windows1252);
    EXPECT_EQ(form->headerPath(), "/tmp/a\xE7\xE3o/a.pas");
    EXPECT_EQ(item<TRpLabel>("RpLabel6").Caption(), "P\xE1gina:");
    EXPECT_EQ(feed().front(), "a\xE7\xE3o := 1;");
}

TEST_F(FormFixture, LongPathIsShortenedInTheMiddleBeforeTheDate)
{
    std::string path = "/home/usuario";
    while (path.size() < 140)
        path += "/projetos/sistema";
    path += "/Unidade.pas";
    ASSERT_GE(path.size(), 150u);
    for (const SourceEncoding encoding : {SourceEncoding::Windows1252, SourceEncoding::Utf8}) {
        prepare_report_for(*form, path, encoding);
        const std::string caption = form->headerPath();
        const QString shown = decodeText(caption, encoding);
        EXPECT_TRUE(shown.startsWith(QStringLiteral("/home/usuario"))) << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(QStringLiteral("/Unidade.pas"))) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QChar(0x2026)));
        const auto& RpLabel5 = item<TRpLabel>("RpLabel5");
        EXPECT_LT(RpLabel5.PixelLeft() + RpLabel5.TextWidthOf(caption),
                  item<TRpSysData>("RpSysData1").PixelLeft());
        // The title keeps the whole path.
        EXPECT_NE(form->report().ReportTitle.find(path), std::string::npos);
    }
    // A path that fits stays whole.
    prepare_report_for(*form, "/tmp/Unidade.pas");
    EXPECT_EQ(form->headerPath(), "/tmp/Unidade.pas");
}

TEST(ShortenedInMiddle, KeepsTheNameWholeWhileTheFoldersCanGo)
{
    const auto upTo = [](int n) { return [n](const QString& s) { return s.size() <= n; }; };
    EXPECT_EQ(shortened_in_middle(QStringLiteral("/a/bcdefgh/x.pas"), upTo(20)),
              QStringLiteral("/a/bcdefgh/x.pas"));
    const QString cut = shortened_in_middle(QStringLiteral("/abcdefghij/x.pas"), upTo(12));
    EXPECT_EQ(cut.size(), 12);
    EXPECT_TRUE(cut.endsWith(QStringLiteral("/x.pas"))) << cut.toStdString();
    EXPECT_TRUE(cut.startsWith(QStringLiteral("/ab"))) << cut.toStdString();
    // Too narrow for the name: the name is shortened too, never beyond one mark.
    EXPECT_EQ(shortened_in_middle(QStringLiteral("/d/Unidade.pas"), upTo(5)).size(), 5);
    EXPECT_EQ(shortened_in_middle(QStringLiteral("abc"), upTo(0)), QString(QChar(0x2026)));
}
