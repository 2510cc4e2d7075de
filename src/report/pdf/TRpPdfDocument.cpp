#include "report/pdf/TRpPdfDocument.h"

#include <QDateTime>
#include <QString>
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "files/OutputFile.h"
#include "report/output/TRpDeflate.h"
#include "report/pdf/TRpPdfFontEmbedder.h"
#include "text/TextCodec.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tabulex {

namespace {

// Page content waiting to be compressed, at most (a few dozen pages of a dense listing).
constexpr std::size_t kMaxQueuedBytes = 16 << 20;

constexpr std::string_view kFontNames[kRpPdfFontCount] = {
    "Helvetica",   "Helvetica-Bold", "Helvetica-Oblique", "Helvetica-BoldOblique",
    "Courier",     "Courier-Bold",   "Courier-Oblique",   "Courier-BoldOblique",
    "Times-Roman", "Times-Bold",     "Times-Italic",      "Times-BoldItalic",
};

void appendInt(std::string& out, std::uint64_t value)
{
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0)
        out.push_back(digits[--n]);
}

// The title as a UTF-16BE hex string with its byte order mark, so every Windows-1252
// character survives whatever the reader takes as the default text encoding.
constexpr char kHex[] = "0123456789ABCDEF";

void appendHex4(std::string& out, unsigned value)
{
    for (int shift = 12; shift >= 0; shift -= 4)
        out.push_back(kHex[(value >> shift) & 0xF]);
}

std::string utf16HexString(std::string_view title, SourceEncoding encoding)
{
    const QString text = decodeText(title, encoding);
    std::string out = "<FEFF";
    for (const QChar c : text)
        appendHex4(out, c.unicode());
    out.push_back('>');
    return out;
}

// The ToUnicode map of an embedded face: each glyph id to the UTF-16 of its character.
std::string toUnicodeMap(const std::map<std::uint16_t, char32_t>& glyphs)
{
    std::string map = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    auto it = glyphs.begin();
    while (it != glyphs.end()) {
        // At most 100 entries per block.
        const std::size_t count =
            std::min<std::size_t>(100, static_cast<std::size_t>(std::distance(it, glyphs.end())));
        map += std::to_string(count) + " beginbfchar\n";
        for (std::size_t i = 0; i < count; ++i, ++it) {
            map += '<';
            appendHex4(map, it->first);
            map += "> <";
            const QString unit = QString::fromUcs4(&it->second, 1);
            for (const QChar c : unit)
                appendHex4(map, c.unicode());
            map += ">\n";
        }
        map += "endbfchar\n";
    }
    map += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return map;
}

// The six-letter tag that names a font subset, different for each face of a file.
std::string subsetTag(int face)
{
    std::string tag = "TBXAAA";
    for (int i = 5; i >= 3 && face > 0; --i, face /= 26)
        tag[static_cast<std::size_t>(i)] = static_cast<char>('A' + face % 26);
    return tag;
}

}  // namespace

std::string_view rpPdfFontName(TRpPdfFont font)
{
    return kFontNames[static_cast<int>(font)];
}

void rpPdfAppendNumber(std::string& out, double value)
{
    rpPdfAppendHundredths(out, std::llround(value * 100.0));
}

void rpPdfAppendHundredths(std::string& out, std::int64_t hundredths)
{
    if (hundredths < 0) {
        out.push_back('-');
        hundredths = -hundredths;
    }
    const auto whole = static_cast<std::uint64_t>(hundredths / 100);
    const int fraction = static_cast<int>(hundredths % 100);
    appendInt(out, whole);
    if (fraction == 0)
        return;
    out.push_back('.');
    out.push_back(static_cast<char>('0' + fraction / 10));
    if (fraction % 10 != 0)
        out.push_back(static_cast<char>('0' + fraction % 10));
}

namespace {

// The bytes a PDF string literal escapes: those below 32, "(", ")" and "\\".
constexpr auto kEscaped = [] {
    std::array<bool, 256> escaped{};
    for (int byte = 0; byte < 32; ++byte)
        escaped[static_cast<std::size_t>(byte)] = true;
    escaped['('] = escaped[')'] = escaped['\\'] = true;
    return escaped;
}();

// Whether any of the eight bytes at `bytes` is below 32 or one of "(", ")" and "\\".
bool needsEscape8(const char* bytes)
{
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    const auto zeroByte = [](std::uint64_t v) { return (v - kOnes) & ~v & kHighs; };
    // Bytes below 32: subtracting 32 borrows into the high bit of bytes that were below it
    // (bytes of 0x80 and above are set apart by their own high bit).
    const std::uint64_t below = (word - 0x20 * kOnes) & ~word & kHighs;
    return (below | zeroByte(word ^ ('(' * kOnes)) | zeroByte(word ^ (')' * kOnes)) |
            zeroByte(word ^ ('\\' * kOnes))) != 0;
}

// The place of the first byte from `from` on that needs escaping; the text's size if none.
std::size_t nextEscaped(std::string_view text, std::size_t from)
{
    const char* const bytes = text.data();
    const std::size_t size = text.size();
    std::size_t at = from;
#if defined(__SSE2__)
    // Sixteen bytes at a time; a byte below 32 is the one that equals its minimum with 31.
    const __m128i control = _mm_set1_epi8(31);
    const __m128i open = _mm_set1_epi8('(');
    const __m128i close = _mm_set1_epi8(')');
    const __m128i backslash = _mm_set1_epi8('\\');
    for (; at + 16 <= size; at += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
        const __m128i controls = _mm_cmpeq_epi8(_mm_min_epu8(chunk, control), chunk);
        const __m128i parentheses =
            _mm_or_si128(_mm_cmpeq_epi8(chunk, open), _mm_cmpeq_epi8(chunk, close));
        const __m128i special =
            _mm_or_si128(_mm_or_si128(controls, parentheses), _mm_cmpeq_epi8(chunk, backslash));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(special));
        if (mask != 0)
            return at + static_cast<std::size_t>(std::countr_zero(mask));
    }
#endif
    // Eight bytes at a time while none of them needs escaping, then byte by byte.
    while (at + 8 <= size && !needsEscape8(bytes + at))
        at += 8;
    for (; at < size; ++at)
        if (kEscaped[static_cast<unsigned char>(bytes[at])])
            return at;
    return size;
}

}  // namespace

void rpPdfAppendString(std::string& out, std::string_view text)
{
    // Most bytes go out as they are: copy the stretches between the few that need escaping.
    out.reserve(out.size() + text.size() + 2);
    out.push_back('(');
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = nextEscaped(text, from);
        out.append(text.data() + from, at - from);
        if (at == text.size())
            break;
        const auto byte = static_cast<unsigned char>(text[at]);
        out.push_back('\\');
        if (byte >= 32) {
            out.push_back(text[at]);
        } else {
            out.push_back(static_cast<char>('0' + (byte >> 6)));
            out.push_back(static_cast<char>('0' + ((byte >> 3) & 7)));
            out.push_back(static_cast<char>('0' + (byte & 7)));
        }
        from = at + 1;
    }
    out.push_back(')');
}

TRpPdfDocument::TRpPdfDocument(TOutputFile& out, double widthPt, double heightPt)
    : out_(&out), widthPt_(widthPt), heightPt_(heightPt)
{
    mediaBox_ = "[0 0 ";
    rpPdfAppendNumber(mediaBox_, widthPt);
    mediaBox_.push_back(' ');
    rpPdfAppendNumber(mediaBox_, heightPt);
    mediaBox_.push_back(']');
    // The binary comment tells transfer programs the file is not plain text.
    write("%PDF-1.5\n%\xE2\xE3\xCF\xD3\n");
    pagesObject_ = reserveObject();
    resourcesObject_ = reserveObject();
}

TRpPdfDocument::~TRpPdfDocument()
{
    Abandon();
}

void TRpPdfDocument::Abandon()
{
    stopWorker();
    out_ = nullptr;
}

int TRpPdfDocument::reserveObject()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return reserveObjectLocked();
}

int TRpPdfDocument::reserveObjectLocked()
{
    offsets_.push_back(0);
    return static_cast<int>(offsets_.size());
}

void TRpPdfDocument::putInStream(int number, std::string_view body, TRpDeflater& deflater)
{
    appendInt(streamIndex_, static_cast<std::uint64_t>(number));
    streamIndex_ += ' ';
    appendInt(streamIndex_, streamBodies_.size());
    streamIndex_ += ' ';
    streamBodies_ += body;
    streamBodies_ += '\n';
    streamObjects_.push_back(number);
    // A few dozen pages' dictionaries to a stream: small enough to read one page quickly.
    constexpr std::size_t kObjectsPerStream = 100;
    if (streamObjects_.size() >= kObjectsPerStream)
        flushObjectStream(deflater);
}

void TRpPdfDocument::flushObjectStream(TRpDeflater& deflater)
{
    if (streamObjects_.empty())
        return;
    const int number = reserveObjectLocked();
    if (compressedAt_.size() < offsets_.size())
        compressedAt_.resize(offsets_.size() * 2);
    for (std::size_t i = 0; i < streamObjects_.size(); ++i)
        compressedAt_[static_cast<std::size_t>(streamObjects_[i] - 1)] = {number,
                                                                          static_cast<int>(i)};
    const std::size_t first = streamIndex_.size();
    streamIndex_ += streamBodies_;
    const std::string_view packed = deflater.Deflate(streamIndex_);
    beginObject(number);
    std::string text = "<< /Type /ObjStm /N ";
    appendInt(text, streamObjects_.size());
    text += " /First ";
    appendInt(text, first);
    text += " /Filter /FlateDecode /Length ";
    appendInt(text, packed.size());
    text += " >>\nstream\n";
    write(text);
    write(packed);
    write("\nendstream\nendobj\n");
    streamIndex_.clear();
    streamBodies_.clear();
    streamObjects_.clear();
}

void TRpPdfDocument::write(std::string_view bytes)
{
    if (out_ == nullptr || failed_.load())
        return;
    out_->write(bytes);
    if (out_->failed())
        failed_ = true;
    offset_ += bytes.size();
}

void TRpPdfDocument::beginObject(int number)
{
    offsets_[static_cast<std::size_t>(number - 1)] = offset_;
    std::string head;
    appendInt(head, static_cast<std::uint64_t>(number));
    head += " 0 obj\n";
    write(head);
}

std::string_view TRpPdfDocument::FontResource(TRpPdfFont font)
{
    return addFont(font, nullptr);
}

std::string_view TRpPdfDocument::FontResource(TRpPdfFont font, const TRpPdfWidths& widths)
{
    return addFont(font, &widths);
}

std::string_view TRpPdfDocument::addFont(TRpPdfFont font, const TRpPdfWidths* widths)
{
    for (const FontEntry& entry : fonts_) {
        if (entry.font != font || entry.ownWidths != (widths == nullptr))
            continue;
        if (widths == nullptr || entry.widths == *widths)
            return entry.name;
    }
    FontEntry& entry = fonts_.emplace_back();
    entry.font = font;
    entry.ownWidths = widths == nullptr;
    if (widths != nullptr)
        entry.widths = *widths;
    entry.object = reserveObject();
    entry.name = "F" + std::to_string(fonts_.size());
    return entry.name;
}

std::string_view TRpPdfDocument::MeasuredFontResource(const void* metrics, std::int64_t size) const
{
    for (const MeasuredFont& known : measuredFonts_)
        if (known.metrics == metrics && known.size == size)
            return known.resource;
    return {};
}

void TRpPdfDocument::SetMeasuredFontResource(const void* metrics, std::int64_t size,
                                             std::string_view resource)
{
    measuredFonts_.push_back({metrics, size, resource});
}

void TRpPdfDocument::MarkUnsupported(std::string reason)
{
    if (unsupported_)
        return;
    unsupported_ = true;
    unsupportedReason_ = std::move(reason);
}

TRpPdfFontEmbedder& TRpPdfDocument::Embedder()
{
    if (!embedder_)
        embedder_ = std::make_unique<TRpPdfFontEmbedder>();
    return *embedder_;
}

std::string_view TRpPdfDocument::EmbeddedFontResource(int face, const void* widthsKey)
{
    for (const EmbeddedEntry& entry : embedded_)
        if (entry.face == face && entry.key == widthsKey)
            return entry.name;
    EmbeddedEntry& entry = embedded_.emplace_back();
    entry.face = face;
    entry.key = widthsKey;
    entry.object = reserveObject();
    entry.name = "E" + std::to_string(embedded_.size());
    return entry.name;
}

void TRpPdfDocument::SetGlyphWidth(std::string_view resource, std::uint16_t gid, std::int32_t width)
{
    for (EmbeddedEntry& entry : embedded_) {
        if (entry.name != resource)
            continue;
        entry.widths.emplace(gid, width);
        return;
    }
}

int TRpPdfDocument::writeStream(std::string_view data, std::string_view extraKeys)
{
    const std::string packed = rpDeflate(data);
    const int object = reserveObject();
    beginObject(object);
    std::string text = "<< /Filter /FlateDecode /Length ";
    appendInt(text, packed.size());
    text += extraKeys;
    text += " >>\nstream\n";
    write(text);
    write(packed);
    write("\nendstream\nendobj\n");
    return object;
}

void TRpPdfDocument::AnchorTable::set(std::size_t key, Anchor anchor)
{
    const std::size_t block = key / kBlockSize;
    if (block >= blocks_.size())
        blocks_.resize(block + 1);
    if (!blocks_[block])
        blocks_[block] = std::make_unique<Anchor[]>(kBlockSize);
    blocks_[block][key % kBlockSize] = anchor;
}

const TRpPdfDocument::Anchor* TRpPdfDocument::AnchorTable::find(std::size_t key) const
{
    const std::size_t block = key / kBlockSize;
    if (block >= blocks_.size() || !blocks_[block])
        return nullptr;
    const Anchor& anchor = blocks_[block][key % kBlockSize];
    return anchor.pageObject != 0 ? &anchor : nullptr;
}

void TRpPdfDocument::AddPage(std::string_view content, const std::vector<TRpPdfAnchor>& anchors,
                             const std::vector<TRpPdfLink>& links)
{
    TRpPdfPageBuffers page = TakePageBuffers();
    page.content.assign(content);
    page.anchors = anchors;
    page.links = links;
    AddPage(std::move(page));
}

TRpPdfPageBuffers TRpPdfDocument::TakePageBuffers()
{
    TRpPdfPageBuffers page;
    page.anchors = std::move(spareAnchors_);
    page.links = std::move(sparePdfLinks_);
    page.anchors.clear();
    page.links.clear();
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!spareContents_.empty()) {
        page.content = std::move(spareContents_.back());
        spareContents_.pop_back();
    }
    page.content.clear();
    return page;
}

void TRpPdfDocument::AddPage(TRpPdfPageBuffers&& page)
{
    if (!Ok() || unsupported_)
        return;
    const int contentObject = reserveObject();
    const int pageObject = reserveObject();
    pageObjects_.push_back(pageObject);
    for (const TRpPdfAnchor& anchor : page.anchors)
        anchors_.set(anchor.key, {pageObject, static_cast<std::int32_t>(anchor.y)});
    // Links lead back to anchors marked by now; the worker writes them out.
    std::vector<ResolvedLink> resolved;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!spareLinks_.empty()) {
            resolved = std::move(spareLinks_.back());
            spareLinks_.pop_back();
        }
    }
    resolved.clear();
    for (TRpPdfLink& link : page.links) {
        if (!link.file.empty()) {
            resolved.push_back(
                {link.left, link.bottom, link.right, link.top, 0, 0, std::move(link.file)});
            continue;
        }
        const Anchor* target = anchors_.find(link.anchor);
        if (target == nullptr)
            continue;
        resolved.push_back(
            {link.left, link.bottom, link.right, link.top, target->pageObject, target->y, {}});
    }
    spareAnchors_ = std::move(page.anchors);
    sparePdfLinks_ = std::move(page.links);
    if (!worker_.joinable())
        worker_ = std::thread([this] { compressPages(); });
    const std::size_t size = page.content.size();
    std::unique_lock<std::mutex> lock(mutex_);
    room_.wait(lock, [this] { return queuedBytes_ < kMaxQueuedBytes || failed_.load(); });
    queue_.push_back({std::move(page.content), contentObject, pageObject, std::move(resolved)});
    queuedBytes_ += size;
    lock.unlock();
    wake_.notify_one();
}

void TRpPdfDocument::recycle(PendingPage& page)
{
    // A few of each: as many as the pages being made and written at once.
    constexpr std::size_t kSpares = 4;
    if (spareContents_.size() < kSpares) {
        page.content.clear();
        spareContents_.push_back(std::move(page.content));
    }
    if (spareLinks_.size() < kSpares) {
        page.links.clear();
        spareLinks_.push_back(std::move(page.links));
    }
}

// The page's links as direct annotation dictionaries of its /Annots array.
void TRpPdfDocument::appendAnnotations(std::string& out, const std::vector<ResolvedLink>& links)
{
    out += " /Annots [";
    for (const ResolvedLink& link : links) {
        out += "\n<</Subtype/Link/Border[0 0 0]/Rect[";
        rpPdfAppendHundredths(out, link.left);
        out += ' ';
        rpPdfAppendHundredths(out, link.bottom);
        out += ' ';
        rpPdfAppendHundredths(out, link.right);
        out += ' ';
        rpPdfAppendHundredths(out, link.top);
        if (!link.file.empty()) {
            out += "]/A<</S/GoToR/D[0/Fit]/F";
            rpPdfAppendString(out, link.file);
            out += ">>>>";
            continue;
        }
        out += "]/Dest[";
        appendInt(out, static_cast<std::uint64_t>(link.pageObject));
        out += " 0 R/XYZ null ";
        rpPdfAppendHundredths(out, link.y);
        out += " null]>>";
    }
    out += "\n]";
}

void TRpPdfDocument::compressPages()
{
    TRpDeflater deflater;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty())
            return;  // stopping, and every page is written
        PendingPage page = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        std::string_view packed;
        bool packedOk = true;
        try {
            packed = deflater.Deflate(page.content);
        } catch (const std::exception&) {
            packedOk = false;
        }
        lock.lock();
        queuedBytes_ -= page.content.size();
        room_.notify_one();
        if (!packedOk)
            failed_ = true;
        if (packedOk)
            writePage(packed, page, deflater);
        recycle(page);
    }
}

void TRpPdfDocument::stopWorker()
{
    if (!worker_.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

// Called by the worker with the mutex held. `packed` views `deflater`'s buffer.
void TRpPdfDocument::writePage(std::string_view packed, const PendingPage& page,
                               TRpDeflater& deflater)
{
    std::string text = "<< /Filter /FlateDecode /Length ";
    beginObject(page.contentObject);
    appendInt(text, packed.size());
    text += " >>\nstream\n";
    write(text);
    write(packed);
    write("\nendstream\nendobj\n");

    text = "<< /Type /Page /Parent ";
    appendInt(text, static_cast<std::uint64_t>(pagesObject_));
    text += " 0 R /MediaBox ";
    text += mediaBox_;
    text += " /Resources ";
    appendInt(text, static_cast<std::uint64_t>(resourcesObject_));
    text += " 0 R /Contents ";
    appendInt(text, static_cast<std::uint64_t>(page.contentObject));
    text += " 0 R";
    if (!page.links.empty())
        appendAnnotations(text, page.links);
    text += " >>";
    putInStream(page.pageObject, text, deflater);
}

void TRpPdfDocument::writeEmbeddedFonts(std::string& fontDict)
{
    std::map<int, int> descriptors;  // face -> its FontDescriptor object
    std::map<int, int> toUnicode;    // face -> its ToUnicode stream
    std::map<int, std::string> baseFonts;
    for (const EmbeddedEntry& entry : embedded_) {
        if (descriptors.count(entry.face) != 0)
            continue;
        const TRpPdfFontEmbedder::FaceData face = embedder_->Subset(entry.face);
        const std::string baseFont = subsetTag(entry.face) + '+' + face.postScriptName;
        baseFonts[entry.face] = baseFont;
        int fontFile = 0;
        if (!face.fontFile.empty())
            fontFile =
                writeStream(face.fontFile, " /Length1 " + std::to_string(face.fontFile.size()));
        toUnicode[entry.face] = writeStream(toUnicodeMap(face.toUnicode), {});
        const int descriptor = reserveObject();
        descriptors[entry.face] = descriptor;
        beginObject(descriptor);
        // Flags: symbolic (the glyphs are not in a standard character set), serif, fixed pitch.
        const int flags = 4 | (face.serif ? 2 : 0) | (face.fixedPitch ? 1 : 0);
        std::string text =
            "<< /Type /FontDescriptor /FontName /" + baseFont + " /Flags " + std::to_string(flags) +
            " /FontBBox [" + std::to_string(face.bbox[0]) + ' ' + std::to_string(face.bbox[1]) +
            ' ' + std::to_string(face.bbox[2]) + ' ' + std::to_string(face.bbox[3]) +
            "] /ItalicAngle " + std::to_string(face.italicAngle) + " /Ascent " +
            std::to_string(face.ascent) + " /Descent " + std::to_string(face.descent) +
            " /CapHeight " + std::to_string(face.capHeight) + " /StemV 80";
        if (fontFile != 0)
            text += " /FontFile2 " + std::to_string(fontFile) + " 0 R";
        text += " >>\nendobj\n";
        write(text);
    }
    for (const EmbeddedEntry& entry : embedded_) {
        const int cidFont = reserveObject();
        beginObject(entry.object);
        write("<< /Type /Font /Subtype /Type0 /BaseFont /" + baseFonts[entry.face] +
              " /Encoding /Identity-H /DescendantFonts [" + std::to_string(cidFont) +
              " 0 R] /ToUnicode " + std::to_string(toUnicode[entry.face]) + " 0 R >>\nendobj\n");
        beginObject(cidFont);
        std::string text =
            "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + baseFonts[entry.face] +
            " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
            " /FontDescriptor " +
            std::to_string(descriptors[entry.face]) + " 0 R /CIDToGIDMap /Identity /W [";
        for (const auto& [gid, width] : entry.widths) {
            text += '\n';
            appendInt(text, gid);
            text += " [";
            rpPdfAppendHundredths(text, width);
            text += ']';
        }
        text += "\n] >>\nendobj\n";
        write(text);
        fontDict += " /" + entry.name + ' ';
        appendInt(fontDict, static_cast<std::uint64_t>(entry.object));
        fontDict += " 0 R";
    }
    if (embedder_->MissingCount() > 0)
        std::fprintf(
            stderr,
            "Warning: %d character(s) that no installed font has were drawn as \xEF\xBF\xBD in "
            "the PDF.\n",
            embedder_->MissingCount());
}

// The outline as a tree of outline item objects under one root; 0 when it has no entry.
int TRpPdfDocument::writeOutline(TRpDeflater& deflater)
{
    const std::size_t count = outline_.size();
    const auto marked = [this](const TRpPdfOutlineItem& item) {
        return anchors_.find(item.anchor) != nullptr;
    };
    // Parents from the depths; an entry is kept when it leads somewhere or holds one that is.
    std::vector<std::ptrdiff_t> parent(count, -1);
    std::vector<std::ptrdiff_t> open;  // the chain of entries above the current one
    for (std::size_t i = 0; i < count; ++i) {
        const auto depth = static_cast<std::size_t>(std::max(0, outline_[i].depth));
        open.resize(std::min(open.size(), depth));
        parent[i] = open.empty() ? -1 : open.back();
        open.push_back(static_cast<std::ptrdiff_t>(i));
    }
    std::vector<bool> kept(count, false);
    for (std::size_t i = count; i-- > 0;) {
        if (marked(outline_[i]))
            kept[i] = true;
        if (kept[i] && parent[i] >= 0)
            kept[static_cast<std::size_t>(parent[i])] = true;
    }
    // Children of each kept entry (index count stands for the root), in order.
    std::vector<std::vector<std::size_t>> children(count + 1);
    std::vector<std::size_t> position(count, 0);  // among its siblings
    for (std::size_t i = 0; i < count; ++i) {
        if (!kept[i])
            continue;
        auto& siblings = children[parent[i] < 0 ? count : static_cast<std::size_t>(parent[i])];
        position[i] = siblings.size();
        siblings.push_back(i);
    }
    if (children[count].empty())
        return 0;
    std::vector<int> object(count + 1, 0);
    object[count] = reserveObject();
    for (std::size_t i = 0; i < count; ++i)
        if (kept[i])
            object[i] = reserveObject();
    // Entries shown when their parent is open: for an open entry its children and theirs.
    std::vector<std::int64_t> visible(count + 1, 0);
    for (std::size_t i = count + 1; i-- > 0;) {
        for (const std::size_t child : children[i])
            visible[i] += 1 + (outline_[child].open ? visible[child] : 0);
    }
    const auto reference = [](std::string& out, const char* key, int number) {
        out += key;
        appendInt(out, static_cast<std::uint64_t>(number));
        out += " 0 R";
    };
    for (std::size_t i = 0; i <= count; ++i) {
        if (object[i] == 0)
            continue;
        std::string text = "<<";
        if (i == count) {
            text += " /Type /Outlines";
        } else {
            const TRpPdfOutlineItem& item = outline_[i];
            text += " /Title " + utf16HexString(item.title, SourceEncoding::Utf8);
            const std::size_t up = parent[i] < 0 ? count : static_cast<std::size_t>(parent[i]);
            const auto& siblings = children[up];
            const std::size_t at = position[i];
            reference(text, " /Parent ", object[up]);
            if (at > 0)
                reference(text, " /Prev ", object[siblings[at - 1]]);
            if (at + 1 < siblings.size())
                reference(text, " /Next ", object[siblings[at + 1]]);
            if (marked(item)) {
                const Anchor& target = *anchors_.find(item.anchor);
                reference(text, " /Dest [", target.pageObject);
                text += " /XYZ null ";
                rpPdfAppendHundredths(text, target.y);
                text += " null]";
            }
        }
        if (!children[i].empty()) {
            reference(text, " /First ", object[children[i].front()]);
            reference(text, " /Last ", object[children[i].back()]);
            text += " /Count ";
            const bool shown = i == count || outline_[i].open;
            if (!shown)
                text += '-';
            appendInt(text, static_cast<std::uint64_t>(visible[i]));
        }
        putInStream(object[i], text + " >>", deflater);
    }
    return object[count];
}

bool TRpPdfDocument::Finish(std::string_view title, SourceEncoding encoding)
{
    stopWorker();
    if (!Ok() || unsupported_) {
        Abandon();
        return false;
    }
    std::string text;
    // Fonts and the one resource dictionary every page shares.
    std::string fontDict;
    for (const FontEntry& entry : fonts_) {
        beginObject(entry.object);
        text = "<< /Type /Font /Subtype /Type1 /BaseFont /";
        text += kFontNames[static_cast<int>(entry.font)];
        text += " /Encoding /WinAnsiEncoding";
        if (!entry.ownWidths) {
            text += " /FirstChar 0 /LastChar 255 /Widths [";
            for (std::size_t byte = 0; byte < entry.widths.size(); ++byte) {
                text += byte % 16 == 0 ? "\n" : " ";
                rpPdfAppendHundredths(text, entry.widths[byte]);
            }
            text += "\n]";
        }
        text += " >>\nendobj\n";
        write(text);
        fontDict += " /" + entry.name + ' ';
        appendInt(fontDict, static_cast<std::uint64_t>(entry.object));
        fontDict += " 0 R";
    }
    if (!embedded_.empty())
        writeEmbeddedFonts(fontDict);
    beginObject(resourcesObject_);
    write("<< /ProcSet [/PDF /Text] /Font <<" + fontDict + " >> >>\nendobj\n");

    // A flat page tree: every page is a kid of the root.
    beginObject(pagesObject_);
    text = "<< /Type /Pages /Count ";
    appendInt(text, pageObjects_.size());
    text += " /Kids [";
    for (std::size_t i = 0; i < pageObjects_.size(); ++i) {
        text += i % 16 == 0 ? "\n" : " ";
        appendInt(text, static_cast<std::uint64_t>(pageObjects_[i]));
        text += " 0 R";
    }
    text += "\n] >>\nendobj\n";
    write(text);

    const int infoObject = reserveObject();
    beginObject(infoObject);
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
    text = "<< /Title " + utf16HexString(title, encoding);
    if (!info_.subject.empty())
        text += " /Subject " + utf16HexString(info_.subject, SourceEncoding::Utf8);
    if (!info_.producer.empty())
        text += " /Producer " + utf16HexString(info_.producer, SourceEncoding::Utf8);
    write(text + " /Creator (Vorn Tabulan) /CreationDate (D:" + now.toStdString() +
          ") >>\nendobj\n");
    TRpDeflater deflater;
    const int outlineObject = writeOutline(deflater);
    const int catalogObject = reserveObject();
    beginObject(catalogObject);
    text = "<< /Type /Catalog /Pages ";
    appendInt(text, static_cast<std::uint64_t>(pagesObject_));
    text += " 0 R";
    if (outlineObject != 0) {
        text += " /Outlines ";
        appendInt(text, static_cast<std::uint64_t>(outlineObject));
        text += " 0 R /PageMode /UseOutlines";
    }
    text += " >>\nendobj\n";
    write(text);

    flushObjectStream(deflater);

    // Cross-reference stream: per object its type (1 in the file, 2 in an object stream) and
    // offset, or object stream and place; object 0 heads the free list.
    const int xrefObject = reserveObject();
    const std::uint64_t xref = offset_;
    offsets_[static_cast<std::size_t>(xrefObject - 1)] = xref;
    compressedAt_.resize(offsets_.size());
    std::string rows;
    rows.reserve((offsets_.size() + 1) * 8);
    const auto row = [&rows](int type, std::uint64_t field, unsigned place) {
        rows.push_back(static_cast<char>(type));
        for (int shift = 32; shift >= 0; shift -= 8)
            rows.push_back(static_cast<char>((field >> shift) & 0xFF));
        rows.push_back(static_cast<char>((place >> 8) & 0xFF));
        rows.push_back(static_cast<char>(place & 0xFF));
    };
    row(0, 0, 0xFFFF);
    for (std::size_t i = 0; i < offsets_.size(); ++i) {
        const auto [stream, place] = compressedAt_[i];
        if (stream != 0)
            row(2, static_cast<std::uint64_t>(stream), static_cast<unsigned>(place));
        else
            row(1, offsets_[i], 0);
    }
    const std::string_view packed = deflater.Deflate(rows);
    beginObject(xrefObject);
    text = "<< /Type /XRef /Size ";
    appendInt(text, offsets_.size() + 1);
    text += " /W [1 5 2] /Root ";
    appendInt(text, static_cast<std::uint64_t>(catalogObject));
    text += " 0 R /Info ";
    appendInt(text, static_cast<std::uint64_t>(infoObject));
    text += " 0 R /Filter /FlateDecode /Length ";
    appendInt(text, packed.size());
    text += " >>\nstream\n";
    write(text);
    write(packed);
    text = "\nendstream\nendobj\nstartxref\n";
    appendInt(text, xref);
    text += "\n%%EOF\n";
    write(text);
    const bool written = Ok();
    out_ = nullptr;
    return written;
}

}  // namespace tabulex
