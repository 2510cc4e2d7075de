// Arbitrary bytes loaded as saved report files and as recorded pages, and every page accepted
// drawn offscreen as the preview, the printer and a PDF draw it.
//
// Byte 0 chooses. Bit 0 clear: the rest is one page's data. Bit 0 set: the rest is a saved report
// file, taken into a page output as the preview's "Load Report" takes it. Bits 1-3 choose how a
// page is drawn: at the size of a small preview, or enlarged as far as the preview's largest zoom
// with only a corner of it on the image, on a device of the page's resolution or another one.
//
// Checks besides crashes, reads outside the input and the sanitizers' reports:
//  - the bytes of an accepted page are accepted again and give the same page;
//  - every page of an accepted file is read back and drawn; a page output that took the file
//    over finds each of them too.
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "FuzzSupport.h"
#include "report/output/TRpPageList.h"
#include "report/output/TRpPageRecord.h"
#include "report/output/TRpPrinter.h"

using namespace tabulex;
using tabulex::fuzz::check;

namespace {

void draw(const TRpPageRecord& page, std::uint8_t mode)
{
    QImage image(96, 128, QImage::Format_ARGB32_Premultiplied);
    if ((mode & 8) != 0) {
        image.setDotsPerMeterX(11811);  // 300 pixels per inch
        image.setDotsPerMeterY(11811);
    }
    image.fill(Qt::white);
    QPainter painter(&image);
    const double zoom = (mode & 2) != 0 ? 20.0 : 0.12;
    const double shift = (mode & 4) != 0 ? page.Width() * zoom / 2 : 0;
    rpDrawPage(painter, page, QRectF(-shift, -shift, page.Width() * zoom, page.Height() * zoom));
}

void drawPage(const QByteArray& bytes, std::uint8_t mode)
{
    const auto page = TRpPageRecord::FromBytes(bytes);
    if (!page)
        return;
    const auto again = TRpPageRecord::FromBytes(page->Bytes());
    check(again && again->Bytes() == bytes && again->CallCount() == page->CallCount(),
          "an accepted page reads back differently");
    draw(*page, mode);
}

void drawFile(const QByteArray& bytes, std::uint8_t mode)
{
    auto store = TRpPageList::FromBytes(bytes);
    if (!store)
        return;
    const int count = store->PageCount();
    for (int n = 1; n <= count; ++n) {
        const auto data = store->ReadPage(n);
        check(data.has_value(), "a page of an accepted file cannot be read");
        const auto page = TRpPageRecord::FromBytes(*data);
        check(page.has_value(), "a page of an accepted file is not a page");
        draw(*page, mode);
    }
    TRpPrinter output;
    check(output.LoadStore(std::move(store)), "an accepted file is not taken over");
    for (int n = 1; n <= count; ++n)
        check(output.PageRecord(n).has_value(), "the page output lost a page of the file");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    tabulex::fuzz::startQuietGui(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t mode = data[0];
    // Copied so that a read past the input's end is caught as one.
    const QByteArray input(reinterpret_cast<const char*>(data + 1),
                           static_cast<qsizetype>(size - 1));
    if ((mode & 1) == 0)
        drawPage(input, mode);
    else
        drawFile(input, mode);
    return 0;
}
