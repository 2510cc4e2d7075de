#pragma once
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "analysis/SourceEncoding.h"

namespace tabulex {

/// The standard Type 1 fonts a page can use: every PDF reader has them, so nothing is embedded.
enum class TRpPdfFont : std::uint8_t {
    Helvetica,
    HelveticaBold,
    HelveticaOblique,
    HelveticaBoldOblique,
    Courier,
    CourierBold,
    CourierOblique,
    CourierBoldOblique,
    TimesRoman,
    TimesBold,
    TimesItalic,
    TimesBoldItalic,
};
inline constexpr int kRpPdfFontCount = 12;

/// PostScript name of a standard font ("Helvetica-Bold", ...).
std::string_view rpPdfFontName(TRpPdfFont font);

/// Advances of the bytes 0-255 in hundredths of a thousandth of the text size: 55600 is
/// 0.556 of the font size.
using TRpPdfWidths = std::array<std::int32_t, 256>;

class TOutputFile;
class TRpPdfFontEmbedder;

/// A PDF 1.4 file written while pages are made: each page's content stream and page object go
/// to the file as soon as the page is added; a worker thread compresses and writes them while
/// the next pages are made, holding a bounded number of pages. The fonts, the page tree, the Info
/// dictionary, the catalogue, the xref table and the trailer follow in Finish. Text in the standard
/// fonts uses WinAnsiEncoding, so Windows-1252 bytes are written as they are; other characters are
/// glyphs of embedded TrueType subsets (two-byte glyph ids, with a ToUnicode map so that the text
/// can be copied out again).
class TRpPdfDocument {
public:
    /// Writes into `out`, which must stay open while the document is written (its owner
    /// closes it after Finish); every page is `widthPt` x `heightPt` points.
    TRpPdfDocument(TOutputFile& out, double widthPt, double heightPt);
    ~TRpPdfDocument();
    TRpPdfDocument(const TRpPdfDocument&) = delete;
    TRpPdfDocument& operator=(const TRpPdfDocument&) = delete;

    /// False once the file could not be written, or after Finish or Abandon.
    bool Ok() const { return out_ != nullptr && !failed_.load(); }
    /// Records that a page needed something this writer cannot draw; pages added from then
    /// on are dropped. The first reason is kept.
    void MarkUnsupported(std::string reason);
    bool Unsupported() const { return unsupported_; }
    const std::string& UnsupportedReason() const { return unsupportedReason_; }
    double WidthPt() const { return widthPt_; }
    double HeightPt() const { return heightPt_; }
    int PageCount() const { return static_cast<int>(pageObjects_.size()); }

    /// Resource name of `font` in content streams ("F1", ...), drawn with its own advances;
    /// the font is added to the file on the first request.
    std::string_view FontResource(TRpPdfFont font);
    /// Resource name of `font` drawn with the advances `widths` (its /Widths array), so text
    /// takes exactly the room it was measured to take. Equal requests share one resource.
    std::string_view FontResource(TRpPdfFont font, const TRpPdfWidths& widths);
    /// The finder of embedded faces for characters outside Windows-1252 (made on first use).
    TRpPdfFontEmbedder& Embedder();
    /// Resource name of face `face` of the Embedder drawn with the advances of `widthsKey`
    /// (one resource per face and key; set each glyph's advance with SetGlyphWidth).
    std::string_view EmbeddedFontResource(int face, const void* widthsKey);
    /// The advance of glyph `gid` in an embedded resource, in hundredths of a thousandth of
    /// the text size as in TRpPdfWidths. The first width given for a glyph stays.
    void SetGlyphWidth(std::string_view resource, std::uint16_t gid, std::int32_t width);
    /// Writes one page with `content` as its content stream, Flate-compressed.
    void AddPage(std::string_view content);
    /// Writes the closing objects with `title` (in `encoding`) as the document's title; the
    /// owner of the output then closes it. Returns false when anything could not be written.
    /// Characters that no installed font has are counted in one warning on standard error.
    bool Finish(std::string_view title, SourceEncoding encoding = SourceEncoding::Windows1252);
    /// Stops writing without finishing (the caller drops the output or writes it another way).
    void Abandon();

private:
    int reserveObject();
    void beginObject(int number);
    void write(std::string_view bytes);
    void writePage(const std::string& packed, int contentObject, int pageObject);
    void compressPages();
    void stopWorker();

    TOutputFile* out_;
    std::atomic<bool> failed_ = false;
    // Pages waiting for the worker. The mutex guards the queue, the file, the offsets and the
    // object numbers: the worker writes while the run reserves the numbers of later objects.
    struct PendingPage {
        std::string content;
        int contentObject;
        int pageObject;
    };
    std::mutex mutex_;
    std::condition_variable wake_;  ///< a page is queued, or the worker is to stop
    std::condition_variable room_;  ///< the queue has room again
    std::deque<PendingPage> queue_;
    std::size_t queuedBytes_ = 0;
    bool stopping_ = false;
    std::thread worker_;
    bool unsupported_ = false;
    std::string unsupportedReason_;
    std::uint64_t offset_ = 0;
    double widthPt_;
    double heightPt_;
    std::string mediaBox_;
    std::vector<std::uint64_t> offsets_;  ///< file offset of object n at n - 1
    std::vector<int> pageObjects_;
    int pagesObject_ = 0;
    int resourcesObject_ = 0;
    struct FontEntry {
        TRpPdfFont font;
        bool ownWidths;
        TRpPdfWidths widths;
        int object;
        std::string name;
    };
    std::string_view addFont(TRpPdfFont font, const TRpPdfWidths* widths);
    struct EmbeddedEntry {
        int face;
        const void* key;
        int object;
        std::string name;
        std::map<std::uint16_t, std::int32_t> widths;
    };
    void writeEmbeddedFonts(std::string& fontDict);
    int writeStream(std::string_view data, std::string_view extraKeys);

    std::deque<FontEntry> fonts_;  // stable addresses: names are handed out as views
    std::deque<EmbeddedEntry> embedded_;
    std::unique_ptr<TRpPdfFontEmbedder> embedder_;
};

/// Appends `hundredths` / 100 with at most two decimals and no trailing zeros.
void rpPdfAppendHundredths(std::string& out, std::int64_t hundredths);
/// Appends `value` with at most two decimals and no trailing zeros ("12.5", "-3", "0.75").
void rpPdfAppendNumber(std::string& out, double value);
/// Appends `text` as a PDF string literal: "(", ")" and "\" escaped, bytes below 32 in octal.
void rpPdfAppendString(std::string& out, std::string_view text);

}  // namespace tabulex
