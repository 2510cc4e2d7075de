// Arbitrary Windows-1252 text through the report's text wrapping, at item widths from 0 up, in
// a few fonts, with WordWrap and AutoSize on and off, as a memo (entries split at NUL bytes) and
// as a label (the whole text as its caption).
//
// Input: byte 0 = settings (bit 0 WordWrap, bit 1 AutoSize, bit 2 bold, bit 3 Courier New,
// bits 4-6 font size, bit 7 narrow widths), bytes 1-2 = width, the rest = text.
//
// Checks besides crashes, against the wrapping rules:
//  - line feeds are deleted and each carriage return ends a line: the text wraps as the
//    CR-separated parts wrapped one by one, and a label wraps its caption like a memo its line;
//  - AutoSize: a memo takes its lines unchanged, a label takes each part unchanged;
//  - WordWrap on: every line fits the width or is empty; the lines, read in order, are the part
//    itself except for the blank that ended a broken word and the rest of a word of which not
//    even one character fits (an empty line stands for it); each line is as long as it can be
//    (the next word, or the next character of a broken word, would not fit); only the last line
//    of a part may be empty otherwise;
//  - WordWrap off: each part gives exactly one line, the longest prefix of whole words that
//    fits or, when the first word alone is too wide, the part of it that fits.
#include <QFont>
#include <QGuiApplication>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "report/engine/TRpUnitBase.h"
#include "report/items/TRpLabel.h"
#include "report/items/TRpMemo.h"

using namespace tabulex;
using Lines = std::vector<std::string>;

namespace {

[[noreturn]] void fail(const char* what, std::string_view part, std::size_t at)
{
    std::fprintf(stderr, "invariant broken: %s (part of %zu bytes, at %zu)\n", what, part.size(),
                 at);
    std::abort();
}

bool isWordEnd(char c)
{
    return c == ' ' || c == '-';
}

// Index just past the word that goes on at `pos` (its ending space or hyphen included).
std::size_t wordEndFrom(std::string_view text, std::size_t pos)
{
    while (pos < text.size() && !isWordEnd(text[pos]))
        ++pos;
    return pos < text.size() ? pos + 1 : pos;
}

// The parts a text is wrapped as: line feeds deleted, split at carriage returns.
Lines partsOf(std::string_view text)
{
    Lines parts(1);
    for (const char c : text) {
        if (c == '\n')
            continue;
        if (c == '\r')
            parts.emplace_back();
        else
            parts.back().push_back(c);
    }
    return parts;
}

struct Checker {
    const TRpCustomLabel& item;
    int width;

    int widthOf(std::string_view text) const { return item.TextWidthOf(text); }
    bool fits(std::string_view text) const { return widthOf(text) <= width; }

    void checkUnwrapped(std::string_view part, const Lines& lines) const
    {
        if (lines.size() != 1 || lines[0] != part)
            fail("with AutoSize a part is not taken unchanged as one line", part, 0);
    }

    void checkNoWordWrap(std::string_view part, const Lines& lines) const
    {
        if (lines.size() != 1)
            fail("without WordWrap a part gives more than one line", part, lines.size());
        const std::string_view line = lines[0];
        if (!part.starts_with(line))
            fail("without WordWrap the line is not a prefix of its part", part, 0);
        if (!line.empty() && !fits(line))
            fail("without WordWrap the line is wider than the item", part, line.size());
        const std::size_t p = line.size();
        if (p == part.size())
            return;
        if (p > 0 && isWordEnd(part[p - 1])) {
            // Whole words: the next word must not fit after them.
            const std::string next(part.substr(0, wordEndFrom(part, p)));
            if (fits(next))
                fail("without WordWrap the line stops before a word that fits", part, p);
            return;
        }
        // The first word alone is too wide: as many of its characters as fit.
        if (line.find_first_of(" -") != std::string_view::npos)
            fail("without WordWrap the line stops inside a later word", part, p);
        if (fits(part.substr(0, p + 1)))
            fail("without WordWrap a broken word stops before a character that fits", part, p);
    }

    void checkWordWrap(std::string_view part, const Lines& lines) const
    {
        if (lines.empty())
            fail("a part gives no line", part, 0);
        std::size_t p = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string_view line = lines[i];
            const bool last = i + 1 == lines.size();
            if (!line.empty() && !fits(line))
                fail("a line is wider than the item", part, p);
            if (part.compare(p, line.size(), line) != 0)
                fail("a line is not the text that follows the previous one", part, p);
            p += line.size();
            if (last) {
                if (p != part.size())
                    fail("the lines end before their part", part, p);
                return;
            }
            if (line.empty()) {
                // Stands for the rest of a word of which not even one character fits.
                if (p == part.size())
                    fail("an empty line follows the end of its part", part, p);
                if (fits(part.substr(p, 1)))
                    fail("an empty line although a character fits", part, p);
                p = wordEndFrom(part, p);
                continue;
            }
            if (p == part.size())
                fail("lines follow the end of their part", part, p);
            const std::string_view lineStart = part.substr(p - line.size());
            if (isWordEnd(part[p - 1])) {
                // Whole words: the next word must not fit on the same line.
                const std::size_t next = wordEndFrom(part, p);
                if (fits(lineStart.substr(0, next - (p - line.size()))))
                    fail("a line ends before a word that fits on it", part, p);
                continue;
            }
            // A piece of a broken word: alone on its line and as long as it can be.
            if (line.find_first_of(" -") != std::string_view::npos)
                fail("a broken word shares its line", part, p);
            if (fits(lineStart.substr(0, line.size() + 1)))
                fail("a piece of a broken word stops before a character that fits", part, p);
            // The blank that ended the word does not start the next line; when it ended the
            // part, the part's (empty) current line is still appended.
            if (part[p] == ' ') {
                ++p;
                if (p == part.size() && (i + 2 != lines.size() || !lines[i + 1].empty()))
                    fail("lines follow the end of their part", part, p);
            }
        }
    }

    void checkPart(std::string_view part, const Lines& lines) const
    {
        if (item.AutoSize())
            return checkUnwrapped(part, lines);
        if (!item.WordWrap())
            return checkNoWordWrap(part, lines);
        checkWordWrap(part, lines);
    }
};

Lines wrapMemo(TRpMemo& memo, Lines lines)
{
    memo.SetLines(std::move(lines));
    memo.WrapLines();
    return memo.FormattedLines();
}

QFont fontFor(std::uint8_t settings)
{
    static constexpr int sizes[] = {6, 7, 8, 10, 14, 18, 24, 36};
    QFont font(QString::fromLatin1((settings & 8) != 0 ? "Courier New" : "Arial"));
    font.setPointSize(sizes[(settings >> 4) & 7]);
    font.setBold((settings & 4) != 0);
    return font;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    rpSetScreenResolution(96);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    const std::uint8_t settings = data[0];
    const int rawWidth = data[1] | (data[2] << 8);
    const int width = (settings & 0x80) != 0 ? rawWidth % 48 : rawWidth % 1200;
    const std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);

    Lines entries(1);
    for (const char c : text) {
        if (c == '\0')
            entries.emplace_back();
        else
            entries.back().push_back(c);
    }

    TRpMemo memo("memo");
    memo.SetFont(fontFor(settings));
    memo.SetWordWrap((settings & 1) != 0);
    memo.SetAutoSize((settings & 2) != 0);
    memo.SetPixelWidth(width);
    const Checker checker{memo, memo.PixelWidth()};

    const Lines all = wrapMemo(memo, entries);
    if (memo.AutoSize()) {
        if (all != entries)
            fail("an AutoSize memo changed its lines", text, 0);
    } else {
        // Each entry, each of its parts wrapped alone, and the rules checked part by part.
        Lines joined;
        for (const std::string& entry : entries) {
            for (const std::string& part : partsOf(entry)) {
                const Lines lines = wrapMemo(memo, {part});
                checker.checkPart(part, lines);
                joined.insert(joined.end(), lines.begin(), lines.end());
            }
        }
        if (all != joined)
            fail("the lines differ from the entries' parts wrapped one by one", text, 0);
    }

    // A label wraps its caption like a memo without AutoSize wraps a line.
    TRpLabel label("label");
    label.SetFont(memo.Font());
    label.SetWordWrap(memo.WordWrap());
    label.SetAutoSize(memo.AutoSize());
    label.SetPixelWidth(width);
    label.SetCaption(entries[0]);
    label.WrapLines();
    Lines expected;
    for (const std::string& part : partsOf(entries[0])) {
        if (label.AutoSize()) {
            expected.push_back(part);
            continue;
        }
        const Lines lines = wrapMemo(memo, {part});
        expected.insert(expected.end(), lines.begin(), lines.end());
    }
    if (label.FormattedLines() != expected)
        fail("a label wraps its caption unlike a memo its line", text, 0);
    return 0;
}
