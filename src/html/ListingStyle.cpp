#include "html/ListingStyle.h"

#include <optional>
#include <vector>

#include "analysis/PasLex.h"

namespace tabulex {

namespace {

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}
bool is_letter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// The class of a token, or none for blanks, symbols and other plain bytes.
std::optional<TRunClass> token_class(TTokenKind kind, std::string_view text)
{
    switch (kind) {
    case tkIdentifier:
        return TRunClass::Identifier;
    case tkAnsiComment:
    case tkBorComment:
    case tkSlashesComment:
        return TRunClass::Comment;
    case tkString:  // the keyword String and quoted literals share the kind
        return !text.empty() && text[0] == '\'' ? TRunClass::String : TRunClass::Keyword;
    case tkCharCode:
        return TRunClass::String;
    case tkNumber:
    case tkFloat:
    case tkHexNumber:
        return TRunClass::Number;
    case tkDirective:
    case tkDirectiveR:
        return TRunClass::Directive;
    default:
        break;
    }
    if (!text.empty() && is_letter(text[0]))
        return TRunClass::Keyword;
    return std::nullopt;
}

long long parse_number(std::string_view digits)
{
    long long value = 0;
    for (char c : digits) {
        if (value > 1'000'000'000'000LL)
            break;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Where the source text stands in a listing line: the length of what comes before it (number
// column and prefix) and of the block-end reference after it.
struct TLineSplit {
    std::size_t head = 0;
    std::size_t tail = 0;
    long long tail_line = 0;
};

bool text_at(std::string_view line, std::string_view text, std::size_t head, std::size_t tail)
{
    return head + text.size() + tail == line.size() && line.compare(head, text.size(), text) == 0;
}

// The reference " <preend><digits><sufend>" at the end of `line`, if it is there.
std::optional<TLineSplit> split_with_reference(std::string_view line, std::string_view text,
                                               const TListingSettings& settings)
{
    std::string_view rest = line;
    if (!rest.ends_with(settings.sufend))
        return std::nullopt;
    rest.remove_suffix(settings.sufend.size());
    std::size_t digits = 0;
    while (digits < rest.size() && is_digit(rest[rest.size() - 1 - digits]))
        ++digits;
    if (digits == 0)
        return std::nullopt;
    const std::string_view number = rest.substr(rest.size() - digits);
    rest.remove_suffix(digits);
    if (!rest.ends_with(settings.preend))
        return std::nullopt;
    rest.remove_suffix(settings.preend.size());
    if (!rest.ends_with(' '))
        return std::nullopt;
    rest.remove_suffix(1);
    const std::size_t tail = line.size() - rest.size();
    if (rest.size() < text.size() || !text_at(line, text, rest.size() - text.size(), tail))
        return std::nullopt;
    return TLineSplit{rest.size() - text.size(), tail, parse_number(number)};
}

std::optional<TLineSplit> split_line(std::string_view line, std::string_view text,
                                     const TListingSettings& settings)
{
    if (settings.Final)
        if (auto split = split_with_reference(line, text, settings))
            return split;
    if (line.size() < text.size() || !text_at(line, text, line.size() - text.size(), 0))
        return std::nullopt;
    return TLineSplit{line.size() - text.size(), 0, 0};
}

// Walks the source once and hands each listing line its runs.
class TListingStyler {
public:
    TListingStyler(const std::string& bytes, const StringList& listing,
                   const TListingSettings& settings,
                   const std::function<void(std::size_t, std::span<const TStyledRun>)>& line)
        : bytes_(bytes), listing_(listing), settings_(settings), line_(line)
    {}

    void run()
    {
        TPasLex lex;
        lex.SetText(bytes_.c_str());
        const auto size = static_cast<std::int32_t>(bytes_.size());
        std::size_t line_start = 0;
        while (lex.TokenKind() != tkNull && lex.RunPosition() <= size && index_ < listing_.size()) {
            const TTokenKind kind = lex.TokenKind();
            if (kind == tkCRLF || kind == tkCRLFInComment) {
                finish_line(line_start, static_cast<std::size_t>(lex.TokenPosition()));
                line_start = static_cast<std::size_t>(lex.RunPosition());
            } else if (auto cls = token_class(kind, lex.TokenView())) {
                const auto start = static_cast<std::size_t>(lex.TokenPosition()) - line_start;
                tokens_.push_back({static_cast<std::uint32_t>(start),
                                   static_cast<std::uint32_t>(lex.TokenView().size()), *cls, 0});
            }
            lex.Next();
        }
        // The text after the last line break, when the listing holds it.
        if (index_ < listing_.size() && line_start < bytes_.size())
            finish_line(line_start, bytes_.size());
        // Lines the walk could not match (never expected): plain.
        for (; index_ < listing_.size(); ++index_)
            line_(index_, {});
    }

private:
    void finish_line(std::size_t start, std::size_t end)
    {
        const std::string_view line = listing_[index_];
        const std::string_view text(bytes_.data() + start, end - start);
        runs_.clear();
        if (const auto split = split_line(line, text, settings_))
            build_runs(line, text, *split);
        line_(index_, runs_);
        tokens_.clear();
        ++index_;
    }

    void build_runs(std::string_view line, std::string_view text, const TLineSplit& split)
    {
        std::size_t prefix_start = 0;
        if (settings_.Numeracao) {
            std::size_t digits = 0;
            while (digits < split.head && is_digit(line[digits]))
                ++digits;
            if (digits > 0 && digits < split.head && line[digits] == ' ') {
                runs_.push_back({0, static_cast<std::uint32_t>(digits), TRunClass::LineNumber,
                                 parse_number(line.substr(0, digits))});
                prefix_start = digits + 1;
            }
        }
        if (split.head > prefix_start)
            runs_.push_back({static_cast<std::uint32_t>(prefix_start),
                             static_cast<std::uint32_t>(split.head - prefix_start),
                             TRunClass::Prefix, 0});
        std::size_t covered = 0;  // end of the last token run, in the text
        for (TStyledRun token : tokens_) {
            std::size_t begin = std::max<std::size_t>(token.start, covered);
            std::size_t end = token.start + token.length;
            // Never end a run inside a UTF-8 sequence.
            while (end < text.size() && end > 0 && (text[end] & 0xC0) == 0x80 &&
                   (text[end - 1] & 0x80))
                ++end;
            if (end <= begin)
                continue;
            runs_.push_back({static_cast<std::uint32_t>(split.head + begin),
                             static_cast<std::uint32_t>(end - begin), token.kind, 0});
            covered = end;
        }
        if (split.tail > 0)
            runs_.push_back({static_cast<std::uint32_t>(line.size() - split.tail),
                             static_cast<std::uint32_t>(split.tail), TRunClass::EndReference,
                             split.tail_line});
    }

    const std::string& bytes_;
    const StringList& listing_;
    const TListingSettings& settings_;
    const std::function<void(std::size_t, std::span<const TStyledRun>)>& line_;
    std::size_t index_ = 0;
    std::vector<TStyledRun> tokens_;  // token runs of the current line, offsets in its text
    std::vector<TStyledRun> runs_;
};

}  // namespace

void style_listing(
    const std::string& bytes, const StringList& listing, const TListingSettings& settings,
    const std::function<void(std::size_t index, std::span<const TStyledRun> runs)>& line)
{
    TListingStyler(bytes, listing, settings, line).run();
}

}  // namespace tabulex
