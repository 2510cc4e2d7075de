// Page store, saved report files and their compression: layout, lookup, temporary file,
// and a corpus of broken files that must be refused without reading outside them.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPicture>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstring>
#include <gtest/gtest.h>

#include "FakeDialogs.h"
#include "ReportTestSupport.h"
#include "report/form/r_dif.h"
#include "report/output/TRpPageList.h"
#include "report/output/TRpPageRecord.h"
#include "report/output/TRpReportPages.h"
#include "report/output/TRpSplayCompression.h"
#include "report/output/TRpStream.h"
#include "report/preview/TRpStandardPreview.h"

using namespace tabulex;
using tabulex::test::ensureGui;

namespace {

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random.bounded(256));
    return bytes;
}

/// A finished page output of the program's report with `lines` memo lines, in a store.
std::unique_ptr<TRpPrinter> storedPages(int lines, bool compressed = false)
{
    ensureGui();
    static TF_dif form;  // one definition for all: building it measures fonts
    form.memo().ClearLines();
    for (int i = 1; i <= lines; ++i)
        form.memo().AppendLine("linha " + std::to_string(i));
    form.report().Options = compressed ? (FirstPageHeader | LastPageFooter | Compression)
                                       : (FirstPageHeader | LastPageFooter);
    auto pages = GeneratePages(form.report(), {}, true);
    form.report().Options = FirstPageHeader | LastPageFooter;
    return pages;
}

std::int32_t int32At(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<std::int32_t>(bytes.constData() + at);
}

void setInt32(QByteArray& bytes, qsizetype at, std::int32_t value)
{
    qToLittleEndian<std::int32_t>(value, bytes.data() + at);
}

}  // namespace

TEST(RpSplayCompression, RoundTripsRandomRepetitiveAndEdgeData)
{
    const std::vector<QByteArray> samples = {
        QByteArray(),
        QByteArray(1, '\0'),
        QByteArray(1, '\xFF'),
        QByteArray(5000, 'a'),
        QByteArray(3000, '\xFF'),
        randomBytes(1, 1),
        randomBytes(257, 2),
        randomBytes(70000, 3),
        QByteArray("abracadabra abracadabra abracadabra"),
    };
    QByteArray everySymbol;
    for (int round = 0; round < 4; ++round)
        for (int c = 255; c >= 0; --c)
            everySymbol.append(static_cast<char>(c));
    for (const QByteArray& data : samples) {
        const auto back = rpSplayExpand(rpSplayCompress(data), data.size());
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, data);
    }
    const auto back = rpSplayExpand(rpSplayCompress(everySymbol), everySymbol.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, everySymbol);
    // A long run adapts down to about one bit per symbol.
    EXPECT_LT(rpSplayCompress(QByteArray(8000, 'x')).size(), 1100);
}

TEST(RpSplayCompression, FirstSymbolIsItsCompleteTreePathFromTheLeastSignificantBit)
{
    // Leaf 256 (symbol 0) is the right child of node 127, seven left steps below the root:
    // 0000000 then 1, the first bit in bit 0.
    EXPECT_EQ(rpSplayCompress(QByteArray(1, '\0')), QByteArray(1, '\x80'));
    // Leaf 511 (symbol 255) is the left child of node 255: nine left steps and a last
    // partial byte.
    EXPECT_EQ(rpSplayCompress(QByteArray(1, '\xFF')), QByteArray(2, '\0'));
    // Leaf 510 (symbol 254) is the rightmost: eight right steps.
    EXPECT_EQ(rpSplayCompress(QByteArray(1, '\xFE')), QByteArray(1, '\xFF'));
}

TEST(RpSplayCompression, RoundTripsRealPagesAndRefusesCorruptCode)
{
    const auto pages = storedPages(400);
    ASSERT_TRUE(pages);
    const auto page = pages->PageRecord(1);
    ASSERT_TRUE(page);
    const QByteArray data = page->Bytes();
    const QByteArray stored = rpCompressPage(data);
    EXPECT_EQ(int32At(stored, 0), data.size());
    EXPECT_LT(stored.size(), data.size());
    EXPECT_EQ(rpExpandPage(stored), data);

    EXPECT_FALSE(rpExpandPage(QByteArray("\x01\x00", 2)));       // no length
    EXPECT_FALSE(rpExpandPage(stored.left(stored.size() / 2)));  // bits run out
    QByteArray huge = stored;
    setInt32(huge, 0, 0x7fffffff);  // length beyond the bits
    EXPECT_FALSE(rpExpandPage(huge));
    // Eight lefts and a right lead into node 255's missing right child.
    EXPECT_FALSE(rpSplayExpand(QByteArray("\x00\x01", 2), 1));
}

TEST(RpStream, MovesToAnRpfTemporaryFilePastTheLimitAndDeletesIt)
{
    QString path;
    {
        TRpStream stream;
        const QByteArray block = randomBytes(TRpStream::kMemoryLimit, 7);
        ASSERT_TRUE(stream.Write(block.constData(), block.size()));
        EXPECT_FALSE(stream.InTemporaryFile());  // exactly at the limit stays in memory
        ASSERT_TRUE(stream.Write("x", 1));
        ASSERT_TRUE(stream.InTemporaryFile());
        path = stream.FileName();
        const QFileInfo info(path);
        EXPECT_TRUE(info.fileName().startsWith(QStringLiteral("RPF")));
        EXPECT_EQ(info.absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
        EXPECT_TRUE(info.exists());
        EXPECT_EQ(stream.Size(), TRpStream::kMemoryLimit + 1);
        // What was written before the move reads back from the file.
        QByteArray head(16, '\0');
        ASSERT_TRUE(stream.Seek(0));
        ASSERT_TRUE(stream.ReadExact(head.data(), head.size()));
        EXPECT_EQ(head, block.left(16));
        EXPECT_FALSE(stream.Seek(stream.Size() + 1));
        ASSERT_TRUE(stream.Seek(stream.Size() - 1));
        EXPECT_FALSE(stream.ReadExact(head.data(), 2));
    }
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(RpPageList, ALargeStoreLivesInATemporaryFileDeletedWithIt)
{
    QString path;
    {
        auto pages = storedPages(9000);
        ASSERT_TRUE(pages);
        ASSERT_NE(pages->Store(), nullptr);
        EXPECT_GT(pages->Store()->Size(), TRpStream::kMemoryLimit);
        ASSERT_TRUE(pages->Store()->InTemporaryFile());
        path = pages->Store()->FileName();
        EXPECT_TRUE(QFileInfo(path).fileName().startsWith(QStringLiteral("RPF")));
        EXPECT_TRUE(pages->PageRecord(pages->PageCount()));
    }
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(RpPageList, HeaderAndEntriesFollowTheSavedLayout)
{
    const auto pages = storedPages(500);
    ASSERT_TRUE(pages);
    const QByteArray bytes = pages->Store()->Bytes();
    const int count = pages->PageCount();
    ASSERT_GE(count, 3);
    ASSERT_GE(bytes.size(), 128);
    EXPECT_EQ(qFromLittleEndian<std::int16_t>(bytes.constData()), 3);
    EXPECT_EQ(qFromLittleEndian<std::int16_t>(bytes.constData() + 2), 305);
    EXPECT_EQ(int32At(bytes, 4), 0);
    EXPECT_EQ(int32At(bytes, 8), count);
    EXPECT_EQ(int32At(bytes, 12), 0);
    double days = 0;
    std::uint64_t bits = qFromLittleEndian<std::uint64_t>(bytes.constData() + 16);
    std::memcpy(&days, &bits, sizeof days);
    EXPECT_NEAR(days, rpNowAsDays(), 0.01);
    EXPECT_GT(days, 45000.0);  // after 2023
    EXPECT_EQ(bytes[24], 0);
    EXPECT_EQ(bytes[25], 0);
    for (int i = 26; i < 128; ++i)
        EXPECT_EQ(bytes[i], 0) << "reserved byte " << i;

    qsizetype start = 128;
    qsizetype lastStart = 0;
    for (int n = 1; n <= count; ++n) {
        lastStart = start;
        EXPECT_EQ(int32At(bytes, start), n);
        const qsizetype next = int32At(bytes, start + 4);
        EXPECT_EQ(int32At(bytes, next - 4), start);
        const auto page = pages->PageRecord(n);
        ASSERT_TRUE(page);
        EXPECT_EQ(page->Bytes(), bytes.mid(start + 8, next - 4 - start - 8));
        start = next;
    }
    EXPECT_EQ(start, bytes.size());
    EXPECT_EQ(int32At(bytes, bytes.size() - 4), lastStart);
}

TEST(RpPageList, FindsPagesWalkingForwardAndBackward)
{
    const auto pages = storedPages(800, true);
    ASSERT_TRUE(pages);
    const QByteArray bytes = pages->Store()->Bytes();
    EXPECT_EQ(bytes[25], 1);
    auto reopened = TRpPageList::FromBytes(bytes);
    ASSERT_TRUE(reopened);
    ASSERT_TRUE(reopened->Compressed());
    const int count = reopened->PageCount();
    ASSERT_GE(count, 4);
    std::vector<QByteArray> forward;
    for (int n = 1; n <= count; ++n)
        forward.push_back(reopened->ReadPage(n).value_or(QByteArray()));
    // Backward from the last page, then jumps both ways.
    for (int n = count; n >= 1; --n)
        EXPECT_EQ(reopened->ReadPage(n), forward[n - 1]) << n;
    for (int n : {3, 2, count - 1, 2, count, 1, 3})
        EXPECT_EQ(reopened->ReadPage(n), forward[n - 1]) << n;
    EXPECT_FALSE(reopened->ReadPage(0));
    EXPECT_FALSE(reopened->ReadPage(count + 1));
    for (const QByteArray& page : forward)
        EXPECT_FALSE(page.isEmpty());
}

TEST(RpReportFile, BrokenFilesAreRefused)
{
    const auto pages = storedPages(500);
    ASSERT_TRUE(pages);
    const QByteArray good = pages->Store()->Bytes();
    ASSERT_TRUE(rpValidateReportFile(good));
    const int count = int32At(good, 8);
    const qsizetype second = int32At(good, 128 + 4);
    const qsizetype lastStart = int32At(good, good.size() - 4);

    std::vector<std::pair<std::string, QByteArray>> corpus;
    for (qsizetype size : {0, 1, 2, 3, 4, 7, 8, 11, 12, 16, 23, 24, 25, 26, 127})
        corpus.emplace_back("header cut at " + std::to_string(size), good.left(size));
    corpus.emplace_back("header only", good.left(128));
    for (qsizetype cut :
         {qsizetype(132), qsizetype(136), second - 1, second, second + 4, good.size() - 1})
        corpus.emplace_back("entries cut at " + std::to_string(cut), good.left(cut));
    const auto patched = [&](const std::string& name, auto change) {
        QByteArray bytes = good;
        change(bytes);
        corpus.emplace_back(name, bytes);
    };
    patched("wrong first magic", [](QByteArray& b) { b[0] = 4; });
    patched("wrong second magic", [](QByteArray& b) { b[2] = 0; });
    patched("page count too large", [&](QByteArray& b) { setInt32(b, 8, count + 1); });
    patched("page count huge", [](QByteArray& b) { setInt32(b, 8, 0x7fffffff); });
    patched("page count too small", [&](QByteArray& b) { setInt32(b, 8, count - 1); });
    patched("page count negative", [](QByteArray& b) { setInt32(b, 8, -1); });
    patched("compression flag 2", [](QByteArray& b) { b[25] = 2; });
    patched("compressed flag on plain pages", [](QByteArray& b) { b[25] = 1; });
    patched("next offset backwards", [](QByteArray& b) { setInt32(b, 132, 100); });
    patched("next offset to itself", [](QByteArray& b) { setInt32(b, 132, 128); });
    patched("next offset negative", [](QByteArray& b) { setInt32(b, 132, -50); });
    patched("next offset past the end",
            [&](QByteArray& b) { setInt32(b, 132, static_cast<int>(b.size()) + 10); });
    patched("next offset at the end",
            [&](QByteArray& b) { setInt32(b, 132, static_cast<int>(b.size())); });
    patched("start offset wrong", [&](QByteArray& b) { setInt32(b, second - 4, 129); });
    patched("last start offset past the end",
            [&](QByteArray& b) { setInt32(b, b.size() - 4, 0x7ffffff0); });
    patched("last page number wrong", [&](QByteArray& b) { setInt32(b, lastStart, 1); });
    patched("page data altered: one call more than it holds",
            [](QByteArray& b) { setInt32(b, 128 + 8 + 12, int32At(b, 128 + 8 + 12) + 1); });
    patched("garbage after the last entry", [](QByteArray& b) { b.append("garbage!"); });
    corpus.emplace_back("garbage after a valid header", good.left(128) + randomBytes(4000, 11));
    QByteArray headerOnlyMore = good.left(128);
    setInt32(headerOnlyMore, 8, 1);
    corpus.emplace_back("one page announced, none there", headerOnlyMore);

    // A compressed file whose code is damaged.
    const auto packed = storedPages(500, true);
    QByteArray badCode = packed->Store()->Bytes();
    ASSERT_TRUE(rpValidateReportFile(badCode));
    for (qsizetype i = 128 + 8 + 4; i < 128 + 8 + 4 + 64; ++i)
        badCode[i] = '\xFF';
    corpus.emplace_back("compressed code damaged", badCode);
    QByteArray badLength = packed->Store()->Bytes();
    setInt32(badLength, 128 + 8, 0x40000000);
    corpus.emplace_back("compressed length too large", badLength);

    for (const auto& [name, bytes] : corpus)
        EXPECT_FALSE(rpValidateReportFile(bytes)) << name;
    // Every truncation of the first entries is refused too.
    for (qsizetype cut = 0; cut < good.size(); cut += 211)
        EXPECT_FALSE(rpValidateReportFile(good.left(cut))) << "cut at " << cut;
    // An empty report (no pages) is valid.
    QByteArray empty = good.left(128);
    setInt32(empty, 8, 0);
    EXPECT_TRUE(rpValidateReportFile(empty));
}

TEST(RpReportFile, LoadingABrokenFileShowsTheMessageAndChangesNothing)
{
    const auto pages = storedPages(500);
    ASSERT_TRUE(pages);
    const QByteArray good = pages->Store()->Bytes();
    QTemporaryDir dir;
    tabulex::testing::FakeDialogs dialogs;
    TScopedDialogs scoped(dialogs);
    const int count = pages->PageCount();
    const auto before = pages->PageRecord(2);
    ASSERT_TRUE(before);
    TRpStandardPreview window(pages.get());
    const std::vector<QByteArray> broken = {good.left(100), good.left(good.size() - 3),
                                            good.left(128) + QByteArray(64, 'z')};
    for (std::size_t i = 0; i < broken.size(); ++i) {
        const QString path = dir.filePath(QStringLiteral("broken%1.RPF").arg(i));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(broken[i]);
        file.close();
        EXPECT_FALSE(window.LoadFile(path));
        ASSERT_EQ(dialogs.messages.size(), static_cast<qsizetype>(i + 1));
        EXPECT_EQ(dialogs.messages.back(), QStringLiteral("Invalid report file: ") + path);
        EXPECT_EQ(pages->PageCount(), count);
        EXPECT_FALSE(pages->ReportLoaded);
        const auto after = pages->PageRecord(2);
        ASSERT_TRUE(after);
        EXPECT_EQ(after->Bytes(), before->Bytes());
    }
}

// Saved report files of earlier versions hold the toolkit's pictures, which are not drawn any
// more: loading one says so.
TEST(RpReportFile, PicturePagesOfEarlierVersionsAreRefusedWithTheirOwnMessage)
{
    ensureGui();
    QPicture picture;
    {
        QPainter painter(&picture);
        painter.drawText(10, 10, QStringLiteral("old"));
    }
    TRpPageList store;
    ASSERT_TRUE(store.AppendPage(QByteArray(picture.data(), picture.size())) && store.Finish());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.RPF"));
    ASSERT_TRUE(store.SaveTo(path));
    EXPECT_FALSE(TRpPageList::OpenFile(path));
    tabulex::testing::FakeDialogs dialogs;
    TScopedDialogs scoped(dialogs);
    TRpPrinter output;
    TRpStandardPreview window(&output);
    EXPECT_FALSE(window.LoadFile(path));
    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("Report file of an earlier version, which cannot be "
                                         "shown: ") +
                          path});
}

TEST(RpReportFile, RandomlyDamagedFilesAreEitherRefusedOrFullyReadable)
{
    for (const bool compressed : {false, true}) {
        const auto pages = storedPages(300, compressed);
        ASSERT_TRUE(pages);
        const QByteArray good = pages->Store()->Bytes();
        QRandomGenerator random(compressed ? 99 : 98);
        for (int round = 0; round < 150; ++round) {
            QByteArray bytes = good;
            const int changes = 1 + static_cast<int>(random.bounded(4));
            for (int c = 0; c < changes; ++c) {
                const auto at =
                    static_cast<qsizetype>(random.bounded(static_cast<quint32>(bytes.size())));
                bytes[at] = static_cast<char>(random.bounded(256));
            }
            if (random.bounded(3) == 0)
                bytes.truncate(random.bounded(static_cast<quint32>(bytes.size())));
            auto store = TRpPageList::FromBytes(bytes);
            if (!store)
                continue;
            // Every page of an accepted file is drawn, as the preview draws it.
            for (int n = store->PageCount(); n >= 1; --n) {
                const auto data = store->ReadPage(n);
                ASSERT_TRUE(data) << round;
                const auto page = TRpPageRecord::FromBytes(*data);
                ASSERT_TRUE(page) << round;
                QImage image(200, 283, QImage::Format_RGB32);
                QPainter painter(&image);
                rpDrawPage(painter, *page, QRectF(0, 0, 200, 283));
            }
        }
    }
}
