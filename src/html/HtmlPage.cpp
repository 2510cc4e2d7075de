#include <algorithm>
#include <optional>

#include "analysis/DecimalText.h"
#include "analysis/SourceEncoding.h"
#include "html/HtmlPages.h"
#include "html/HtmlText.h"
#include "html/ListingStyle.h"

namespace tabulex {

namespace {

// Where a name used on a line is declared.
struct TTarget {
    const THtmlSource* unit = nullptr;  // nullptr: this page
    long long line = 0;
};

// Resolves the names of one page: the page's own declarations first (the latest one at or
// before the use, as the cross reference counts references), then the interfaces of the
// units it uses (a later unit in the uses lists hides an earlier one), then a declaration of
// the page further down.
class TNameResolver {
public:
    TNameResolver(const THtmlSource& source, const TUnitLookup& units, long long lineCount)
        : lineCount_(lineCount)
    {
        TXrefDeclaration declaration;
        for (const std::string& item : source.lists.listbox3)
            if (parse_xref_declaration(item, declaration) && declaration.line <= lineCount)
                local_[std::string(declaration.name)].push_back(declaration.line);
        for (auto& [name, lines] : local_)
            std::sort(lines.begin(), lines.end());
        for (auto it = source.uses.rbegin(); it != source.uses.rend(); ++it) {
            const THtmlSource* unit = units(*it);
            if (unit && unit != &source &&
                std::find(used_.begin(), used_.end(), unit) == used_.end())
                used_.push_back(unit);
        }
    }

    std::optional<TTarget> resolve(std::string_view name, long long line) const
    {
        const auto local = local_.find(name);
        if (local != local_.end()) {
            const std::vector<long long>& lines = local->second;
            auto after = std::upper_bound(lines.begin(), lines.end(), line);
            if (after != lines.begin())
                return TTarget{nullptr, *std::prev(after)};
        }
        if (const TTarget used = fromUsedUnits(name); used.unit)
            return used;
        if (local != local_.end())
            return TTarget{nullptr, local->second.front()};
        return std::nullopt;
    }

    bool hasLine(long long line) const { return line >= 1 && line <= lineCount_; }

private:
    // The declaration in the used units' interfaces (no unit when none), looked up once per
    // name and page: names repeat, and a page may use dozens of units of the run.
    TTarget fromUsedUnits(std::string_view name) const
    {
        if (used_.empty())
            return {};
        if (const auto known = usedMemo_.find(name); known != usedMemo_.end())
            return known->second;
        TTarget target;
        for (const THtmlSource* unit : used_) {
            const auto found = unit->interfaceNames.find(name);
            if (found != unit->interfaceNames.end()) {
                target = {unit, found->second};
                break;
            }
        }
        usedMemo_.emplace(std::string(name), target);
        return target;
    }

    TNameMap<std::vector<long long>> local_;
    std::vector<const THtmlSource*> used_;
    mutable TNameMap<TTarget> usedMemo_;
    long long lineCount_;
};

// Listing markup is kept short (unquoted attribute values where they hold only letters,
// digits and URL-safe bytes), as a tree of thousands of files makes pages of hundreds of MB.
void append_line_href(std::string& out, const THtmlSource* unit, long long line)
{
    out += "href=";
    if (unit)
        append_url_path(out, unit->page);
    out += "#L";
    append_decimal(out, line);
}

// The opening and closing tags of each run class (identifiers and links are written apart).
// Reserved words and comments, the most frequent runs, use the bold and italic elements
// they are shown with.
std::pair<const char*, const char*> run_tags(TRunClass kind)
{
    switch (kind) {
    case TRunClass::Keyword:
        return {"<b>", "</b>"};
    case TRunClass::Comment:
        return {"<i>", "</i>"};
    case TRunClass::Prefix:
        return {"<span class=p>", "</span>"};
    case TRunClass::String:
        return {"<span class=s>", "</span>"};
    case TRunClass::Number:
        return {"<span class=m>", "</span>"};
    case TRunClass::Directive:
        return {"<span class=d>", "</span>"};
    default:
        return {"<span>", "</span>"};
    }
}

bool all_blank(std::string_view bytes)
{
    return bytes.find_first_not_of(' ') == std::string_view::npos;
}

class TPageWriter {
public:
    TPageWriter(std::string& out, THtmlSource& source, const std::string& bytes,
                const StringList& listing, const TListingSettings& settings,
                const TUnitLookup& units)
        : out_(out),
          source_(source),
          bytes_(bytes),
          listing_(listing),
          settings_(settings),
          units_(units),
          encoding_(detect_source_encoding(bytes)),
          resolver_(source, units, static_cast<long long>(listing.size()))
    {}

    void write()
    {
        source_.lines = listing_.size();
        source_.routines =
            source_.lists.ListBox4.size() >= 3 ? (source_.lists.ListBox4.size() - 3) / 2 : 0;
        TXrefDeclaration declaration;
        source_.names = static_cast<std::size_t>(std::count_if(
            source_.lists.listbox3.begin(), source_.lists.listbox3.end(),
            [&](const std::string& item) { return parse_xref_declaration(item, declaration); }));
        head();
        listing();
        if (settings_.xref)
            xref();
        if (settings_.proc_func)
            routines();
        if (settings_.units)
            uses();
        out_ += "</main>\n</body>\n</html>\n";
    }

private:
    void text(std::string_view bytes) { append_html_text(out_, bytes, encoding_); }
    void name(std::string_view bytes) { append_html_text(out_, bytes, file_name_encoding(bytes)); }

    void head()
    {
        out_ += "<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n"
                "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
        name(source_.name);
        out_ += " \xE2\x80\x94 Tabulex</title>\n<link rel=\"stylesheet\" href=\"tabulex.css\">\n"
                "<script src=\"tabulex.js\" defer></script>\n</head>\n<body "
                "class=\"fonte\">\n<header>\n"
                "<a class=\"voltar\" href=\"index.html\">\xC3\x8Dndice</a>\n<h1>";
        name(source_.name);
        out_ += "</h1>\n<span class=\"caminho\">";
        name(source_.path);
        out_ += "</span>\n<form id=\"ir\" class=\"ir\"><label>Ir para a linha "
                "<input id=\"linha\" type=\"number\" min=\"1\" max=\"";
        append_decimal(out_, static_cast<long long>(std::max<std::size_t>(listing_.size(), 1)));
        out_ +=
            "\" inputmode=\"numeric\"></label> <button type=\"submit\">Ir</button></form>\n<nav>"
            "<a href=\"#listagem\">Listagem</a>";
        if (settings_.xref)
            out_ += " <a href=\"#variaveis\">Vari\xC3\xA1veis</a>";
        if (settings_.proc_func)
            out_ += " <a href=\"#procs\">Proc/Func</a>";
        if (settings_.units)
            out_ += " <a href=\"#uses\">Uses</a>";
        out_ += "</nav>\n</header>\n<main>\n";
    }

    void listing()
    {
        out_ += "<section id=\"listagem\">\n<h2>Listagem</h2>\n<pre class=\"listagem\">";
        style_listing(bytes_, listing_, settings_,
                      [this](std::size_t index, std::span<const TStyledRun> runs) {
                          listingLine(static_cast<long long>(index) + 1, listing_[index], runs);
                      });
        out_ += "</pre>\n</section>\n";
    }

    void listingLine(long long number, std::string_view line, std::span<const TStyledRun> runs)
    {
        out_ += "<span id=L";
        append_decimal(out_, number);
        out_ += '>';
        std::size_t at = 0;
        for (const TStyledRun& run : runs) {
            text(line.substr(at, run.start - at));
            styledRun(number, line.substr(run.start, run.length), run);
            at = run.start + run.length;
        }
        text(line.substr(at));
        out_ += "</span>\n";
    }

    void styledRun(long long number, std::string_view bytes, const TStyledRun& run)
    {
        switch (run.kind) {
        case TRunClass::LineNumber:
            lineLink(nullptr, nullptr, number, bytes);
            return;
        case TRunClass::EndReference:
            if (resolver_.hasLine(run.line))
                lineLink("e", nullptr, run.line, bytes);
            else
                spanned({"<span class=e>", "</span>"}, bytes);
            return;
        case TRunClass::Prefix:
            if (all_blank(bytes)) {
                text(bytes);
                return;
            }
            break;
        case TRunClass::Identifier:
            identifier(number, bytes);
            return;
        default:
            break;
        }
        spanned(run_tags(run.kind), bytes);
    }

    void identifier(long long number, std::string_view bytes)
    {
        const std::optional<TTarget> target = resolver_.resolve(bytes, number);
        // A name on its own declaration line is not linked to itself.
        if (!target || (!target->unit && target->line == number)) {
            text(bytes);
            return;
        }
        lineLink(target->unit ? "x" : "v", target->unit, target->line, bytes);
    }

    // A link to a line; `cls` names its kind (none for line numbers).
    void lineLink(const char* cls, const THtmlSource* unit, long long line, std::string_view bytes)
    {
        out_ += "<a ";
        if (cls) {
            out_ += "class=";
            out_ += cls;
            out_ += ' ';
        }
        append_line_href(out_, unit, line);
        out_ += '>';
        text(bytes);
        out_ += "</a>";
    }

    void spanned(std::pair<const char*, const char*> tags, std::string_view bytes)
    {
        out_ += tags.first;
        text(bytes);
        out_ += tags.second;
    }

    // An item of a declaration list: its text, with any line breaks of a header written over
    // several lines shown as blanks so that each item stays on one line.
    void itemText(std::string_view item)
    {
        std::size_t at = 0;
        for (std::size_t i = 0; i < item.size(); ++i) {
            if (item[i] != '\r' && item[i] != '\n')
                continue;
            text(item.substr(at, i - at));
            out_ += ' ';
            at = i + 1;
        }
        text(item.substr(at));
    }

    void itemWithLink(std::string_view item, std::size_t start, std::size_t length, long long line)
    {
        itemText(item.substr(0, start));
        if (resolver_.hasLine(line))
            lineLink(nullptr, nullptr, line, item.substr(start, length));
        else
            itemText(item.substr(start, length));
        itemText(item.substr(start + length));
    }

    void openList(const char* id, const char* title)
    {
        out_ += "<section id=\"";
        out_ += id;
        out_ += "\">\n<h2>";
        out_ += title;
        out_ += "</h2>\n<pre class=\"lista\">";
    }
    void closeList() { out_ += "</pre>\n</section>\n"; }

    void xref()
    {
        openList("variaveis", "Vari\xC3\xA1veis");
        TXrefDeclaration declaration;
        for (const std::string& item : source_.lists.listbox3) {
            if (parse_xref_declaration(item, declaration)) {
                itemWithLink(item, declaration.numberStart, declaration.numberLength,
                             declaration.line);
            } else if (!referenceItem(item)) {
                itemText(item);
            }
            out_ += '\n';
        }
        closeList();
    }

    bool referenceItem(std::string_view item)
    {
        std::size_t at = 0;
        const bool marks = for_each_reference(item, [&](std::size_t start, std::size_t length) {
            itemText(item.substr(at, start - at));
            const std::string_view digits = item.substr(start, length);
            long long line = 0;
            for (char c : digits.substr(0, 12))
                line = line * 10 + (c - '0');
            if (resolver_.hasLine(line))
                lineLink(nullptr, nullptr, line, digits);
            else
                itemText(digits);
            at = start + length;
        });
        if (marks)
            itemText(item.substr(at));
        return marks;
    }

    void routines()
    {
        openList("procs", "Proc/Func");
        for (const std::string& item : source_.lists.ListBox4) {
            std::size_t digits = 0;
            while (digits < item.size() && digits < 12 && item[digits] >= '0' &&
                   item[digits] <= '9')
                ++digits;
            if (digits >= 4 && item.compare(digits, 3, " : ") == 0) {
                long long line = 0;
                for (std::size_t i = 0; i < digits; ++i)
                    line = line * 10 + (item[i] - '0');
                itemWithLink(item, 0, digits, line);
            } else {
                itemText(item);
            }
            out_ += '\n';
        }
        closeList();
    }

    void uses()
    {
        openList("uses", "Uses");
        for (const std::string& item : source_.lists.ListBox5) {
            std::size_t at = 0;
            std::string_view view = item;
            for_each_used_unit(view, [&](std::size_t start, std::size_t length) {
                const THtmlSource* unit = units_(view.substr(start, length));
                if (!unit)
                    return;
                itemText(view.substr(at, start - at));
                out_ += "<a class=\"u\" href=\"";
                append_url_path(out_, unit->page);
                out_ += "\">";
                itemText(view.substr(start, length));
                out_ += "</a>";
                at = start + length;
            });
            itemText(view.substr(at));
            out_ += '\n';
        }
        closeList();
    }

    std::string& out_;
    THtmlSource& source_;
    const std::string& bytes_;
    const StringList& listing_;
    const TListingSettings& settings_;
    const TUnitLookup& units_;
    SourceEncoding encoding_;
    TNameResolver resolver_;
};

}  // namespace

void append_source_page(std::string& out, THtmlSource& source, const std::string& bytes,
                        const StringList& listing, const TListingSettings& settings,
                        const TUnitLookup& units)
{
    TPageWriter(out, source, bytes, listing, settings, units).write();
}

}  // namespace tabulex
