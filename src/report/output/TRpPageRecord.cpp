#include "report/output/TRpPageRecord.h"

#include <QPaintDevice>
#include <QPainter>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "analysis/SourceEncoding.h"

namespace tabulex {

namespace {

constexpr char kMagic[4] = {'T', 'b', 'x', 'P'};
constexpr std::uint16_t kFormat = 1;
constexpr int kCallCountAt = 12;
constexpr std::uint8_t kFontCall = 'F';
constexpr std::uint8_t kTextCall = 'T';
constexpr std::uint8_t kRectCall = 'R';
constexpr int kMinCallSize = 1 + 4 + 4 + 1 + 2;  // a text call without text
constexpr int kMinDpi = 24;
constexpr int kMaxDpi = 2400;
constexpr int kMaxWeight = 1000;
constexpr int kMaxStretch = 4000;
constexpr std::uint8_t kFontFlags = 7;  // underline, strike-out, overline
constexpr std::uint8_t kTextFlags = 1;  // right to left
constexpr int kMaxNameBytes = 255;

template <typename T>
void put(QByteArray& bytes, T value)
{
    char raw[sizeof(T)];
    qToLittleEndian<T>(value, raw);
    bytes.append(raw, sizeof(T));
}

void putName(QByteArray& bytes, QByteArray name)
{
    // Cut at a character's start, so that the name stays UTF-8.
    if (name.size() > kMaxNameBytes) {
        qsizetype end = kMaxNameBytes;
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
            --end;
        name.truncate(end);
    }
    put<std::uint8_t>(bytes, static_cast<std::uint8_t>(name.size()));
    bytes.append(name);
}

bool hasControl(std::string_view text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

/// Reads the fields of a page in order; every read fails once the bytes run out.
class TReader {
public:
    explicit TReader(const QByteArray& bytes) : at_(bytes.constData()), left_(bytes.size()) {}

    qsizetype Left() const { return left_; }

    template <typename T>
    bool Get(T& value)
    {
        if (left_ < static_cast<qsizetype>(sizeof(T)))
            return false;
        value = qFromLittleEndian<T>(at_);
        at_ += sizeof(T);
        left_ -= sizeof(T);
        return true;
    }

    bool Get(std::string_view& text, qsizetype size)
    {
        if (size < 0 || left_ < size)
            return false;
        text = std::string_view(at_, static_cast<std::size_t>(size));
        at_ += size;
        left_ -= size;
        return true;
    }

    /// A name: one length byte, then that many bytes of UTF-8 without control characters.
    bool GetName(std::string_view& name)
    {
        std::uint8_t size = 0;
        return Get(size) && Get(name, size) && is_valid_utf8(name) && !hasControl(name);
    }

private:
    const char* at_;
    qsizetype left_;
};

struct TFontCall {
    QRgb color = 0xFF000000;
    std::uint32_t size64 = 0;
    std::uint16_t weight = 0;
    std::uint8_t style = 0;
    std::uint8_t flags = 0;
    std::uint16_t stretch = 0;
    std::string_view family;
    std::string_view styleName;

    bool Read(TReader& in)
    {
        return in.Get(color) && in.Get(size64) && in.Get(weight) && in.Get(style) &&
               in.Get(flags) && in.Get(stretch) && in.GetName(family) && !family.empty() &&
               in.GetName(styleName) && size64 >= 1 && size64 <= TRpPageRecord::kMaxPoints * 64 &&
               weight >= 1 && weight <= kMaxWeight && style <= QFont::StyleOblique &&
               (flags & ~kFontFlags) == 0 && stretch <= kMaxStretch;
    }

    QFont Font() const
    {
        QFont font(QString::fromUtf8(family.data(), static_cast<qsizetype>(family.size())));
        if (!styleName.empty())
            font.setStyleName(
                QString::fromUtf8(styleName.data(), static_cast<qsizetype>(styleName.size())));
        font.setPointSizeF(size64 / 64.0);
        font.setWeight(static_cast<QFont::Weight>(weight));
        font.setStyle(static_cast<QFont::Style>(style));
        font.setStretch(stretch);
        font.setUnderline((flags & 1) != 0);
        font.setStrikeOut((flags & 2) != 0);
        font.setOverline((flags & 4) != 0);
        font.setKerning(false);  // as the engine measures it
        return font;
    }
};

/// What a page's calls are read into: checked values only.
struct TPageReader {
    int width = 0;
    int height = 0;
    int dpi = 0;
    std::uint32_t calls = 0;

    bool ReadHead(TReader& in)
    {
        std::string_view magic;
        std::uint16_t format = 0;
        std::uint16_t resolution = 0;
        std::uint16_t w = 0;
        std::uint16_t h = 0;
        if (!in.Get(magic, 4) || magic != std::string_view(kMagic, 4) || !in.Get(format) ||
            format != kFormat || !in.Get(resolution) || !in.Get(w) || !in.Get(h) || !in.Get(calls))
            return false;
        dpi = resolution;
        width = w;
        height = h;
        return dpi >= kMinDpi && dpi <= kMaxDpi && width >= 1 && width <= TRpPageRecord::kMaxSide &&
               height >= 1 && height <= TRpPageRecord::kMaxSide &&
               calls <= static_cast<std::uint64_t>(in.Left()) / kMinCallSize;
    }

    // Positions lie on the page or within one page's width or height around it.
    bool OnPage(std::int64_t x, std::int64_t y) const
    {
        return x >= -width && x <= 2 * std::int64_t(width) && y >= -height &&
               y <= 2 * std::int64_t(height);
    }
};

}  // namespace

TRpPageRecord::TRpPageRecord() : TRpPageRecord(1, 1, 96)
{}

TRpPageRecord::TRpPageRecord(int width, int height, int dpi)
    : width_(std::clamp(width, 1, kMaxSide)),
      height_(std::clamp(height, 1, kMaxSide)),
      dpi_(std::clamp(dpi, kMinDpi, kMaxDpi))
{
    bytes_.reserve(4096);
    bytes_.append(kMagic, 4);
    put<std::uint16_t>(bytes_, kFormat);
    put<std::uint16_t>(bytes_, static_cast<std::uint16_t>(dpi_));
    put<std::uint16_t>(bytes_, static_cast<std::uint16_t>(width_));
    put<std::uint16_t>(bytes_, static_cast<std::uint16_t>(height_));
    put<std::uint32_t>(bytes_, 0);
}

void TRpPageRecord::beginCall(std::uint8_t kind)
{
    ++calls_;
    qToLittleEndian<std::uint32_t>(static_cast<std::uint32_t>(calls_),
                                   bytes_.data() + kCallCountAt);
    put<std::uint8_t>(bytes_, kind);
}

void TRpPageRecord::SetFont(const QFont& font, const QColor& color)
{
    double points = font.pointSizeF();
    if (points <= 0)
        points = font.pixelSize() * 72.0 / dpi_;
    QByteArray family = font.family().toUtf8();
    family.removeIf([](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    if (family.isEmpty())
        family = "Arial";
    QByteArray styleName = font.styleName().toUtf8();
    styleName.removeIf([](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    beginCall(kFontCall);
    put<std::uint32_t>(bytes_, color.rgba());
    put<std::uint32_t>(bytes_, static_cast<std::uint32_t>(std::clamp(std::lround(points * 64), 1L,
                                                                     long(kMaxPoints) * 64)));
    put<std::uint16_t>(bytes_, static_cast<std::uint16_t>(
                                   std::clamp(static_cast<int>(font.weight()), 1, kMaxWeight)));
    put<std::uint8_t>(bytes_, static_cast<std::uint8_t>(font.style()));
    put<std::uint8_t>(bytes_, static_cast<std::uint8_t>((font.underline() ? 1 : 0) |
                                                        (font.strikeOut() ? 2 : 0) |
                                                        (font.overline() ? 4 : 0)));
    put<std::uint16_t>(bytes_,
                       static_cast<std::uint16_t>(std::clamp(font.stretch(), 0, kMaxStretch)));
    putName(bytes_, family);
    putName(bytes_, styleName);
}

void TRpPageRecord::DrawText(double x, double baseline, const QString& text, bool rightToLeft)
{
    if (text.isEmpty() || !std::isfinite(x) || !std::isfinite(baseline) || x < -width_ ||
        x > 2.0 * width_ || baseline < -height_ || baseline > 2.0 * height_)
        return;
    QByteArray utf8 = text.toUtf8();
    if (utf8.size() > kMaxTextBytes) {
        qsizetype end = kMaxTextBytes;
        while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
            --end;
        utf8.truncate(end);
    }
    beginCall(kTextCall);
    put<std::int32_t>(bytes_, static_cast<std::int32_t>(std::lround(x * 64)));
    put<std::int32_t>(bytes_, static_cast<std::int32_t>(std::lround(baseline * 64)));
    put<std::uint8_t>(bytes_, rightToLeft ? 1 : 0);
    put<std::uint16_t>(bytes_, static_cast<std::uint16_t>(utf8.size()));
    bytes_.append(utf8);
}

void TRpPageRecord::FillRect(const QRect& rect, const QColor& color)
{
    const QRect shown = rect.intersected(QRect(-width_, -height_, 3 * width_, 3 * height_));
    if (shown.isEmpty())
        return;
    beginCall(kRectCall);
    put<std::int32_t>(bytes_, shown.x());
    put<std::int32_t>(bytes_, shown.y());
    put<std::int32_t>(bytes_, shown.width());
    put<std::int32_t>(bytes_, shown.height());
    put<std::uint32_t>(bytes_, color.rgba());
}

namespace {

// Reads every call of `bytes`, handing each to `font`, `text` and `rect`; false at the first
// field that is wrong. Drawing and checking read the bytes the same way.
template <typename OnFont, typename OnText, typename OnRect>
bool readPage(const QByteArray& bytes, TPageReader& page, OnFont font, OnText text, OnRect rect)
{
    TReader in(bytes);
    if (!page.ReadHead(in))
        return false;
    for (std::uint32_t n = 0; n < page.calls; ++n) {
        std::uint8_t kind = 0;
        if (!in.Get(kind))
            return false;
        if (kind == kFontCall) {
            TFontCall call;
            if (!call.Read(in))
                return false;
            font(call);
        } else if (kind == kTextCall) {
            std::int32_t x = 0;
            std::int32_t y = 0;
            std::uint8_t flags = 0;
            std::uint16_t size = 0;
            std::string_view utf8;
            if (!in.Get(x) || !in.Get(y) || !in.Get(flags) || !in.Get(size) ||
                !in.Get(utf8, size) || (flags & ~kTextFlags) != 0 || utf8.empty() ||
                !is_valid_utf8(utf8) || !page.OnPage(x / 64, y / 64))
                return false;
            text(x / 64.0, y / 64.0, utf8, (flags & 1) != 0);
        } else if (kind == kRectCall) {
            std::int32_t x = 0;
            std::int32_t y = 0;
            std::int32_t w = 0;
            std::int32_t h = 0;
            QRgb color = 0;
            if (!in.Get(x) || !in.Get(y) || !in.Get(w) || !in.Get(h) || !in.Get(color) || w <= 0 ||
                h <= 0 || !page.OnPage(x, y) ||
                !page.OnPage(std::int64_t(x) + w, std::int64_t(y) + h))
                return false;
            rect(QRect(x, y, w, h), QColor::fromRgba(color));
        } else {
            return false;
        }
    }
    return in.Left() == 0;
}

}  // namespace

std::optional<TRpPageRecord> TRpPageRecord::FromBytes(QByteArray bytes)
{
    TPageReader page;
    const auto ignore = [](auto&&...) {};
    if (!readPage(bytes, page, ignore, ignore, ignore))
        return std::nullopt;
    TRpPageRecord record;
    record.width_ = page.width;
    record.height_ = page.height;
    record.dpi_ = page.dpi;
    record.calls_ = static_cast<int>(page.calls);
    record.bytes_ = std::move(bytes);
    return record;
}

void TRpPageRecord::Play(QPainter& painter) const
{
    painter.save();
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.setFont(QFont(QStringLiteral("Arial"), 10));
    // Text keeps the pixel size it had on the page: a device of another resolution would
    // size the font's points anew, which this scale takes back.
    const QPaintDevice* device = painter.device();
    const double scale = device != nullptr && device->logicalDpiY() > 0
                             ? static_cast<double>(dpi_) / device->logicalDpiY()
                             : 1.0;
    TPageReader page;
    readPage(
        bytes_, page,
        [&](const TFontCall& call) {
            QFont font = call.Font();
            if (scale != 1.0)
                font.setPointSizeF(font.pointSizeF() * scale);
            painter.setFont(font);
            painter.setPen(QColor::fromRgba(call.color));
        },
        [&](double x, double y, std::string_view utf8, bool rightToLeft) {
            const QString text =
                QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
            if (rightToLeft)
                painter.setLayoutDirection(Qt::RightToLeft);
            painter.drawText(QPointF(x, y), text);
            if (rightToLeft)
                painter.setLayoutDirection(Qt::LeftToRight);
        },
        [&](const QRect& rect, const QColor& color) { painter.fillRect(rect, color); });
    painter.restore();
}

void rpDrawPage(QPainter& painter, const TRpPageRecord& page, const QRectF& target)
{
    const QRect box = page.BoundingRect();
    if (target.isEmpty())
        return;
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / box.width(), target.height() / box.height());
    page.Play(painter);
    painter.restore();
}

}  // namespace tabulex
