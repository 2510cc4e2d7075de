// Arbitrary bytes through the saved-report loader and the page compression.
//
// Byte 0 chooses how the file is made. Bit 0 clear: the rest of the input is the file. Bit 0
// set: a real store is written (bit 1: compressed) with 1 to 4 pages recorded from the input,
// and the rest of the input damages it as (offset low, offset high, xor) triples, so that the
// fuzzer works on files that get past the header.
//
// Checks besides crashes and reads outside the input:
//  - the validator and the store agree on whether a file is a saved report file, its page
//    count and its compression;
//  - every page of an accepted file is readable, and none outside 1..PageCount is;
//  - an undamaged written store is accepted with the pages as written;
//  - compressing any bytes and expanding them gives them back (plain code and stored page);
//    expanding arbitrary bytes never crashes.
#include <QByteArray>
#include <QGuiApplication>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "report/output/TRpPageList.h"
#include "report/output/TRpPageRecord.h"
#include "report/output/TRpSplayCompression.h"

using namespace tabulex;
using tabulex::fuzz::check;

namespace {

QByteArray recordPage(std::string_view shape)
{
    TRpPageRecord page(300, 300, 96);
    page.SetFont(QFont(QStringLiteral("Arial"), 10), Qt::black);
    int x = 10;
    for (const char c : shape) {
        const int y = static_cast<unsigned char>(c);
        page.FillRect(QRect(x, y, 5, 255 - y), Qt::black);
        page.DrawText(x, y, QString(QChar(0x20 + (y & 0x3F))), (y & 0x40) != 0);
        x += 3;
    }
    page.FillRect(QRect(0, 0, 20, 20), Qt::red);
    return page.Bytes();
}

// A store written from the input, then damaged by it; `pages` gets what was written.
QByteArray writtenFile(std::uint8_t mode, std::string_view rest, std::vector<QByteArray>& pages)
{
    const int count = 1 + (mode >> 2) % 4;
    const std::size_t shapeSize = rest.size() < 24 ? rest.size() : 24;
    TRpPageList store((mode & 2) != 0);
    for (int n = 0; n < count; ++n) {
        pages.push_back(recordPage(rest.substr(0, shapeSize / (n + 1))));
        check(store.AppendPage(pages.back()), "a page could not be stored");
    }
    check(store.Finish(), "a store could not be finished");
    QByteArray bytes = store.Bytes();
    rest.remove_prefix(shapeSize);
    for (std::size_t i = 0; i + 3 <= rest.size(); i += 3) {
        const auto at =
            static_cast<unsigned char>(rest[i]) | (static_cast<unsigned char>(rest[i + 1]) << 8);
        if (at < bytes.size())
            bytes[at] = static_cast<char>(bytes[at] ^ rest[i + 2]);
        else
            bytes.truncate(at % (bytes.size() + 1));
    }
    return bytes;
}

void checkLoader(const QByteArray& bytes)
{
    const auto info = rpValidateReportFile(bytes);
    auto store = TRpPageList::FromBytes(bytes);
    check(info.has_value() == (store != nullptr), "the validator and the store disagree");
    if (!store)
        return;
    check(store->PageCount() == info->pageCount, "the page count differs from the validator's");
    check(store->Compressed() == info->compressed, "the compression differs from the validator's");
    // Backwards first, then forwards: the entry walk starts from the last page found.
    for (int n = store->PageCount(); n >= 1; --n)
        check(store->ReadPage(n).has_value(), "a page of an accepted file cannot be read");
    for (int n = 1; n <= store->PageCount(); ++n)
        check(store->ReadPage(n).has_value(), "a page of an accepted file cannot be read again");
    check(!store->ReadPage(0) && !store->ReadPage(store->PageCount() + 1),
          "a page outside the file can be read");
}

void checkCompression(const QByteArray& data)
{
    const QByteArray packed = rpSplayCompress(data);
    const auto expanded = rpSplayExpand(packed, data.size());
    check(expanded && *expanded == data, "the splay code does not give the data back");
    const auto page = rpExpandPage(rpCompressPage(data));
    check(page && *page == data, "a stored compressed page does not give the data back");
    (void)rpExpandPage(data);
    (void)rpSplayExpand(data, data.size() * 8);
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
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    // Copied so that a read past the input's end is caught as one.
    const QByteArray input(rest.data(), static_cast<qsizetype>(rest.size()));

    if ((mode & 1) == 0) {
        checkLoader(input);
    } else {
        std::vector<QByteArray> pages;
        const QByteArray bytes = writtenFile(mode, rest, pages);
        checkLoader(bytes);
        if (rest.size() <= 24) {  // nothing damaged
            auto store = TRpPageList::FromBytes(bytes);
            check(store != nullptr, "a written store is not accepted");
            check(store->PageCount() == static_cast<int>(pages.size()), "pages lost in a store");
            for (int n = 1; n <= store->PageCount(); ++n)
                check(store->ReadPage(n) == pages[n - 1], "a stored page reads back changed");
        }
    }
    checkCompression(input);
    return 0;
}
