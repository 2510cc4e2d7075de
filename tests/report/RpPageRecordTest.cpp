// Recorded pages: what is recorded draws again, and page data from anywhere is read field by
// field before anything is drawn.
#include <QImage>
#include <QPainter>
#include <QtEndian>
#include <gtest/gtest.h>

#include "ReportTestSupport.h"
#include "report/output/TRpPageRecord.h"

using namespace tabulex;
using tabulex::test::ensureGui;

namespace {

// Page data written field by field, as a damaged or made-up file may hold it.
class TRawPage {
public:
    TRawPage(int width, int height, std::uint32_t calls, int dpi = 96)
    {
        bytes.append("TbxP", 4);
        put<std::uint16_t>(1);
        put<std::uint16_t>(static_cast<std::uint16_t>(dpi));
        put<std::uint16_t>(static_cast<std::uint16_t>(width));
        put<std::uint16_t>(static_cast<std::uint16_t>(height));
        put<std::uint32_t>(calls);
    }
    template <typename T>
    TRawPage& put(T value)
    {
        char raw[sizeof(T)];
        qToLittleEndian<T>(value, raw);
        bytes.append(raw, sizeof(T));
        return *this;
    }
    TRawPage& text(std::int32_t x64, std::int32_t y64, const QByteArray& utf8,
                   std::uint8_t flags = 0)
    {
        put<std::uint8_t>('T').put(x64).put(y64).put(flags);
        put<std::uint16_t>(static_cast<std::uint16_t>(utf8.size()));
        bytes.append(utf8);
        return *this;
    }
    TRawPage& rect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h)
    {
        put<std::uint8_t>('R').put(x).put(y).put(w).put(h).put<std::uint32_t>(0xFF0000FF);
        return *this;
    }
    TRawPage& font(std::uint32_t size64, std::uint16_t weight, std::uint8_t style,
                   const QByteArray& family)
    {
        put<std::uint8_t>('F').put<std::uint32_t>(0xFF000000).put(size64).put(weight);
        put(style).put<std::uint8_t>(0).put<std::uint16_t>(0);
        put<std::uint8_t>(static_cast<std::uint8_t>(family.size()));
        bytes.append(family);
        put<std::uint8_t>(0);
        return *this;
    }

    QByteArray bytes;
};

}  // namespace

TEST(RpPageRecord, RecordedCallsDrawAgainWithinThePage)
{
    ensureGui();
    TRpPageRecord page(200, 100, 96);
    page.SetFont(QFont(QStringLiteral("Arial"), 10), Qt::black);
    page.DrawText(10, 30, QStringLiteral("Olá ۱۲"), false);
    page.DrawText(190, 60, QStringLiteral("שלום"), true);
    page.FillRect(QRect(150, 80, 500, 500), Qt::red);            // cut at the page around this one
    page.DrawText(5000, 30, QStringLiteral("far away"), false);  // left out
    page.FillRect(QRect(-900, 0, 10, 10), Qt::red);              // left out
    EXPECT_EQ(page.CallCount(), 4);

    const auto read = TRpPageRecord::FromBytes(page.Bytes());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->Bytes(), page.Bytes());
    EXPECT_EQ(read->BoundingRect(), QRect(0, 0, 200, 100));
    QImage image(400, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        rpDrawPage(painter, *read, QRectF(0, 0, 400, 200));
    }
    EXPECT_EQ(image.pixel(350, 190), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(250, 100), qRgb(255, 255, 255));
    int ink = 0;
    for (int y = 30; y < 70; ++y)
        for (int x = 15; x < 120; ++x)
            ink += image.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
    EXPECT_GT(ink, 50) << "the text is drawn";
}

TEST(RpPageRecord, EveryFieldIsCheckedBeforeAPageIsDrawn)
{
    ensureGui();
    const QByteArray arial("Arial");
    EXPECT_TRUE(TRpPageRecord::FromBytes(
        TRawPage(100, 100, 3).font(640, 400, 0, arial).text(640, 640, "x").rect(0, 0, 5, 5).bytes));

    std::vector<std::pair<const char*, QByteArray>> wrong = {
        {"another magic", QByteArray("QPIC") + TRawPage(100, 100, 0).bytes.mid(4)},
        {"another format", TRawPage(100, 100, 0).bytes.replace(4, 1, "\x02")},
        {"resolution 0", TRawPage(100, 100, 0, 0).bytes},
        {"width 0", TRawPage(0, 100, 0).bytes},
        {"a call more than held", TRawPage(100, 100, 2).text(0, 0, "x").bytes},
        {"more calls than bytes could hold", TRawPage(100, 100, 0x7fffffff).bytes},
        {"bytes left over", TRawPage(100, 100, 1).text(0, 0, "x").bytes + "!"},
        {"unknown call", TRawPage(100, 100, 1).put<std::uint8_t>('S').put<std::int32_t>(0).bytes},
        {"text cut short", TRawPage(100, 100, 1).text(0, 0, "x").bytes.chopped(1)},
        {"text length past the end", TRawPage(100, 100, 1)
                                         .put<std::uint8_t>('T')
                                         .put(0)
                                         .put(0)
                                         .put<std::uint8_t>(0)
                                         .put<std::uint16_t>(60000)
                                         .bytes},
        {"text not UTF-8", TRawPage(100, 100, 1).text(0, 0, "\xC3(").bytes},
        {"text far left", TRawPage(100, 100, 1).text(-101 * 64, 0, "x").bytes},
        {"text far below", TRawPage(100, 100, 1).text(0, 2147483647, "x").bytes},
        {"rectangle of negative height", TRawPage(100, 100, 1).rect(0, 0, 5, -5).bytes},
        {"rectangle past the page around",
         TRawPage(100, 100, 1).rect(150, 150, 2147483600, 5).bytes},
        {"font of size 0", TRawPage(100, 100, 1).font(0, 400, 0, arial).bytes},
        {"font of 2000 points", TRawPage(100, 100, 1).font(2000 * 64, 400, 0, arial).bytes},
        {"font weight 5000", TRawPage(100, 100, 1).font(640, 5000, 0, arial).bytes},
        {"font style 3", TRawPage(100, 100, 1).font(640, 400, 3, arial).bytes},
        {"font without family", TRawPage(100, 100, 1).font(640, 400, 0, "").bytes},
        {"family with a control", TRawPage(100, 100, 1).font(640, 400, 0, "Ar\nial").bytes},
    };
    for (const auto& [name, bytes] : wrong)
        EXPECT_FALSE(TRpPageRecord::FromBytes(bytes)) << name;
}
