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
#include "report/output/TRpDeflate.h"

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

/// Where a marked anchor stands: on a page (its object), at a height in hundredths of a point.
struct TRpPdfAnchor {
    std::size_t key = 0;
    std::int64_t y = 0;
};

/// A link area of a page, in hundredths of a point (PDF coordinates): to an anchor marked on
/// this page or an earlier one, or to a file.
struct TRpPdfLink {
    std::int64_t left = 0, bottom = 0, right = 0, top = 0;
    std::size_t anchor = 0;
    std::string file;  ///< when not empty: a link that opens this file (relative path)
};

/// What a page is made in: its content stream, the anchors marked on it and its links. The
/// document hands these out for each page and takes them back with AddPage, so the memory
/// of one page serves the next ones.
struct TRpPdfPageBuffers {
    std::string content;
    std::vector<TRpPdfAnchor> anchors;
    std::vector<TRpPdfLink> links;
};

/// One entry of the document's outline, in depth-first order: its title (UTF-8), its depth
/// (0 for the top) and the anchor it leads to. Entries without a marked anchor lead nowhere
/// (they still group their children); such an entry without children is left out.
struct TRpPdfOutlineItem {
    std::string title;
    int depth = 0;
    std::size_t anchor = 0;
    bool open = false;  ///< shown with its children at first
};

/// The document information besides the title.
struct TRpPdfInfo {
    std::string subject;   ///< UTF-8
    std::string producer;  ///< UTF-8
};

/// A PDF 1.5 file written while pages are made: each page's content stream goes to the file as
/// soon as the page is added, its page object (with its links) into a compressed object stream; a
/// worker thread compresses and writes them while the next pages are made, holding a bounded number
/// of pages. The fonts, the page tree, the Info dictionary, the catalogue, the xref table and the
/// trailer follow in Finish. Text in the standard fonts uses WinAnsiEncoding, so Windows-1252 bytes
/// are written as they are; other characters are glyphs of embedded TrueType subsets (two-byte
/// glyph ids, with a ToUnicode map so that the text can be copied out again).
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
    /// The resource given to the fonts measured by `metrics` (any key that stands for a font's
    /// advances) at `size`, or empty when none has been: pages work out the widths of a font
    /// once for the whole document.
    std::string_view MeasuredFontResource(const void* metrics, std::int64_t size) const;
    void SetMeasuredFontResource(const void* metrics, std::int64_t size, std::string_view resource);
    /// The finder of embedded faces for characters outside Windows-1252 (made on first use).
    TRpPdfFontEmbedder& Embedder();
    /// Resource name of face `face` of the Embedder drawn with the advances of `widthsKey`
    /// (one resource per face and key; set each glyph's advance with SetGlyphWidth).
    std::string_view EmbeddedFontResource(int face, const void* widthsKey);
    /// The advance of glyph `gid` in an embedded resource, in hundredths of a thousandth of
    /// the text size as in TRpPdfWidths. The first width given for a glyph stays.
    void SetGlyphWidth(std::string_view resource, std::uint16_t gid, std::int32_t width);
    /// Writes one page with `content` as its content stream, Flate-compressed. `anchors` are
    /// marked on it; `links` become its link annotations (a link to an anchor not marked
    /// by then leads nowhere and is left out).
    void AddPage(std::string_view content, const std::vector<TRpPdfAnchor>& anchors = {},
                 const std::vector<TRpPdfLink>& links = {});
    /// Empty buffers for the next page, with the room that earlier pages left in them.
    TRpPdfPageBuffers TakePageBuffers();
    /// Writes the page made in `page` as the other AddPage does, without copying its content;
    /// the buffers are kept for later pages.
    void AddPage(TRpPdfPageBuffers&& page);
    /// The outline written by Finish.
    void SetOutline(std::vector<TRpPdfOutlineItem> outline) { outline_ = std::move(outline); }
    void SetInfo(TRpPdfInfo info) { info_ = std::move(info); }
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
    int writeOutline(TRpDeflater& deflater);
    void compressPages();
    void stopWorker();

    TOutputFile* out_;
    std::atomic<bool> failed_ = false;
    // Pages waiting for the worker. The mutex guards the queue, the file, the offsets and the
    // object numbers: the worker writes while the run reserves the numbers of later objects.
    /// A link of a queued page, its target already found: a page object and a height, or a file.
    struct ResolvedLink {
        std::int64_t left, bottom, right, top;
        int pageObject;
        std::int64_t y;
        std::string file;
    };
    struct PendingPage {
        std::string content;
        int contentObject;
        int pageObject;
        std::vector<ResolvedLink> links;
    };
    void writePage(std::string_view packed, const PendingPage& page, TRpDeflater& deflater);
    /// Keeps the buffers of a written page for a later one; with the mutex held.
    void recycle(PendingPage& page);
    static void appendAnnotations(std::string& out, const std::vector<ResolvedLink>& links);
    /// Puts object `number` (its dictionary) into the object stream being filled; with the
    /// mutex held or the worker stopped.
    void putInStream(int number, std::string_view body, TRpDeflater& deflater);
    void flushObjectStream(TRpDeflater& deflater);
    int reserveObjectLocked();
    // The object stream being filled: "number offset" pairs and the objects' bodies.
    std::string streamIndex_;
    std::string streamBodies_;
    std::vector<int> streamObjects_;
    /// For each object in an object stream: that stream's number and its place in it.
    std::vector<std::pair<int, int>> compressedAt_;
    std::mutex mutex_;
    std::condition_variable wake_;  ///< a page is queued, or the worker is to stop
    std::condition_variable room_;  ///< the queue has room again
    std::deque<PendingPage> queue_;
    // Buffers of written pages, for the next ones (guarded by the mutex), and those of the
    // last page's anchors and links (used by the run alone).
    std::vector<std::string> spareContents_;
    std::vector<std::vector<ResolvedLink>> spareLinks_;
    std::vector<TRpPdfAnchor> spareAnchors_;
    std::vector<TRpPdfLink> sparePdfLinks_;
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
    /// Marked anchors by key: the page object they stand on (0: not marked) and their height.
    struct Anchor {
        std::int32_t pageObject = 0;
        std::int32_t y = 0;
    };
    /// Anchors by key in blocks made as keys reach them: a long listing marks millions, and
    /// a block once made is never copied again.
    class AnchorTable {
    public:
        void set(std::size_t key, Anchor anchor);
        /// The anchor of `key`, or null when it has not been marked.
        const Anchor* find(std::size_t key) const;

    private:
        static constexpr std::size_t kBlockSize = 4096;
        std::vector<std::unique_ptr<Anchor[]>> blocks_;
    };
    AnchorTable anchors_;
    std::vector<TRpPdfOutlineItem> outline_;
    TRpPdfInfo info_;
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
    struct MeasuredFont {
        const void* metrics;
        std::int64_t size;
        std::string_view resource;
    };
    std::vector<MeasuredFont> measuredFonts_;
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
