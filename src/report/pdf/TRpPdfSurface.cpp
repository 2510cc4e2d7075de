#include "report/pdf/TRpPdfSurface.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "report/engine/TRpTextMeasurer.h"
#include "report/pdf/TRpPdfFontEmbedder.h"
#include "text/TextCodec.h"

namespace tabulex {

namespace {

struct FamilyFaces {
    const char* family;
    TRpPdfFont regular;
};

// Families drawn with a standard font; the bold, italic and bold italic faces follow the
// regular one in TRpPdfFont.
constexpr FamilyFaces kFamilies[] = {
    {"Arial", TRpPdfFont::Helvetica},
    {"Liberation Sans", TRpPdfFont::Helvetica},
    {"Helvetica", TRpPdfFont::Helvetica},
    {"Courier New", TRpPdfFont::Courier},
    {"Liberation Mono", TRpPdfFont::Courier},
    {"Courier", TRpPdfFont::Courier},
    {"Times New Roman", TRpPdfFont::TimesRoman},
    {"Liberation Serif", TRpPdfFont::TimesRoman},
    {"Times", TRpPdfFont::TimesRoman},
};

// Most blank lines a text move writes as repeated "T*" rather than a new leading.
constexpr std::int64_t kMaxLineSteps = 4;

// A colour component of 0-255 as a fraction of 255 with two decimals and no trailing zeros
// ("0", "0.5", "0.25", "1"). It is the nearest hundredth: no component falls half-way
// between two, so whole numbers round it as the decimal value would be rounded.
struct ComponentText {
    std::array<char, 4> text{};
    std::uint8_t size = 0;
};

constexpr std::array<ComponentText, 256> kComponentTexts = [] {
    std::array<ComponentText, 256> texts{};
    for (int component = 0; component < 256; ++component) {
        const int hundredths = (component * 200 + 255) / 510;
        ComponentText& entry = texts[static_cast<std::size_t>(component)];
        const auto put = [&entry](char c) { entry.text[entry.size++] = c; };
        put(static_cast<char>('0' + hundredths / 100));
        if (hundredths % 100 == 0)
            continue;
        put('.');
        put(static_cast<char>('0' + hundredths / 10 % 10));
        if (hundredths % 10 != 0)
            put(static_cast<char>('0' + hundredths % 10));
    }
    return texts;
}();

void appendComponent(std::string& out, int component)
{
    const ComponentText& entry = kComponentTexts[static_cast<std::size_t>(component)];
    out.append(entry.text.data(), entry.size);
}

void appendColor(std::string& out, QRgb rgb)
{
    // Components in 1/255 steps, written with two decimals: close enough for 8-bit colour.
    appendComponent(out, qRed(rgb));
    out.push_back(' ');
    appendComponent(out, qGreen(rgb));
    out.push_back(' ');
    appendComponent(out, qBlue(rgb));
}

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::optional<TRpPdfFont> rpStandardPdfFont(const QFont& font)
{
    if (font.underline() || font.strikeOut() || font.overline())
        return std::nullopt;
    const QString family = font.family().trimmed();
    for (const FamilyFaces& entry : kFamilies) {
        if (family.compare(QLatin1String(entry.family), Qt::CaseInsensitive) != 0)
            continue;
        const int face = (font.bold() ? 1 : 0) + (font.style() != QFont::StyleNormal ? 2 : 0);
        return static_cast<TRpPdfFont>(static_cast<int>(entry.regular) + face);
    }
    return std::nullopt;
}

TRpPdfSurface::TRpPdfSurface(TRpPdfDocument& document, TRpTextMeasurer& measurer)
    : document_(document),
      measurer_(measurer),
      pointsPerPixel_(72.0 / measurer.Resolution()),
      pageHeight_(std::llround(document.HeightPt() * 100.0))
{
    TRpPdfPageBuffers buffers = document.TakePageBuffers();
    content_ = std::move(buffers.content);
    anchors_ = std::move(buffers.anchors);
    links_ = std::move(buffers.links);
    content_.reserve(16 * 1024);
    SetFont(QFont(QStringLiteral("Arial"), 10));
}

bool TRpPdfSurface::usable(const QColor& color, const char* what)
{
    if (color.alpha() == 255 || color.alpha() == 0)
        return true;
    document_.MarkUnsupported(std::string("translucent ") + what + " colour");
    return false;
}

void TRpPdfSurface::SetFont(const QFont& font, const QColor& color)
{
    color_ = color;
    if (metrics_ != nullptr && font == font_)
        return;
    font_ = font;
    metrics_ = &measurer_.Metrics(font);
    pdfFont_ = rpStandardPdfFont(font);
    const double points =
        font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * pointsPerPixel_;
    fontSize_ = std::llround(points * 100.0);
    resource_ = {};
}

std::string_view TRpPdfSurface::fontResource()
{
    if (resource_.empty())
        resource_ = resourceFor(*metrics_, *pdfFont_);
    return resource_;
}

std::string_view TRpPdfSurface::resourceFor(const TRpFontMetrics& metrics, TRpPdfFont font)
{
    const std::string_view known = document_.MeasuredFontResource(&metrics, fontSize_);
    if (!known.empty())
        return known;
    // The measurer's advances, in thousandths of the font size.
    TRpPdfWidths widths{};
    const double scale = fontSize_ > 0 ? pointsPerPixel_ * 100000.0 / (fontSize_ / 100.0) : 0.0;
    for (int byte = 0; byte < 256; ++byte) {
        const double advance = metrics.Advance64(static_cast<char>(byte)) / 64.0;
        widths[static_cast<std::size_t>(byte)] =
            static_cast<std::int32_t>(std::lround(advance * scale));
    }
    const std::string_view resource = document_.FontResource(font, widths);
    document_.SetMeasuredFontResource(&metrics, fontSize_, resource);
    return resource;
}

std::string_view TRpPdfSurface::styleResource(const TRpTextStyle& style,
                                              const TRpFontMetrics& metrics)
{
    const std::string_view known = document_.MeasuredFontResource(&metrics, fontSize_);
    if (!known.empty())
        return known;
    const std::optional<TRpPdfFont> standard = rpStandardPdfFont(style.font);
    return standard ? resourceFor(metrics, *standard) : std::string_view();
}

int TRpPdfSurface::TextHeight()
{
    return metrics_->Height();
}

std::int64_t TRpPdfSurface::toX(double px) const
{
    return std::llround(px * pointsPerPixel_ * 100.0);
}

std::int64_t TRpPdfSurface::toY(double px) const
{
    return pageHeight_ - std::llround(px * pointsPerPixel_ * 100.0);
}

void TRpPdfSurface::beginText()
{
    if (inText_)
        return;
    content_ += "BT\n";
    inText_ = true;
    lineX_ = 0;
    lineY_ = 0;
}

void TRpPdfSurface::endText()
{
    if (!inText_)
        return;
    content_ += "ET\n";
    inText_ = false;
}

void TRpPdfSurface::setFill(const QColor& color)
{
    const QRgb rgb = color.rgb() | 0xFF000000u;
    if (rgb == streamFill_)
        return;
    appendColor(content_, rgb);
    content_ += " rg\n";
    streamFill_ = rgb;
}

void TRpPdfSurface::DrawText(int x, int y, TRpTextAnchor anchor, std::string_view text,
                             bool rightToLeft)
{
    if (ended_ || text.empty() || document_.Unsupported())
        return;
    if (!pdfFont_) {
        document_.MarkUnsupported("font \"" + font_.family().toStdString() +
                                  "\" has no standard PDF equivalent");
        return;
    }
    if (rightToLeft) {
        document_.MarkUnsupported("right-to-left text");
        return;
    }
    if (!usable(color_, "text") || color_.alpha() == 0)
        return;
    double left = x;
    if (anchor != TRpTextAnchor::Left) {
        const int width = metrics_->Extent(text);
        left = anchor == TRpTextAnchor::Right ? x - width : x - width / 2;
    }
    // As on the recorded pages: leading blanks only move the text, trailing ones are dropped.
    const std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos)
        return;
    const std::size_t end = text.find_last_not_of(' ') + 1;
    left += metrics_->Advance64(text.substr(0, begin)) / 64.0;

    beginText();
    const std::string_view shown = text.substr(begin, end - begin);
    const std::int64_t py = toY(y + metrics_->Ascent());
    if (metrics_->Encoding() == SourceEncoding::Utf8 && !isAscii(shown)) {
        drawRuns(left, py, shown);
        return;
    }
    useFont(fontResource());
    setFill(color_);
    const std::string_view show = moveTo(toX(left), py);
    rpPdfAppendString(content_, shown);
    content_ += show;
}

void TRpPdfSurface::useFont(std::string_view resource)
{
    if (streamFont_ == resource && streamFontSize_ == fontSize_)
        return;
    content_ += '/';
    content_ += resource;
    content_ += ' ';
    rpPdfAppendHundredths(content_, fontSize_);
    content_ += " Tf\n";
    streamFont_ = resource;
    streamFontSize_ = fontSize_;
}

void TRpPdfSurface::drawRuns(double left, std::int64_t py, std::string_view shown)
{
    // Characters of Windows-1252 go out in the standard font; the others are glyph ids of an
    // embedded face. Each run starts where the layout measured it, so a glyph drawn a little
    // wider or narrower than measured never moves the text after it.
    struct Run {
        std::string_view resource;
        std::string text;  // bytes of the standard font or glyph ids as 4 hex digits
        double left;
        bool closed = false;
    };
    std::vector<Run> runs;
    const std::string_view standard = fontResource();
    double x = left;
    for (std::size_t pos = 0; pos < shown.size();) {
        const char32_t codePoint = nextUtf8CodePoint(shown, pos);
        const double advance = metrics_->CodePointAdvance64(codePoint) / 64.0;
        std::string_view resource = standard;
        std::string piece;
        bool alone = false;
        if (const std::optional<unsigned char> byte = cp1252Byte(codePoint)) {
            piece.push_back(static_cast<char>(*byte));
        } else if (const auto glyph =
                       document_.Embedder().Find(font_.family(), font_.bold(),
                                                 font_.style() != QFont::StyleNormal, codePoint)) {
            resource = document_.EmbeddedFontResource(glyph->face, metrics_);
            document_.SetGlyphWidth(resource, glyph->gid, widthOf(glyph->codePoint));
            static constexpr char kHex[] = "0123456789ABCDEF";
            for (int shift = 12; shift >= 0; shift -= 4)
                piece.push_back(kHex[(glyph->gid >> shift) & 0xF]);
            alone = glyph->replacement;  // its advance differs from the missing character's
        } else {
            piece.push_back('?');
        }
        if (runs.empty() || runs.back().resource != resource || runs.back().closed)
            runs.push_back({resource, {}, x});
        runs.back().text += piece;
        runs.back().closed = alone;
        x += advance;
    }
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Run& run = runs[i];
        useFont(run.resource);
        if (i == 0)
            setFill(color_);
        const std::string_view show = moveTo(toX(run.left), py);
        if (run.resource == standard) {
            rpPdfAppendString(content_, run.text);
        } else {
            content_ += '<';
            content_ += run.text;
            content_ += '>';
        }
        content_ += show;
    }
}

std::int32_t TRpPdfSurface::widthOf(char32_t codePoint) const
{
    const double scale = fontSize_ > 0 ? pointsPerPixel_ * 100000.0 / (fontSize_ / 100.0) : 0.0;
    return static_cast<std::int32_t>(
        std::lround(metrics_->CodePointAdvance64(codePoint) / 64.0 * scale));
}

std::string_view TRpPdfSurface::moveTo(std::int64_t px, std::int64_t py)
{
    // Moves are relative to the previous line's start, in whole hundredths of a point so
    // they add up without drift; a line straight below the previous one at the current
    // leading is a bare "'".
    const std::int64_t dx = px - lineX_;
    const std::int64_t dy = py - lineY_;
    if (dx == 0 && dy < 0) {
        // Blank lines in between are extra "T*" at the same leading.
        const std::int64_t steps = leading_ > 0 && -dy % leading_ == 0 ? -dy / leading_ : 0;
        if (steps == 0 || steps > kMaxLineSteps) {
            leading_ = -dy;
            rpPdfAppendHundredths(content_, leading_);
            content_ += " TL\n";
        } else {
            for (std::int64_t i = 1; i < steps; ++i)
                content_ += "T*\n";
        }
        lineX_ = px;
        lineY_ = py;
        return "'\n";
    }
    rpPdfAppendHundredths(content_, dx);
    content_ += ' ';
    rpPdfAppendHundredths(content_, dy);
    content_ += " Td ";
    lineX_ = px;
    lineY_ = py;
    return " Tj\n";
}

void TRpPdfSurface::FillRect(const QRect& rect, const QColor& color)
{
    if (ended_ || rect.isEmpty() || document_.Unsupported())
        return;
    if (!usable(color, "fill") || color.alpha() == 0)
        return;
    endText();
    setFill(color);
    const std::int64_t left = toX(rect.x());
    const std::int64_t top = toY(rect.y());
    const std::int64_t right = toX(rect.x() + rect.width());
    const std::int64_t bottom = toY(rect.y() + rect.height());
    rpPdfAppendHundredths(content_, left);
    content_ += ' ';
    rpPdfAppendHundredths(content_, bottom);
    content_ += ' ';
    rpPdfAppendHundredths(content_, right - left);
    content_ += ' ';
    rpPdfAppendHundredths(content_, top - bottom);
    content_ += " re f\n";
}

void TRpPdfSurface::DrawStretches(int y, std::string_view text,
                                  std::span<const TRpTextStretch> stretches,
                                  std::span<const TRpTextStyle> styles)
{
    if (ended_ || stretches.empty() || document_.Unsupported())
        return;
    const TRpFontMetrics& lineMetrics =
        styles[0].metrics != nullptr ? *styles[0].metrics : measurer_.Metrics(styles[0].font);
    // One baseline for the whole line, whatever the faces of its stretches.
    const std::int64_t py = toY(y + lineMetrics.Ascent());
    const bool utf8 = lineMetrics.Encoding() == SourceEncoding::Utf8;
    // After a stretch in the standard fonts the text position stands where the next one begins
    // (the fonts advance by the measured widths), so it follows with a bare "Tj".
    bool chained = false;
    for (std::size_t i = 0; i < stretches.size(); ++i) {
        const TRpTextStretch& stretch = stretches[i];
        const TRpTextStyle& style = styles[stretch.style];
        std::string_view piece = text.substr(stretch.start, stretch.length);
        const TRpFontMetrics& metrics =
            style.metrics != nullptr ? *style.metrics : measurer_.Metrics(style.font);
        const std::string_view resource = styleResource(style, metrics);
        if (resource.empty()) {
            document_.MarkUnsupported("font \"" + style.font.family().toStdString() +
                                      "\" has no standard PDF equivalent");
            return;
        }
        if (!usable(style.color, "text"))
            return;
        double left = stretch.left;
        const bool last = i + 1 == stretches.size();
        const std::size_t begin = piece.find_first_not_of(' ');
        if (begin == std::string_view::npos && (!chained || last))
            continue;  // blanks only move the text, or end the line
        if (style.color.alpha() == 0) {
            chained = false;
            continue;
        }
        if (!chained) {
            left += metrics.Advance64(piece.substr(0, begin)) / 64.0;
            piece.remove_prefix(begin);
        }
        beginText();
        if (utf8 && !isAscii(piece)) {
            // Characters beyond the code page are placed one run at a time, at their measured
            // place, in the stretch's face.
            const QFont font = font_;
            const QColor color = color_;
            SetFont(style.font, style.color);
            drawRuns(left, py, piece);
            SetFont(font, color);
            chained = false;
            continue;
        }
        useFont(resource);
        setFill(style.color);
        const std::string_view show = chained ? std::string_view(" Tj\n") : moveTo(toX(left), py);
        rpPdfAppendString(content_, piece);
        content_ += show;
        chained = true;
    }
}

void TRpPdfSurface::MarkAnchor(std::size_t key, int /*x*/, int y)
{
    anchors_.push_back({key, toY(y)});
}

TRpPdfLink TRpPdfSurface::linkArea(const QRect& area) const
{
    TRpPdfLink link;
    link.left = toX(area.left());
    link.right = toX(area.right() + 1);
    link.top = toY(area.top());
    link.bottom = toY(area.bottom() + 1);
    return link;
}

void TRpPdfSurface::LinkToAnchor(const QRect& area, std::size_t key)
{
    TRpPdfLink link = linkArea(area);
    link.anchor = key;
    links_.push_back(std::move(link));
}

void TRpPdfSurface::LinkToFile(const QRect& area, const std::string& path)
{
    TRpPdfLink link = linkArea(area);
    link.file = path;
    links_.push_back(std::move(link));
}

void TRpPdfSurface::EndPage()
{
    if (ended_)
        return;
    ended_ = true;
    endText();
    document_.AddPage({std::move(content_), std::move(anchors_), std::move(links_)});
    content_ = {};
    anchors_ = {};
    links_ = {};
}

}  // namespace tabulex
