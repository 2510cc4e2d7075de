// The direct PDF output: its number and string syntax, the font mapping, and whole files
// read back with the poppler tools (skipped where they are not installed).
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

#include "ReportTestSupport.h"
#include "files/OutputFile.h"
#include "report/form/r_dif.h"
#include "report/output/TRpReportPages.h"
#include "report/pdf/TRpPdf.h"
#include "report/pdf/TRpPdfDocument.h"
#include "report/pdf/TRpPdfSurface.h"

using namespace tabulex;
using tabulex::test::ensureGui;

namespace {

std::string number(double value)
{
    std::string out;
    rpPdfAppendNumber(out, value);
    return out;
}

std::string literal(std::string_view text)
{
    std::string out;
    rpPdfAppendString(out, text);
    return out;
}

QFont font(const char* family, bool bold = false, bool italic = false)
{
    QFont f(QString::fromLatin1(family), 10);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

// Output of a poppler tool (with its messages when `withErrors`), or a null string when the
// tool is missing or fails.
QString runTool(const char* tool, const QStringList& args, bool withErrors = false)
{
    const QString exe = QStandardPaths::findExecutable(QString::fromLatin1(tool));
    if (exe.isEmpty())
        return {};
    QProcess process;
    if (withErrors)
        process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(exe, args);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool havePoppler()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
}

struct Word {
    double xMin, yMin, xMax, yMax;
    QString text;
};

// Words of every page from `pdftotext -bbox`, page by page in reading order.
std::vector<Word> words(const std::string& path)
{
    const QString html = runTool(
        "pdftotext", {QStringLiteral("-bbox"), QString::fromStdString(path), QStringLiteral("-")});
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    std::vector<Word> out;
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        out.push_back({m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                       m.captured(4).toDouble(), m.captured(5)});
    }
    return out;
}

// The program's report over `listing`, written by write_report_pdf.
struct FormPdf : ::testing::Test {
    void SetUp() override
    {
        ensureGui();
        if (!havePoppler())
            GTEST_SKIP() << "pdftotext/pdfinfo are not installed";
        form = std::make_unique<TF_dif>();
        form->setSections({tabulex::test::borrowed(listing), nullptr, nullptr, nullptr});
        form->memo().ClearLines();
        form->setHeaderPath(QStringLiteral("C:\\fontes\\teste.pas"));
        form->report().ReportTitle = "Vis\xE3o Pr\xE9via : C:\\fontes\\teste.pas";
        // The header's clock could tick between two runs that are compared.
        tabulex::test::item<TRpSysData>(form->report(), "RpSysData1")
            .SetData(TRpSysDataType::rpsReportTitle);
        ASSERT_TRUE(dir.isValid());
    }
    std::string path(const char* name) const
    {
        return dir.filePath(QString::fromLatin1(name)).toStdString();
    }
    std::string direct(const char* name = "direct.pdf")
    {
        const std::string file = path(name);
        write_report_pdf(*form, file);
        return file;
    }

    std::vector<std::string> listing;
    std::unique_ptr<TF_dif> form;
    QTemporaryDir dir;
};

}  // namespace

TEST(RpPdfSyntax, NumbersHaveAtMostTwoDecimals)
{
    EXPECT_EQ(number(0), "0");
    EXPECT_EQ(number(12), "12");
    EXPECT_EQ(number(12.5), "12.5");
    EXPECT_EQ(number(0.75), "0.75");
    EXPECT_EQ(number(-3.004), "-3");
    EXPECT_EQ(number(-0.05), "-0.05");
    EXPECT_EQ(number(841.8898), "841.89");
    EXPECT_EQ(number(1.999), "2");
}

TEST(RpPdfSyntax, StringsEscapeDelimitersBackslashAndControlBytes)
{
    EXPECT_EQ(literal("a(b)c"), "(a\\(b\\)c)");
    EXPECT_EQ(literal("C:\\x"), "(C:\\\\x)");
    EXPECT_EQ(literal(std::string_view("\t\x01\n", 3)), "(\\011\\001\\012)");
    // Windows-1252 bytes go through as they are: the fonts use WinAnsiEncoding.
    EXPECT_EQ(literal("\xE7\xE3\x80"), "(\xE7\xE3\x80)");
    EXPECT_EQ(literal(""), "()");
    // Long texts are scanned many bytes at a time: a byte to escape is found at any place,
    // and bytes close to those looked for (32, "'", "*", 0x7F, 0xFF) pass through.
    const std::string plain = "x \x7F\xFF'*[]&";
    for (const char special : {'(', ')', '\\', '\0', '\x1F'}) {
        for (std::size_t at = 0; at < 40; ++at) {
            std::string text(40, ' ');
            for (std::size_t i = 0; i < text.size(); ++i)
                text[i] = plain[i % plain.size()];
            text[at] = special;
            std::string expected = "(";
            for (const char c : text) {
                const auto byte = static_cast<unsigned char>(c);
                if (byte < 32) {
                    const char octal[] = {'\\', static_cast<char>('0' + (byte >> 6)),
                                          static_cast<char>('0' + ((byte >> 3) & 7)),
                                          static_cast<char>('0' + (byte & 7)), '\0'};
                    expected += octal;
                } else {
                    if (c == '(' || c == ')' || c == '\\')
                        expected += '\\';
                    expected += c;
                }
            }
            expected += ')';
            EXPECT_EQ(literal(text), expected) << "byte " << int(special) << " at " << at;
        }
    }
}

TEST(RpPdfFonts, MetricCompatibleFamiliesMapToStandardFaces)
{
    ensureGui();
    EXPECT_EQ(rpStandardPdfFont(font("Arial")), TRpPdfFont::Helvetica);
    EXPECT_EQ(rpStandardPdfFont(font("arial", true)), TRpPdfFont::HelveticaBold);
    EXPECT_EQ(rpStandardPdfFont(font("Liberation Sans", false, true)),
              TRpPdfFont::HelveticaOblique);
    EXPECT_EQ(rpStandardPdfFont(font("Arial", true, true)), TRpPdfFont::HelveticaBoldOblique);
    EXPECT_EQ(rpStandardPdfFont(font("Courier New")), TRpPdfFont::Courier);
    EXPECT_EQ(rpStandardPdfFont(font("Liberation Mono", true, true)),
              TRpPdfFont::CourierBoldOblique);
    EXPECT_EQ(rpStandardPdfFont(font("Times New Roman", false, true)), TRpPdfFont::TimesItalic);
    EXPECT_EQ(rpStandardPdfFont(font("Liberation Serif", true)), TRpPdfFont::TimesBold);
    EXPECT_EQ(rpPdfFontName(TRpPdfFont::TimesRoman), "Times-Roman");
    EXPECT_EQ(rpPdfFontName(TRpPdfFont::CourierBoldOblique), "Courier-BoldOblique");

    EXPECT_FALSE(rpStandardPdfFont(font("DejaVu Sans")));
    EXPECT_FALSE(rpStandardPdfFont(font("Comic Sans MS")));
    QFont underlined = font("Arial");
    underlined.setUnderline(true);
    EXPECT_FALSE(rpStandardPdfFont(underlined));
}

TEST(RpPdfDocumentTest, WritesAValidFileWithTitleAndCreator)
{
    ensureGui();
    if (!havePoppler())
        GTEST_SKIP() << "pdftotext/pdfinfo are not installed";
    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("doc.pdf")).toStdString();
    TOutputFile out;
    ASSERT_TRUE(out.open(file));
    TRpPdfDocument doc(out, 200, 100);
    ASSERT_TRUE(doc.Ok());
    for (const char* text : {"one", "two", "three"}) {
        std::string content = "BT /";
        content += doc.FontResource(TRpPdfFont::CourierBold);
        content += " 12 Tf 10 50 Td ";
        rpPdfAppendString(content, text);
        content += " Tj ET";
        doc.AddPage(content);
    }
    ASSERT_TRUE(doc.Finish("T\xEDtulo (1)"));
    ASSERT_TRUE(out.close());
    // A wrong xref offset or length makes the reader rebuild the table and say so.
    const QString info = runTool("pdfinfo", {QString::fromStdString(file)}, true);
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Title:\\s+Título \\(1\\)"))))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Creator:\\s+Vorn Tabulan"))));
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\b"))));
    EXPECT_TRUE(info.contains(QStringLiteral("200 x 100 pts")));
    EXPECT_FALSE(info.contains(QStringLiteral("Error"))) << info.toStdString();
    const QString text = runTool("pdftotext", {QString::fromStdString(file), QStringLiteral("-")});
    QStringList pages = text.split(QLatin1Char('\f'));
    for (QString& page : pages)
        page = page.trimmed();
    EXPECT_EQ(pages, (QStringList{QStringLiteral("one"), QStringLiteral("two"),
                                  QStringLiteral("three"), QString()}));
}

TEST(RpPdfDocumentTest, UnwritableFileIsReported)
{
    TOutputFile out;
    EXPECT_FALSE(out.open("/nonexistent-dir/x.pdf"));
    TRpPdfDocument doc(out, 100, 100);
    EXPECT_FALSE(doc.Ok());
    doc.AddPage("BT ET");
    EXPECT_FALSE(doc.Finish("x"));
}

TEST_F(FormPdf, DirectPdfHoldsTheLinesInOrderOnA4Pages)
{
    for (int i = 1; i <= 300; ++i)
        listing.push_back("0" + std::to_string(1000 + i) + " linha de teste");
    const std::string file = direct();
    const QString info = runTool("pdfinfo", {QString::fromStdString(file)}, true);
    EXPECT_FALSE(info.contains(QStringLiteral("Error"))) << info.toStdString();
    // 300 lines at 93 lines per column: four columns, two pages.
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\b"))))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("595.28 x 841.89 pts (A4)"))) << info.toStdString();
    EXPECT_TRUE(info.contains(
        QRegularExpression(QStringLiteral("Title:\\s+Visão Prévia : C:\\\\fontes\\\\teste.pas"))))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Creator:\\s+Vorn Tabulan"))));

    const QString text = runTool("pdftotext", {QString::fromStdString(file), QStringLiteral("-")});
    EXPECT_EQ(text.count(QStringLiteral("\f")), 2);
    EXPECT_TRUE(text.contains(QStringLiteral("Vorn Soft Serviços de Informática")));
    EXPECT_TRUE(text.contains(QStringLiteral("C:\\fontes\\teste.pas")));
    EXPECT_TRUE(text.contains(QStringLiteral("Página:")));
    qsizetype at = 0;
    for (int i = 1; i <= 300; ++i) {
        const QString line = QStringLiteral("0%1 linha de teste").arg(1000 + i);
        const qsizetype found = text.indexOf(line, at);
        ASSERT_GE(found, 0) << "line " << i << " missing or out of order";
        at = found + line.size();
    }
}

TEST_F(FormPdf, SpecialCharactersComeBackAsWritten)
{
    listing = {"writeln('(a) \\ b');", "a\xE7\xE3o := 'cora\xE7\xE3o';", "x := (1 + (2));",
               "\xC9 \x80 \xAB\xBB"};
    const QString text =
        runTool("pdftotext", {QString::fromStdString(direct()), QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("writeln('(a) \\ b');"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("ação := 'coração';")));
    EXPECT_TRUE(text.contains(QStringLiteral("x := (1 + (2));")));
    EXPECT_TRUE(text.contains(QStringLiteral("É € «»")));
}

TEST_F(FormPdf, TextSitsWhereTheRecordedPagesPutIt)
{
    for (int i = 1; i <= 120; ++i)
        listing.push_back((i % 7 == 0 ? "    " : "") + std::to_string(i) + " begin x := (y + " +
                          std::to_string(i * 37) + "); end;");
    // The header and footer stay in Arial (left, centred and right-aligned labels); the
    // memo takes each family in turn.
    for (const char* family : {"Arial", "Courier New", "Times New Roman"}) {
        SCOPED_TRACE(family);
        QFont memoFont(QString::fromLatin1(family));
        memoFont.setPointSize(7);
        form->memo().SetFont(memoFont);
        const std::string directFile = direct();
        const std::unique_ptr<TRpPrinter> pages = GeneratePages(form->report());
        ASSERT_TRUE(pages);
        const std::string pictureFile = path("picture.pdf");
        ASSERT_TRUE(rpWritePdf(*pages, form->report().Page(), pictureFile));

        const std::vector<Word> a = words(directFile);
        const std::vector<Word> b = words(pictureFile);
        ASSERT_EQ(a.size(), b.size());
        ASSERT_GT(a.size(), 600u);
        for (std::size_t i = 0; i < a.size(); ++i) {
            SCOPED_TRACE(a[i].text.toStdString());
            ASSERT_EQ(a[i].text, b[i].text);
            EXPECT_NEAR(a[i].xMin, b[i].xMin, 1.0);
            EXPECT_NEAR(a[i].xMax, b[i].xMax, 1.0);
            // The top of a box is the baseline less the ascent the reader knows for the
            // font, which differs between a standard font and an embedded one; the bottom
            // is the baseline plus a descent both fonts share.
            EXPECT_NEAR(a[i].yMax, b[i].yMax, 1.0);
        }
    }
}

TEST_F(FormPdf, UnmappedFontFallsBackToRecordedPages)
{
    listing = {"linha um", "linha dois"};
    QFont other(QStringLiteral("DejaVu Sans"));
    other.setPointSize(7);
    form->memo().SetFont(other);
    const std::string file = path("fallback.pdf");
    TRpPdfDirectOutput pdf(form->report(), file);
    const std::unique_ptr<TRpPrinter> pages = GeneratePages(form->report(), pdf.PageFactory());
    ASSERT_TRUE(pages);
    ASSERT_TRUE(pdf.Finish(*pages));
    EXPECT_TRUE(pdf.UsedFallback());
    EXPECT_NE(pdf.FallbackReason().find("DejaVu Sans"), std::string::npos) << pdf.FallbackReason();
    const QString text = runTool("pdftotext", {QString::fromStdString(file), QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("linha um")));
    EXPECT_TRUE(text.contains(QStringLiteral("linha dois")));
    EXPECT_EQ(text.count(QStringLiteral("\f")), 1);
    // The recorded pages embed the font they drew with; the direct file names none.
    const QString fonts = runTool("pdffonts", {QString::fromStdString(file)});
    if (!fonts.isNull()) {
        EXPECT_TRUE(fonts.contains(QStringLiteral("DejaVu"))) << fonts.toStdString();
    }
}

TEST_F(FormPdf, MappedFontsStayOnTheDirectPath)
{
    listing = {"linha um"};
    const std::string file = path("mapped.pdf");
    TRpPdfDirectOutput pdf(form->report(), file);
    const std::unique_ptr<TRpPrinter> pages = GeneratePages(form->report(), pdf.PageFactory());
    ASSERT_TRUE(pages);
    ASSERT_TRUE(pdf.Finish(*pages));
    EXPECT_FALSE(pdf.UsedFallback());
    const QString fonts = runTool("pdffonts", {QString::fromStdString(file)});
    if (fonts.isNull())
        return;
    EXPECT_TRUE(fonts.contains(QStringLiteral("Helvetica-Bold"))) << fonts.toStdString();
    EXPECT_TRUE(fonts.contains(QStringLiteral("Helvetica "))) << fonts.toStdString();
}

TEST_F(FormPdf, Utf8TextOutsideWindows1252IsEmbeddedAndComesBack)
{
    listing = {"{ fun\xC3\xA7\xC3\xA3o conclu\xC3\xAD"
               "do }",
               "s := '\xCE\xB1\xCE\xB2\xCE\xB3 \xCE\xB4\xCE\xAD\xCE\xBB\xCF\x84\xCE\xB1';",
               "r := '\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD0\xBC\xD0\xB8\xD1\x80';",
               "m := 'x\xF4\x8F\xBF\xBDy';"};  // a private character no font has
    form->setTextEncoding(SourceEncoding::Utf8, SourceEncoding::Utf8);
    const std::string directFile = direct();
    const std::unique_ptr<TRpPrinter> pages = GeneratePages(form->report());
    ASSERT_TRUE(pages);
    const std::string pictureFile = path("picture.pdf");
    ASSERT_TRUE(rpWritePdf(*pages, form->report().Page(), pictureFile));
    for (const std::string& file : {directFile, pictureFile}) {
        SCOPED_TRACE(file);
        const QString text =
            runTool("pdftotext", {QString::fromStdString(file), QStringLiteral("-")});
        EXPECT_TRUE(text.contains(QStringLiteral("{ função concluído }"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("s := 'αβγ δέλτα';"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("r := 'Привет мир';"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Serviços de Informática")));
    }
    // The missing character is drawn as a visible mark, not dropped.
    const QString direct =
        runTool("pdftotext", {QString::fromStdString(directFile), QStringLiteral("-")});
    EXPECT_TRUE(direct.contains(QStringLiteral("x\uFFFD"))) << direct.toStdString();
    const QString fonts = runTool("pdffonts", {QString::fromStdString(directFile)});
    EXPECT_TRUE(fonts.contains(QRegularExpression(
        QStringLiteral("\\+LiberationSans\\s+CID TrueType\\s+Identity-H\\s+yes yes yes"))))
        << fonts.toStdString();
    // Words sit where the recorded pages put them.
    const std::vector<Word> a = words(directFile);
    const std::vector<Word> b = words(pictureFile);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].text.contains(QChar(0xFFFD)))
            continue;  // the recorded page draws its own mark
        SCOPED_TRACE(a[i].text.toStdString());
        EXPECT_EQ(a[i].text, b[i].text);
        EXPECT_NEAR(a[i].xMin, b[i].xMin, 1.0);
        EXPECT_NEAR(a[i].xMax, b[i].xMax, 1.0);
    }
}

TEST_F(FormPdf, PageContentIsCompressed)
{
    for (int i = 1; i <= 300; ++i)
        listing.push_back("0" + std::to_string(1000 + i) + " linha de teste");
    const std::string file = direct();
    QFile pdf(QString::fromStdString(file));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.contains("/FlateDecode"));
    EXPECT_FALSE(bytes.contains("linha de teste"));
    EXPECT_LT(bytes.size(), 12000);
}
