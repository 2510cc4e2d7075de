#include "html/HtmlText.h"

#include <array>

#include "analysis/SourceEncoding.h"

namespace tabulex {

namespace {

// The replacement of each byte that needs one in HTML text (nullptr: copied as it is).
constexpr std::array<const char*, 256> make_escapes()
{
    std::array<const char*, 256> table{};
    table['&'] = "&amp;";
    table['<'] = "&lt;";
    table['>'] = "&gt;";
    table['"'] = "&quot;";
    table['\''] = "&#39;";
    return table;
}
constexpr std::array<const char*, 256> kEscapes = make_escapes();

void append_code_point(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Which bytes stop the plain copy, per use: markup characters, and for Windows-1252 text
// every byte above ASCII as well (it is converted).
enum : unsigned char { kStopUtf8 = 1, kStop1252 = 2, kStopContent = 4, kStopContent1252 = 8 };
constexpr std::array<unsigned char, 256> make_stops()
{
    std::array<unsigned char, 256> table{};
    for (int c = 0x80; c < 0x100; ++c)
        table[c] = kStop1252 | kStopContent1252;
    for (unsigned char c : {'&', '<', '>'})
        table[c] = kStopUtf8 | kStop1252 | kStopContent | kStopContent1252;
    for (unsigned char c : {'"', '\''})
        table[c] = kStopUtf8 | kStop1252;
    return table;
}
constexpr std::array<unsigned char, 256> kStops = make_stops();

void append_escaped(std::string& out, std::string_view bytes, unsigned char stop)
{
    const char* data = bytes.data();
    const std::size_t size = bytes.size();
    std::size_t run = 0;  // start of the bytes copied unchanged
    for (std::size_t i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if ((kStops[c] & stop) == 0)
            continue;
        out.append(data + run, i - run);
        run = i + 1;
        if (const char* escape = kEscapes[c])
            out += escape;
        else
            append_code_point(out, windows1252_code_point(c));
    }
    out.append(data + run, size - run);
}

// Bytes a URL path keeps as they are: ASCII letters, digits and "-._~".
constexpr std::array<bool, 256> make_url_plain()
{
    std::array<bool, 256> table{};
    for (int c = 0; c < 0x100; ++c)
        table[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '-' || c == '.' || c == '_' || c == '~';
    return table;
}
constexpr std::array<bool, 256> kUrlPlain = make_url_plain();

}  // namespace

void append_html_text(std::string& out, std::string_view bytes, SourceEncoding encoding)
{
    append_escaped(out, bytes, encoding == SourceEncoding::Utf8 ? kStopUtf8 : kStop1252);
}

void append_html_content(std::string& out, std::string_view bytes, SourceEncoding encoding)
{
    append_escaped(out, bytes, encoding == SourceEncoding::Utf8 ? kStopContent : kStopContent1252);
}

void append_url_path(std::string& out, std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::size_t run = 0;  // start of the bytes copied unchanged
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (kUrlPlain[c])
            continue;
        out.append(bytes.data() + run, i - run);
        run = i + 1;
        const char escape[3] = {'%', kHex[c >> 4], kHex[c & 0x0F]};
        out.append(escape, 3);
    }
    out.append(bytes.data() + run, bytes.size() - run);
}

void append_js_string(std::string& out, std::string_view bytes, SourceEncoding encoding)
{
    static constexpr char kHex[] = "0123456789abcdef";
    const bool utf8 = encoding == SourceEncoding::Utf8;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        // Plain printable ASCII, most of any text, is copied a run at a time.
        std::size_t end = i;
        while (end < bytes.size() && bytes[end] >= 0x20 && bytes[end] < 0x7F && bytes[end] != '"' &&
               bytes[end] != '\\' && bytes[end] != '<')
            ++end;
        if (end > i) {
            out.append(bytes.data() + i, end - i);
            i = end;
            if (i == bytes.size())
                break;
        }
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == '<' || c == 0x7F) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (!utf8) {
            append_code_point(out, windows1252_code_point(c));
        } else if (c == 0xE2 && i + 2 < bytes.size() && bytes[i + 1] == '\x80' &&
                   (bytes[i + 2] == '\xA8' || bytes[i + 2] == '\xA9')) {
            // U+2028 and U+2029 end a line inside a JavaScript string.
            out += bytes[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
}

std::string relative_url(std::string_view from, std::string_view to)
{
    // The folders both paths share are left out; each other folder of `from` is one "..".
    std::size_t common = 0;
    for (std::size_t i = 0; i < from.size() && i < to.size() && from[i] == to[i]; ++i)
        if (from[i] == '/')
            common = i + 1;
    std::string url;
    for (std::size_t i = common; i < from.size(); ++i)
        if (from[i] == '/')
            url += "../";
    std::size_t part = common;
    for (std::size_t i = common; i <= to.size(); ++i) {
        if (i < to.size() && to[i] != '/')
            continue;
        append_url_path(url, to.substr(part, i - part));
        if (i < to.size())
            url += '/';
        part = i + 1;
    }
    return url;
}

SourceEncoding file_name_encoding(std::string_view bytes)
{
    return is_valid_utf8(bytes) ? SourceEncoding::Utf8 : SourceEncoding::Windows1252;
}

}  // namespace tabulex
