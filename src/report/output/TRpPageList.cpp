#include "report/output/TRpPageList.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QtEndian>
#include <array>
#include <cstdint>
#include <cstring>

#include "files/OutputFile.h"
#include "report/output/TRpPageRecord.h"
#include "report/output/TRpSplayCompression.h"

namespace tabulex {

namespace {

constexpr std::int16_t kMagic0 = 3;
constexpr std::int16_t kMagic1 = 305;
constexpr qint64 kPageCountAt = 8;
constexpr qint64 kDateTimeAt = 16;
constexpr qint64 kCompressionAt = 25;
// Page number, next-entry offset before the data; own start offset after it.
constexpr qint64 kEntryHead = 8;
constexpr qint64 kEntryTail = 4;
// Offsets are 32-bit in the file.
constexpr qint64 kMaxOffset = 0x7fffffff;

using Header = std::array<char, TRpPageList::kHeaderSize>;

std::optional<std::int32_t> readInt32(TRpStream& stream, qint64 at)
{
    char bytes[4];
    if (!stream.Seek(at) || !stream.ReadExact(bytes, 4))
        return std::nullopt;
    return qFromLittleEndian<std::int32_t>(bytes);
}

bool writeInt32(TRpStream& stream, std::int32_t value)
{
    char bytes[4];
    qToLittleEndian<std::int32_t>(value, bytes);
    return stream.Write(bytes, 4);
}

std::optional<TRpReportFileInfo> readHeader(TRpStream& stream)
{
    Header header{};
    if (!stream.Seek(0) || !stream.ReadExact(header.data(), TRpPageList::kHeaderSize))
        return std::nullopt;
    if (qFromLittleEndian<std::int16_t>(header.data()) != kMagic0 ||
        qFromLittleEndian<std::int16_t>(header.data() + 2) != kMagic1)
        return std::nullopt;
    TRpReportFileInfo info;
    info.pageCount = qFromLittleEndian<std::int32_t>(header.data() + kPageCountAt);
    std::uint64_t bits = qFromLittleEndian<std::uint64_t>(header.data() + kDateTimeAt);
    std::memcpy(&info.dateTime, &bits, sizeof bits);
    const auto flag = static_cast<std::uint8_t>(header[kCompressionAt]);
    if (info.pageCount < 0 || flag > 1)
        return std::nullopt;
    info.compressed = flag == 1;
    return info;
}

/// Page data as recorded: expanded when the store is compressed.
std::optional<QByteArray> decodePage(QByteArray raw, bool compressed)
{
    if (!compressed)
        return raw;
    return rpExpandPage(raw);
}

bool isRecording(QByteArray data)
{
    return TRpPageRecord::FromBytes(std::move(data)).has_value();
}

/// One entry at `start`: its number must be `n`, its next offset must lie after its own
/// frame and inside the stream, and its trailing start offset must point back at it.
std::optional<QByteArray> readEntryAt(TRpStream& stream, qint64 start, int n, qint64& next)
{
    const qint64 size = stream.Size();
    if (start < TRpPageList::kHeaderSize || start + kEntryHead + kEntryTail > size)
        return std::nullopt;
    const auto number = readInt32(stream, start);
    const auto nextOffset = readInt32(stream, start + 4);
    if (!number || !nextOffset || *number != n)
        return std::nullopt;
    next = *nextOffset;
    if (next < start + kEntryHead + kEntryTail || next > size)
        return std::nullopt;
    const auto back = readInt32(stream, next - kEntryTail);
    if (!back || *back != start)
        return std::nullopt;
    QByteArray data(static_cast<qsizetype>(next - kEntryTail - start - kEntryHead), '\0');
    if (!stream.Seek(start + kEntryHead) || !stream.ReadExact(data.data(), data.size()))
        return std::nullopt;
    return data;
}

}  // namespace

double rpNowAsDays()
{
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 days = QDate(1899, 12, 30).daysTo(now.date());
    return static_cast<double>(days) + now.time().msecsSinceStartOfDay() / 86400000.0;
}

std::optional<TRpReportFileInfo> rpValidateReportStream(TRpStream& stream)
{
    const auto info = readHeader(stream);
    if (!info)
        return std::nullopt;
    const qint64 size = stream.Size();
    // Every entry takes at least its frame: a larger count cannot match the entries.
    if (info->pageCount > (size - TRpPageList::kHeaderSize) / (kEntryHead + kEntryTail))
        return std::nullopt;
    qint64 start = TRpPageList::kHeaderSize;
    for (int n = 1; n <= info->pageCount; ++n) {
        qint64 next = 0;
        auto raw = readEntryAt(stream, start, n, next);
        if (!raw)
            return std::nullopt;
        auto page = decodePage(std::move(*raw), info->compressed);
        if (!page || !isRecording(std::move(*page)))
            return std::nullopt;
        start = next;
    }
    // The last page is found through the stream's last 4 bytes: nothing may follow it.
    if (start != size)
        return std::nullopt;
    return info;
}

std::optional<TRpReportFileInfo> rpValidateReportFile(const QByteArray& bytes)
{
    const auto stream = TRpStream::FromBytes(bytes);
    return rpValidateReportStream(*stream);
}

bool rpHoldsPicturePages(const QString& path)
{
    const auto stream = TRpStream::OpenFile(path);
    const auto info = stream ? readHeader(*stream) : std::nullopt;
    if (!info || info->pageCount < 1)
        return false;
    qint64 next = 0;
    auto raw = readEntryAt(*stream, TRpPageList::kHeaderSize, 1, next);
    const auto page = raw ? decodePage(std::move(*raw), info->compressed) : std::nullopt;
    return page && page->startsWith("QPIC");
}

TRpPageList::TRpPageList(bool compressed)
    : stream_(std::make_unique<TRpStream>()), compressed_(compressed), dateTime_(rpNowAsDays())
{}

TRpPageList::TRpPageList(std::unique_ptr<TRpStream> stream, const TRpReportFileInfo& info)
    : stream_(std::move(stream)),
      pageCount_(info.pageCount),
      compressed_(info.compressed),
      dateTime_(info.dateTime)
{}

TRpPageList::~TRpPageList() = default;

std::unique_ptr<TRpPageList> TRpPageList::OpenFile(const QString& path)
{
    auto stream = TRpStream::OpenFile(path);
    if (!stream || stream->Size() > kMaxOffset)
        return nullptr;
    const auto info = rpValidateReportStream(*stream);
    if (!info)
        return nullptr;
    return std::unique_ptr<TRpPageList>(new TRpPageList(std::move(stream), *info));
}

std::unique_ptr<TRpPageList> TRpPageList::FromBytes(QByteArray bytes)
{
    auto stream = TRpStream::FromBytes(std::move(bytes));
    const auto info = rpValidateReportStream(*stream);
    if (!info)
        return nullptr;
    return std::unique_ptr<TRpPageList>(new TRpPageList(std::move(stream), *info));
}

int TRpPageList::PageCount() const
{
    const std::lock_guard lock(mutex_);
    return pageCount_;
}

qint64 TRpPageList::Size() const
{
    const std::lock_guard lock(mutex_);
    return stream_->Size();
}

bool TRpPageList::InTemporaryFile() const
{
    const std::lock_guard lock(mutex_);
    return stream_->InTemporaryFile();
}

QString TRpPageList::FileName() const
{
    const std::lock_guard lock(mutex_);
    return stream_->FileName();
}

bool TRpPageList::writeHeader()
{
    Header header{};
    qToLittleEndian<std::int16_t>(kMagic0, header.data());
    qToLittleEndian<std::int16_t>(kMagic1, header.data() + 2);
    qToLittleEndian<std::int32_t>(pageCount_, header.data() + kPageCountAt);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &dateTime_, sizeof bits);
    qToLittleEndian<std::uint64_t>(bits, header.data() + kDateTimeAt);
    header[kCompressionAt] = compressed_ ? 1 : 0;
    const qint64 end = stream_->Size();
    const bool ok = stream_->Seek(0) && stream_->Write(header.data(), kHeaderSize);
    stream_->Seek(std::max(end, kHeaderSize));
    return ok;
}

bool TRpPageList::AppendPage(const QByteArray& page)
{
    const std::lock_guard lock(mutex_);
    if (stream_->ReadOnly())
        return false;
    if (pageCount_ == 0 && !writeHeader())
        return false;
    const QByteArray data = compressed_ ? rpCompressPage(page) : page;
    const qint64 start = stream_->Size();
    const qint64 next = start + kEntryHead + data.size() + kEntryTail;
    if (next > kMaxOffset)
        return false;
    const bool ok = stream_->Seek(start) && writeInt32(*stream_, pageCount_ + 1) &&
                    writeInt32(*stream_, static_cast<std::int32_t>(next)) &&
                    stream_->Write(data.constData(), data.size()) &&
                    writeInt32(*stream_, static_cast<std::int32_t>(start));
    if (!ok)
        return false;
    ++pageCount_;
    return true;
}

QString TRpPageList::ErrorString() const
{
    const std::lock_guard lock(mutex_);
    return stream_->ErrorString();
}

bool TRpPageList::Finish()
{
    const std::lock_guard lock(mutex_);
    if (stream_->ReadOnly())
        return true;
    return writeHeader();
}

std::optional<qint64> TRpPageList::findEntry(int n)
{
    if (n == 1)
        return kHeaderSize;
    const qint64 size = stream_->Size();
    if (n == pageCount_) {
        const auto last = readInt32(*stream_, size - kEntryTail);
        if (!last)
            return std::nullopt;
        return *last;
    }
    int page = 1;
    qint64 start = kHeaderSize;
    if (currentPage_ >= 1 && currentPage_ <= pageCount_) {
        page = currentPage_;
        start = currentStart_;
    }
    while (page < n) {  // forward through the next-entry offsets
        const auto next = readInt32(*stream_, start + 4);
        if (!next || *next <= start || *next >= size)
            return std::nullopt;
        start = *next;
        ++page;
    }
    while (page > n) {  // backward through the start offsets
        const auto previous = readInt32(*stream_, start - kEntryTail);
        if (!previous || *previous >= start || *previous < kHeaderSize)
            return std::nullopt;
        start = *previous;
        --page;
    }
    return start;
}

std::optional<QByteArray> TRpPageList::readEntry(qint64 start, int n)
{
    qint64 next = 0;
    auto raw = readEntryAt(*stream_, start, n, next);
    if (!raw)
        return std::nullopt;
    currentPage_ = n;
    currentStart_ = start;
    return decodePage(std::move(*raw), compressed_);
}

std::optional<QByteArray> TRpPageList::ReadPage(int n)
{
    const std::lock_guard lock(mutex_);
    if (n < 1 || n > pageCount_)
        return std::nullopt;
    const auto start = findEntry(n);
    if (!start)
        return std::nullopt;
    return readEntry(*start, n);
}

bool TRpPageList::WriteTo(TOutputFile& out)
{
    const std::lock_guard lock(mutex_);
    if (!stream_->Seek(0))
        return false;
    std::array<char, kCopyBlock> block{};
    for (;;) {
        const qint64 read = stream_->Read(block.data(), kCopyBlock);
        if (read <= 0)
            break;
        out.write(std::string_view(block.data(), static_cast<std::size_t>(read)));
    }
    return !out.failed();
}

bool TRpPageList::SaveTo(const QString& path)
{
    TOutputFile out;
    return out.open(QFile::encodeName(path).toStdString()) && WriteTo(out) && out.close();
}

QByteArray TRpPageList::Bytes()
{
    const std::lock_guard lock(mutex_);
    QByteArray bytes(static_cast<qsizetype>(stream_->Size()), '\0');
    if (!stream_->Seek(0) || !stream_->ReadExact(bytes.data(), bytes.size()))
        return {};
    return bytes;
}

}  // namespace tabulex
