// Arbitrary bytes through the whole analysis: lexer, listing builder in every style, declaration
// scanner and export. Any broken invariant aborts, so libFuzzer keeps the input as a crash.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "SourceLines.h"
#include "analysis/DeclarationScanner.h"
#include "analysis/ListingBuilder.h"
#include "analysis/ListingExport.h"
#include "analysis/PasLex.h"

using namespace tabulex;

namespace {

[[noreturn]] void fail(const char* what, std::size_t index = 0)
{
    std::fprintf(stderr, "invariant broken: %s (item %zu)\n", what, index);
    std::abort();
}

void check(bool condition, const char* what, std::size_t index = 0)
{
    if (!condition)
        fail(what, index);
}

using tabulex::testing::source_lines;

bool all_digits(std::string_view s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool strip_prefix(std::string_view& s, std::string_view prefix)
{
    if (!s.starts_with(prefix))
        return false;
    s.remove_prefix(prefix.size());
    return true;
}

// "{" digits "}" and the like: a marker pair around a level number.
bool is_level_mark(std::string_view s, std::string_view before, std::string_view after)
{
    if (!strip_prefix(s, before) || !s.ends_with(after))
        return false;
    s.remove_suffix(after.size());
    return all_digits(s);
}

// Whether `prefix` is a prefix the default markers can make in `style`.
bool is_prefix_of_style(std::string_view prefix, int style, const TListingSettings& s)
{
    if (style == 2)
        return prefix == "  ";
    if (style == 1) {
        if (prefix == "   ")
            return true;
        return prefix.size() >= 3 && prefix.front() == ' ' && prefix.back() == ' ' &&
               all_digits(prefix.substr(1, prefix.size() - 2));
    }
    if (prefix == "  ")
        return true;
    // Columns ("|" once per level; a routine's begin drops the first one), then at most one mark.
    while (strip_prefix(prefix, s.coluna)) {}
    return prefix.empty() || prefix == s.begin || is_level_mark(prefix, s.prenivel, s.sufnivel) ||
           is_level_mark(prefix, s.prefnivel, s.suffnivel);
}

// Splits `rest` into prefix + `source` + reference; false when no split fits.
bool split_line(std::string_view rest, std::string_view source, const TListingSettings& s,
                int style)
{
    const auto fits = [&](std::string_view reference) {
        if (rest.size() < source.size() + reference.size())
            return false;
        const std::size_t prefix_length = rest.size() - source.size() - reference.size();
        return rest.substr(prefix_length, source.size()) == source &&
               is_prefix_of_style(rest.substr(0, prefix_length), style, s);
    };
    if (fits({}))
        return true;
    if (!s.Final || !rest.ends_with(s.sufend))
        return false;
    // " ///-" digits "-///" at the very end.
    const std::string_view body = rest.substr(0, rest.size() - s.sufend.size());
    std::size_t digits = 0;
    while (digits < body.size() && body[body.size() - 1 - digits] >= '0' &&
           body[body.size() - 1 - digits] <= '9')
        ++digits;
    const std::string opener = " " + s.preend;
    if (digits == 0 || !body.substr(0, body.size() - digits).ends_with(opener))
        return false;
    return fits(rest.substr(rest.size() - s.sufend.size() - digits - opener.size()));
}

void check_lexer(const std::string& bytes)
{
    const std::size_t nul = bytes.find('\0') == std::string::npos ? bytes.size() : bytes.find('\0');
    TPasLex lex;
    lex.SetText(bytes.c_str());
    std::string rebuilt;
    std::size_t steps = 0;
    while (lex.TokenKind() != tkNull) {
        check(lex.RunPosition() > lex.TokenPosition(), "a token other than tkNull is not empty");
        check(static_cast<std::size_t>(lex.RunPosition()) <= nul, "RunPosition passed the NUL");
        rebuilt += lex.TokenView();
        check(++steps <= nul, "more tokens than bytes");
        lex.Next();
    }
    check(static_cast<std::size_t>(lex.RunPosition()) == nul, "the lexer stopped before the NUL");
    check(rebuilt == std::string_view(bytes).substr(0, nul), "token texts do not rebuild the text");
    const std::int32_t end = lex.RunPosition();
    lex.Next();
    check(lex.TokenKind() == tkNull && lex.RunPosition() == end, "Next moved after tkNull");

    // NextSignificant walks the same text without passing the NUL either.
    lex.SetText(bytes.c_str());
    for (steps = 0; lex.TokenKind() != tkNull; lex.NextSignificant())
        check(static_cast<std::size_t>(lex.RunPosition()) <= nul && ++steps <= nul + 1,
              "NextSignificant ran away");
}

void check_listing(const std::string& bytes, const std::vector<std::string_view>& lines, int style,
                   bool numbering, bool reference)
{
    TListingSettings settings;
    settings.Identacao = style;
    settings.Numeracao = numbering;
    settings.Final = reference;
    const StringList listing = build_listing(bytes, settings);
    check(listing.size() == lines.size(), "listing line count differs from the source line count");
    for (std::size_t i = 0; i < listing.size(); ++i) {
        std::string_view rest = listing[i];
        if (numbering) {
            check(strip_prefix(rest, preenche_zeros(static_cast<long long>(i) + 1, 4) + " "),
                  "bad number column", i);
        } else if (rest.starts_with("     ") && !split_line(rest, lines[i], settings, style)) {
            rest.remove_prefix(5);  // a line completed inside a class's member list
        }
        check(split_line(rest, lines[i], settings, style),
              "line is not prefix + source + reference", i);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    check_lexer(bytes);

    const std::vector<std::string_view> lines = source_lines(bytes);
    StringList listing;
    for (int style = 0; style <= 2; ++style) {
        check_listing(bytes, lines, style, true, true);
        check_listing(bytes, lines, style, false, false);
    }
    // The exact form: style "Nenhum" without reference is number, two blanks and the line.
    TListingSettings plain;
    plain.Identacao = 2;
    plain.Final = false;
    listing = build_listing(bytes, plain);
    for (std::size_t i = 0; i < listing.size(); ++i)
        check(listing[i] ==
                  preenche_zeros(static_cast<long long>(i) + 1, 4) + "   " + std::string(lines[i]),
              "numbered plain line differs", i);

    // The export holds every line of the four lists, each with its line end.
    const TDeclarationLists lists = scan_declarations(bytes);
    TListingSettings styled;
    styled.Identacao = static_cast<int>(size % 3);
    std::size_t expected = 0;
    for (const StringList* list : {&lists.xref, &lists.routines, &lists.uses})
        for (const std::string& item : *list)
            expected += item.size() + 2;
    for (const std::string& item : build_listing(bytes, styled))
        expected += item.size() + 2;
    std::string streamed;
    stream_export(bytes, styled, [&](std::string_view piece) { streamed += piece; });
    check(streamed.size() == expected, "export size differs from the lines and their line ends");
    return 0;
}
