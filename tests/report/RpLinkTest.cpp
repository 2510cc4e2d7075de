// The report's themes, the PDF's outline and links, and printing part of the listing: files
// written by write_report_pdf and read back with qpdf and pdftotext (skipped where they are
// not installed).
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <climits>
#include <gtest/gtest.h>
#include <map>

#include "ReportTestSupport.h"
#include "report/form/r_dif.h"

using namespace tabulex;
using tabulex::test::ensureGui;

namespace {

QByteArray runTool(const char* tool, const QStringList& args)
{
    QProcess process;
    process.start(QStandardPaths::findExecutable(QString::fromLatin1(tool)), args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

bool haveTools()
{
    for (const char* tool : {"qpdf", "pdftotext"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return false;
    return true;
}

// A unit of `methods` methods of one class, each with a nested block, and one plain routine:
// long enough for several pages, with block-end references and a cross reference.
std::string sampleUnit(int methods)
{
    std::string text = "unit Amostra;\ninterface\nuses SysUtils;\ntype\n  TFoo = class\n";
    for (int i = 0; i < methods; ++i)
        text += "    procedure M" + std::to_string(i) + ";\n";
    text += "  end;\nvar\n  Total: Integer;\nimplementation\n";
    for (int i = 0; i < methods; ++i)
        text +=
            "procedure TFoo.M" + std::to_string(i) +
            ";\nvar\n  I: Integer;\nbegin\n  for I := 1 to 3 do\n  begin\n    Total := Total + I;"
            "\n  end;\nend;\n\n";
    text += "function Solta: Integer;\nbegin\n  Result := Total;\nend;\n\nend.\n";
    return text;
}

struct Word {
    int page;
    double xMin, yMin, xMax, yMax;
    QString text;
};

// Words of the file with their page (1-based), from `pdftotext -bbox`.
std::vector<Word> pageWords(const std::string& path)
{
    const QString html = QString::fromUtf8(runTool(
        "pdftotext", {QStringLiteral("-bbox"), QString::fromStdString(path), QStringLiteral("-")}));
    static const QRegularExpression item(
        QStringLiteral("<page |<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    std::vector<Word> out;
    int page = 0;
    for (auto it = item.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith(QStringLiteral("<page"))) {
            ++page;
            continue;
        }
        out.push_back({page, m.captured(1).toDouble(), m.captured(2).toDouble(),
                       m.captured(3).toDouble(), m.captured(4).toDouble(), m.captured(5)});
    }
    return out;
}

struct Link {
    int page;         ///< where it is, 1-based
    QJsonArray rect;  ///< PDF coordinates
    int target = 0;   ///< the page it leads to (0: a file)
    double top = 0;   ///< the height it leads to
    QString file;
};

struct PdfLinks {
    std::vector<Link> links;
    QJsonArray outline;
};

PdfLinks readLinks(const std::string& path)
{
    const QString file = QString::fromStdString(path);
    const QJsonObject pages =
        QJsonDocument::fromJson(
            runTool("qpdf", {QStringLiteral("--json"), QStringLiteral("--json-key=pages"),
                             QStringLiteral("--json-key=outlines"), file}))
            .object();
    const QJsonObject objects =
        QJsonDocument::fromJson(
            runTool("qpdf", {QStringLiteral("--json"), QStringLiteral("--json-key=qpdf"), file}))
            .object()[QStringLiteral("qpdf")]
            .toArray()[1]
            .toObject();
    std::map<QString, int> pageOf;
    const QJsonArray list = pages[QStringLiteral("pages")].toArray();
    for (int i = 0; i < list.size(); ++i)
        pageOf[list[i].toObject()[QStringLiteral("object")].toString()] = i + 1;
    PdfLinks out;
    out.outline = pages[QStringLiteral("outlines")].toArray();
    for (const auto& [object, page] : pageOf) {
        const QJsonArray annotations = objects[QStringLiteral("obj:") + object]
                                           .toObject()[QStringLiteral("value")]
                                           .toObject()[QStringLiteral("/Annots")]
                                           .toArray();
        for (const QJsonValue& value : annotations) {
            const QJsonObject annotation = value.toObject();
            Link link{page, annotation[QStringLiteral("/Rect")].toArray(), 0, 0, {}};
            const QJsonArray dest = annotation[QStringLiteral("/Dest")].toArray();
            if (!dest.isEmpty()) {
                link.target = pageOf[dest[0].toString()];
                link.top = dest[3].toDouble();
            } else {
                link.file = annotation[QStringLiteral("/A")]
                                .toObject()[QStringLiteral("/F")]
                                .toString()
                                .mid(2);  // "u:" marks a text string
            }
            out.links.push_back(link);
        }
    }
    return out;
}

// The line number a link's words show: "///-12-///", "=(0012)", "0012" all give 12.
int shownLine(const std::vector<Word>& words, const Link& link, double pageHeight)
{
    const double left = link.rect[0].toDouble();
    const double right = link.rect[2].toDouble();
    const double top = pageHeight - link.rect[3].toDouble();
    const double bottom = pageHeight - link.rect[1].toDouble();
    static const QRegularExpression digits(QStringLiteral("(\\d+)"));
    for (const Word& word : words) {
        const double x = (word.xMin + word.xMax) / 2;
        const double y = (word.yMin + word.yMax) / 2;
        if (word.page == link.page && x > left && x < right && y > top && y < bottom)
            return digits.match(word.text).captured(1).toInt();
    }
    return 0;
}

// The line numbers shown at height `top` (PDF coordinates) of a page.
std::vector<int> linesAt(const std::vector<Word>& words, int page, double top, double pageHeight)
{
    std::vector<int> lines;
    static const QRegularExpression number(QStringLiteral("^\\d{4,}$"));
    for (const Word& word : words)
        if (word.page == page && std::abs(word.yMin - (pageHeight - top)) < 2.5 &&
            number.match(word.text).hasMatch())
            lines.push_back(word.text.toInt());
    return lines;
}

struct ReportLinks : ::testing::Test {
    void SetUp() override
    {
        ensureGui();
        if (!haveTools())
            GTEST_SKIP() << "qpdf/pdftotext are not installed";
        ASSERT_TRUE(dir.isValid());
        document = std::make_shared<const TSourceDocument>(
            "Amostra.pas", std::make_shared<const TSourceAnalysis>(sampleUnit(40)),
            TListingSettings{});
        form = std::make_unique<TF_dif>();
        form->setDocument(document);
        form->memo().ClearLines();
        form->setHeaderPath(QStringLiteral("/fontes/Amostra.pas"));
        tabulex::test::item<TRpSysData>(form->report(), "RpSysData1")
            .SetData(TRpSysDataType::rpsReportTitle);
    }
    std::string write(const char* name)
    {
        const std::string file = dir.filePath(QString::fromLatin1(name)).toStdString();
        EXPECT_TRUE(write_report_pdf(*form, file));
        EXPECT_FALSE(
            runTool("qpdf", {QStringLiteral("--check"), QString::fromStdString(file)}).isEmpty())
            << "qpdf --check fails on " << name;
        return file;
    }
    std::string text(const std::string& file)
    {
        return runTool("pdftotext", {QString::fromStdString(file), QStringLiteral("-")})
            .toStdString();
    }

    QTemporaryDir dir;
    std::shared_ptr<const TSourceDocument> document;
    std::unique_ptr<TF_dif> form;
};

constexpr double kA4Height = 841.89;

TEST_F(ReportLinks, EveryLinkLeadsToThePageAndLineItNames)
{
    form->setTheme(TReportTheme::Cores);
    const std::string file = write("links.pdf");
    const PdfLinks pdf = readLinks(file);
    const std::vector<Word> words = pageWords(file);
    int references = 0;
    ASSERT_GT(pdf.links.size(), 100u);
    for (const Link& link : pdf.links) {
        ASSERT_GT(link.target, 0) << "a link without a page";
        const int line = shownLine(words, link, kA4Height);
        ASSERT_GT(line, 0) << "no line number under the link on page " << link.page;
        const std::vector<int> there = linesAt(words, link.target, link.top, kA4Height);
        EXPECT_NE(std::find(there.begin(), there.end(), line), there.end())
            << "the link to line " << line << " on page " << link.page << " leads to page "
            << link.target << " where line " << (there.empty() ? 0 : there.front()) << " stands";
        references += link.target < link.page;
    }
    EXPECT_GT(references, 0) << "no link leads back to an earlier page";
}

TEST_F(ReportLinks, OutlineHoldsTheSectionsAndTheRoutinesUnderTheirClass)
{
    const std::string file = write("outline.pdf");
    const PdfLinks pdf = readLinks(file);
    const std::vector<Word> words = pageWords(file);
    QStringList sections;
    for (const QJsonValue& entry : pdf.outline)
        sections << entry[QStringLiteral("title")].toString();
    EXPECT_EQ(sections, (QStringList{QStringLiteral("Listagem"), QStringLiteral("Variáveis"),
                                     QStringLiteral("Proc/Func"), QStringLiteral("Uses")}));
    const QJsonArray routines = pdf.outline[0][QStringLiteral("kids")].toArray();
    ASSERT_EQ(routines.size(), 2);
    EXPECT_EQ(routines[0][QStringLiteral("title")].toString(), QStringLiteral("TFoo"));
    EXPECT_EQ(routines[1][QStringLiteral("title")].toString(), QStringLiteral("function Solta"));
    const QJsonArray methods = routines[0][QStringLiteral("kids")].toArray();
    ASSERT_EQ(methods.size(), 40);
    EXPECT_EQ(methods[39][QStringLiteral("title")].toString(), QStringLiteral("procedure M39"));
    // Each routine's entry shows the line of its header.
    const TSourceAnalysis& analysis = document->analysis();
    for (int i = 0; i < 40; i += 13) {
        const QJsonArray dest = methods[i][QStringLiteral("dest")].toArray();
        const int page = methods[i][QStringLiteral("destpageposfrom1")].toInt();
        const std::vector<int> there = linesAt(words, page, dest[3].toDouble(), kA4Height);
        EXPECT_NE(std::find(there.begin(), there.end(), analysis.routines()[i].line), there.end())
            << "procedure M" << i;
    }
}

TEST_F(ReportLinks, ThemesChangeTheLookButNotTheText)
{
    const std::string plain = text(write("nenhum.pdf"));
    form->setTheme(TReportTheme::Cores);
    EXPECT_EQ(text(write("cores.pdf")), plain);
    // Bold words take more room: lines may break elsewhere, the characters stay in order.
    form->setTheme(TReportTheme::Cinza);
    const auto squeezed = [](std::string s) {
        std::erase_if(s, [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
        return s;
    };
    EXPECT_EQ(squeezed(text(write("cinza.pdf"))), squeezed(plain));
}

TEST_F(ReportLinks, SelectionPrintsItsLinesAsInTheWholeListing)
{
    // Lines 30-40: their own numbers and levels, an end reference to a line before them that
    // links nowhere, and no lists.
    form->setSelection(TF_dif::TSelection{29, 40, false});
    const std::string selected = text(write("part.pdf"));
    EXPECT_NE(selected.find("0030"), std::string::npos);
    EXPECT_NE(selected.find("0040"), std::string::npos);
    EXPECT_EQ(selected.find("0029"), std::string::npos);
    EXPECT_EQ(selected.find("0041"), std::string::npos);
    EXPECT_EQ(selected.find("cruzada"), std::string::npos);
    for (const Link& link : readLinks(dir.filePath("part.pdf").toStdString()).links)
        EXPECT_EQ(link.page, link.target);  // only links within the part
    // With the lists asked for, they follow.
    form->Report1AfterPreview(&form->report());
    form->setSelection(TF_dif::TSelection{29, 40, true});
    EXPECT_NE(text(write("part-lists.pdf")).find("cruzada"), std::string::npos);
}

TEST(ReportThemes, BoldWordsWrapWithinTheColumn)
{
    ensureGui();
    // One long line of reserved words and one-letter names: bold in "Tons de cinza", so it
    // must be measured bold to wrap before the column's edge.
    std::string unit = "unit U;\nimplementation\nconst X = A";
    for (int i = 0; i < 80; ++i)
        unit += " and B or C";
    unit += ";\nend.\n";
    TF_dif form;
    form.setDocument(std::make_shared<const TSourceDocument>(
        "U.pas", std::make_shared<const TSourceAnalysis>(unit), TListingSettings{}));
    form.memo().ClearLines();
    form.set_colunas(1);
    form.setTheme(TReportTheme::Cinza);
    const test::RecordedRun run = test::runRecorded(form.report());
    TRpTextMeasurer& measurer = run.output->Measurer();
    int left = INT_MAX;
    int right = 0;
    int bold = 0;
    for (const TRpRecordingSurface* page : run.pages) {
        for (const auto& call : test::textCalls(*page)) {
            if (call.font.pointSizeF() != form.memo().Font().pointSizeF())
                continue;
            left = std::min(left, call.x);
            right = std::max(right, call.x + measurer.Metrics(call.font).Extent(call.text));
            bold += call.font.bold();
        }
    }
    EXPECT_GT(bold, 100);
    EXPECT_LE(right - left, form.memo().PixelWidth());
}

}  // namespace
