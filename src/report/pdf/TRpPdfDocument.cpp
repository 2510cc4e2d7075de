#include "report/pdf/TRpPdfDocument.h"

#include <QDateTime>
#include <QString>
#include <cmath>
#include <cstdlib>

#include "text/TextCodec.h"

namespace tabulex {

namespace {

constexpr std::size_t kFileBuffer = 1 << 20;

constexpr std::string_view kFontNames[kRpPdfFontCount] = {
    "Helvetica", "Helvetica-Bold", "Helvetica-Oblique", "Helvetica-BoldOblique",
    "Courier", "Courier-Bold", "Courier-Oblique", "Courier-BoldOblique",
    "Times-Roman", "Times-Bold", "Times-Italic", "Times-BoldItalic",
};

void appendInt(std::string& out, std::uint64_t value) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) out.push_back(digits[--n]);
}

// The title as a UTF-16BE hex string with its byte order mark, so every Windows-1252
// character survives whatever the reader takes as the default text encoding.
std::string utf16HexString(std::string_view cp1252) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const QString text = fromCp1252(cp1252);
    std::string out = "<FEFF";
    for (const QChar c : text) {
        const unsigned unit = c.unicode();
        for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(unit >> shift) & 0xF]);
    }
    out.push_back('>');
    return out;
}

}  // namespace

std::string_view rpPdfFontName(TRpPdfFont font) { return kFontNames[static_cast<int>(font)]; }

void rpPdfAppendNumber(std::string& out, double value) {
    rpPdfAppendHundredths(out, std::llround(value * 100.0));
}

void rpPdfAppendHundredths(std::string& out, std::int64_t hundredths) {
    if (hundredths < 0) {
        out.push_back('-');
        hundredths = -hundredths;
    }
    const auto whole = static_cast<std::uint64_t>(hundredths / 100);
    const int fraction = static_cast<int>(hundredths % 100);
    appendInt(out, whole);
    if (fraction == 0) return;
    out.push_back('.');
    out.push_back(static_cast<char>('0' + fraction / 10));
    if (fraction % 10 != 0) out.push_back(static_cast<char>('0' + fraction % 10));
}

void rpPdfAppendString(std::string& out, std::string_view text) {
    out.push_back('(');
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '(' || c == ')' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (byte < 32) {
            out.push_back('\\');
            out.push_back(static_cast<char>('0' + (byte >> 6)));
            out.push_back(static_cast<char>('0' + ((byte >> 3) & 7)));
            out.push_back(static_cast<char>('0' + (byte & 7)));
        } else {
            out.push_back(c);
        }
    }
    out.push_back(')');
}

TRpPdfDocument::TRpPdfDocument(const std::string& path, double widthPt, double heightPt)
    : file_(std::fopen(path.c_str(), "wb")), widthPt_(widthPt), heightPt_(heightPt) {
    mediaBox_ = "[0 0 ";
    rpPdfAppendNumber(mediaBox_, widthPt);
    mediaBox_.push_back(' ');
    rpPdfAppendNumber(mediaBox_, heightPt);
    mediaBox_.push_back(']');
    if (file_ == nullptr) return;
    buffer_ = std::make_unique<char[]>(kFileBuffer);
    std::setvbuf(file_, buffer_.get(), _IOFBF, kFileBuffer);
    // The binary comment tells transfer programs the file is not plain text.
    write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    pagesObject_ = reserveObject();
    resourcesObject_ = reserveObject();
}

TRpPdfDocument::~TRpPdfDocument() { Abandon(); }

void TRpPdfDocument::Abandon() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    file_ = nullptr;
}

int TRpPdfDocument::reserveObject() {
    offsets_.push_back(0);
    return static_cast<int>(offsets_.size());
}

void TRpPdfDocument::write(std::string_view bytes) {
    if (file_ == nullptr || failed_) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
    offset_ += bytes.size();
}

void TRpPdfDocument::beginObject(int number) {
    offsets_[static_cast<std::size_t>(number - 1)] = offset_;
    std::string head;
    appendInt(head, static_cast<std::uint64_t>(number));
    head += " 0 obj\n";
    write(head);
}

std::string_view TRpPdfDocument::FontResource(TRpPdfFont font) { return addFont(font, nullptr); }

std::string_view TRpPdfDocument::FontResource(TRpPdfFont font, const TRpPdfWidths& widths) {
    return addFont(font, &widths);
}

std::string_view TRpPdfDocument::addFont(TRpPdfFont font, const TRpPdfWidths* widths) {
    for (const FontEntry& entry : fonts_) {
        if (entry.font != font || entry.ownWidths != (widths == nullptr)) continue;
        if (widths == nullptr || entry.widths == *widths) return entry.name;
    }
    FontEntry& entry = fonts_.emplace_back();
    entry.font = font;
    entry.ownWidths = widths == nullptr;
    if (widths != nullptr) entry.widths = *widths;
    entry.object = reserveObject();
    entry.name = "F" + std::to_string(fonts_.size());
    return entry.name;
}

void TRpPdfDocument::MarkUnsupported(std::string reason) {
    if (unsupported_) return;
    unsupported_ = true;
    unsupportedReason_ = std::move(reason);
}

void TRpPdfDocument::AddPage(std::string_view content) {
    if (!Ok() || unsupported_) return;
    const int contentObject = reserveObject();
    const int pageObject = reserveObject();
    std::string text;
    text.reserve(128);
    beginObject(contentObject);
    text = "<< /Length ";
    appendInt(text, content.size());
    text += " >>\nstream\n";
    write(text);
    write(content);
    write("\nendstream\nendobj\n");

    beginObject(pageObject);
    text = "<< /Type /Page /Parent ";
    appendInt(text, static_cast<std::uint64_t>(pagesObject_));
    text += " 0 R /MediaBox ";
    text += mediaBox_;
    text += " /Resources ";
    appendInt(text, static_cast<std::uint64_t>(resourcesObject_));
    text += " 0 R /Contents ";
    appendInt(text, static_cast<std::uint64_t>(contentObject));
    text += " 0 R >>\nendobj\n";
    write(text);
    pageObjects_.push_back(pageObject);
}

bool TRpPdfDocument::Finish(std::string_view title) {
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
    const QString now =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
    write("<< /Title " + utf16HexString(title) + " /Creator (Vorn Tabulan) /CreationDate (D:" +
          now.toStdString() + ") >>\nendobj\n");
    const int catalogObject = reserveObject();
    beginObject(catalogObject);
    text = "<< /Type /Catalog /Pages ";
    appendInt(text, static_cast<std::uint64_t>(pagesObject_));
    text += " 0 R >>\nendobj\n";
    write(text);

    // Cross-reference table: fixed 20-byte entries, object 0 heading the free list.
    const std::uint64_t xref = offset_;
    text = "xref\n0 ";
    appendInt(text, offsets_.size() + 1);
    text += "\n0000000000 65535 f \n";
    write(text);
    for (const std::uint64_t offset : offsets_) {
        char entry[21];
        std::snprintf(entry, sizeof entry, "%010llu 00000 n \n",
                      static_cast<unsigned long long>(offset));
        write(std::string_view(entry, 20));
    }
    text = "trailer\n<< /Size ";
    appendInt(text, offsets_.size() + 1);
    text += " /Root ";
    appendInt(text, static_cast<std::uint64_t>(catalogObject));
    text += " 0 R /Info ";
    appendInt(text, static_cast<std::uint64_t>(infoObject));
    text += " 0 R >>\nstartxref\n";
    appendInt(text, xref);
    text += "\n%%EOF\n";
    write(text);
    const bool written = Ok() && std::fflush(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return written && closed;
}

}  // namespace tabulex
