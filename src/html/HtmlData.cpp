// The data the pages load on demand: each page's references and the search over every
// declared name. Scripts that call a function of the page script, so that they load from
// file:// as well as from a server.
#include <algorithm>
#include <map>

#include "analysis/DecimalText.h"
#include "analysis/ParallelFor.h"
#include "html/HtmlPages.h"
#include "html/HtmlText.h"

namespace tabulex {

namespace {

// The lines of other pages shown with a declaration's references: enough to read the uses,
// not so many that a name used a hundred thousand times fills the disk.
constexpr std::size_t kQuotedReferences = 100;
constexpr std::size_t kQuotedBytes = 100;

const char* kind_name(TDeclarationKind kind)
{
    switch (kind) {
    case TDeclarationKind::Unit:
        return "unidade";
    case TDeclarationKind::Program:
        return "programa";
    case TDeclarationKind::Library:
        return "biblioteca";
    case TDeclarationKind::Constant:
        return "constante";
    case TDeclarationKind::ResourceString:
        return "resourcestring";
    case TDeclarationKind::Type:
        return "tipo";
    case TDeclarationKind::Variable:
        return "vari\xC3\xA1vel";
    case TDeclarationKind::Local:
        return "vari\xC3\xA1vel local";
    case TDeclarationKind::Field:
        return "campo";
    case TDeclarationKind::Property:
        return "propriedade";
    case TDeclarationKind::Method:
        return "m\xC3\xA9todo";
    case TDeclarationKind::Routine:
        return "rotina";
    case TDeclarationKind::Parameter:
        return "par\xC3\xA2metro";
    case TDeclarationKind::EnumValue:
        return "valor enumerado";
    case TDeclarationKind::Label:
        return "r\xC3\xB3tulo";
    }
    return "";
}

// The mark of a reference after its line; a read, the most frequent, has none.
const char* reference_mark(TReferenceKind kind)
{
    switch (kind) {
    case TReferenceKind::Write:
        return "e";  // escrita
    case TReferenceKind::Declaration:
        return "d";
    default:
        return "";  // leitura
    }
}

// The data scripts write a kind as its number in TDeclarationKind and carry the list of
// kind names once to name it.
void append_kinds(std::string& out)
{
    out += '[';
    for (int kind = 0; kind <= static_cast<int>(TDeclarationKind::Label); ++kind) {
        if (kind > 0)
            out += ',';
        out += '"';
        out += kind_name(static_cast<TDeclarationKind>(kind));
        out += '"';
    }
    out += ']';
}

void append_kind(std::string& out, TDeclarationKind kind)
{
    append_decimal(out, static_cast<long long>(kind));
}

// A line's text for a quotation: without its leading blanks, cut at a character boundary.
std::string_view quoted(std::string_view line, SourceEncoding encoding)
{
    const std::size_t start = line.find_first_not_of(" \t");
    line = start == std::string_view::npos ? std::string_view() : line.substr(start);
    if (line.size() <= kQuotedBytes)
        return line;
    std::size_t cut = kQuotedBytes;
    if (encoding == SourceEncoding::Utf8)
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
    return line.substr(0, cut);
}

void append_string(std::string& out, std::string_view bytes, SourceEncoding encoding)
{
    out += '"';
    append_js_string(out, bytes, encoding);
    out += '"';
}

// The search key of a name: its first two characters folded to lower case; characters a
// file name should not hold become "~", and a one-letter name gets "~" as its second.
std::string search_key(std::string_view name)
{
    std::string key;
    for (std::size_t i = 0; i < 2; ++i) {
        char c = i < name.size() ? name[i] : '~';
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        key += plain ? c : '~';
    }
    return key;
}

// Locals, parameters and labels are found from their routine; the search holds the rest.
bool searchable(TDeclarationKind kind)
{
    return kind != TDeclarationKind::Local && kind != TDeclarationKind::Parameter &&
           kind != TDeclarationKind::Label;
}

}  // namespace

std::string references_script_path(std::string_view script)
{
    // 64-bit FNV-1a: two different scripts of one folder never meet in practice.
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const char c : script)
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    static constexpr char kHex[] = "0123456789abcdef";
    std::string path(kDataFolder);
    path += "/r-";
    for (int shift = 60; shift >= 0; shift -= 4)
        path += kHex[(hash >> shift) & 0xF];
    path += ".js";
    return path;
}

std::string search_script_path(std::string_view key)
{
    std::string path(kDataFolder);
    path += "/b-";
    path += key;
    path += ".js";
    return path;
}

// {p: [page paths], d: {id: [name, kind, "references"]}, t: {"page:line": text}}: the pages
// the references stand in, each declaration of this page with its kind (a number) and its
// references, and the text of the lines of other pages they stand on. A
// declaration's references are one string, in file and line order: "page:line" where the
// page changes, then the line's distance from the one before; each followed by "e" for a
// write, "d" for a declaration, nothing for a read ("0:27d,33,6e,1:8").
void append_references_data(std::string& out, const THtmlRun& run, std::uint32_t page,
                            std::vector<std::uint32_t>& slot)
{
    const TProjectIndex& project = run.project;
    const std::uint32_t file = run.pages[page].file;
    std::vector<std::uint32_t> pages{page};  // pages the references stand in; this one first
    // Per page of the run, its place in `pages` (kNoId while not there); cleared of this
    // page's entries on the way out, for the caller's next page.
    slot.resize(run.pages.size(), kNoId);
    slot[page] = 0;
    struct TClear {  // also when the page runs out of memory half way
        std::vector<std::uint32_t>& slot;
        const std::vector<std::uint32_t>& pages;
        ~TClear()
        {
            for (const std::uint32_t used : pages)
                slot[used] = kNoId;
        }
    } clear{slot, pages};
    struct TQuote {
        std::uint32_t file;
        int line;
        std::uint32_t slot;
        auto operator<=>(const TQuote&) const = default;
    };
    std::vector<TQuote> quotes;  // lines of other pages to quote
    std::string declarations;
    for (std::uint32_t id : run.declared_in[file]) {
        const TProjectDeclaration& declaration = project.declarations()[id];
        if (!declarations.empty())
            declarations += ",\n";
        append_decimal(declarations, id);
        declarations += ":[";
        append_string(declarations, declaration.name, run.encodings[file]);
        declarations += ',';
        append_kind(declarations, declaration.kind);
        declarations += ",\"";
        std::size_t quotedHere = 0;
        std::uint32_t lastSlot = kNoId;
        int lastLine = 0;
        for (std::uint32_t r : project.references_of(id)) {
            const TProjectReference& reference = project.references()[r];
            const THtmlPage* at = run.page_of(reference.file);
            if (at == nullptr)
                continue;
            const auto target = static_cast<std::uint32_t>(at - run.pages.data());
            if (slot[target] == kNoId) {
                slot[target] = static_cast<std::uint32_t>(pages.size());
                pages.push_back(target);
            }
            const std::uint32_t here = slot[target];
            if (target != page && quotedHere < kQuotedReferences) {
                quotes.push_back({reference.file, reference.line, here});
                ++quotedHere;
            }
            if (lastSlot != kNoId)
                declarations += ',';
            if (here != lastSlot) {
                append_decimal(declarations, here);
                declarations += ':';
                append_decimal(declarations, reference.line);
            } else {
                append_decimal(declarations, reference.line - lastLine);
            }
            declarations += reference_mark(reference.kind);
            lastSlot = here;
            lastLine = reference.line;
        }
        declarations += "\"]";
    }

    std::sort(quotes.begin(), quotes.end());
    quotes.erase(std::unique(quotes.begin(), quotes.end()), quotes.end());

    out.reserve(out.size() + declarations.size() + quotes.size() * 64 + pages.size() * 40 + 32);
    out += "{p:[";
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (i > 0)
            out += ',';
        append_string(out, run.pages[pages[i]].path, SourceEncoding::Utf8);
    }
    out += "],\nd:{";
    out += declarations;
    out += "},\nt:{";
    bool first = true;
    for (const TQuote& quote : quotes) {
        if (!first)
            out += ",\n";
        first = false;
        out += '"';
        append_decimal(out, quote.slot);
        out += ':';
        append_decimal(out, quote.line);
        out += "\":";
        const SourceEncoding encoding = run.encodings[quote.file];
        append_string(out, quoted(run.line_text(quote.file, quote.line), encoding), encoding);
    }
    out += "}}";
}

void append_references_script(std::string& out, std::span<const std::uint32_t> pages,
                              std::span<const std::string> data)
{
    out += "TX.r(";
    append_kinds(out);
    out += ",{";
    bool first = true;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (data[i].empty())
            continue;
        out += first ? "\n" : ",\n";
        first = false;
        append_decimal(out, pages[i]);
        out += ':';
        out += data[i];
    }
    out += "});\n";
}

namespace {

// One search script: TX.b(key, kinds, [[name, kind, page, line, uses, id], ...]), the declared
// names of one key, each with its kind (a number, named by `kinds`), where it is declared and
// how often it is used (`uses`, by declaration).
void append_search_script(std::string& script, const THtmlRun& run, std::string_view key,
                          const std::vector<std::uint32_t>& ids,
                          const std::vector<std::uint32_t>& uses)
{
    const TProjectIndex& project = run.project;
    script += "TX.b(\"";
    script += key;
    script += "\",";
    append_kinds(script);
    script += ",[";
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const TProjectDeclaration& declaration = project.declarations()[ids[i]];
        script += i == 0 ? "\n[" : ",\n[";
        append_string(script, declaration.name, run.encodings[declaration.file]);
        script += ',';
        append_kind(script, declaration.kind);
        script += ',';
        append_decimal(script, run.page_of_file[declaration.file]);
        script += ',';
        append_decimal(script, declaration.line);
        script += ',';
        append_decimal(script, uses[ids[i]]);
        script += ',';
        append_decimal(script, ids[i]);
        script += ']';
    }
    script += "]);\n";
}

}  // namespace

std::vector<std::pair<std::string, std::string>> search_scripts(const THtmlRun& run, unsigned jobs)
{
    const TProjectIndex& project = run.project;
    // Every name's uses, counted in one pass over the references rather than name by name
    // (a name's references lie all over them).
    std::vector<std::uint32_t> uses(project.declarations().size());
    for (const TProjectReference& reference : project.references())
        if (reference.kind != TReferenceKind::Declaration && reference.declaration < uses.size())
            ++uses[reference.declaration];
    std::map<std::string, std::vector<std::uint32_t>> by_key;
    for (const TProjectDeclaration& declaration : project.declarations())
        if (searchable(declaration.kind) && run.page_of(declaration.file) != nullptr)
            by_key[search_key(declaration.name)].push_back(declaration.id);
    std::vector<std::pair<std::string, std::string>> scripts;
    std::vector<const std::vector<std::uint32_t>*> keyed;
    for (const auto& [key, ids] : by_key) {
        scripts.emplace_back(key, std::string());
        keyed.push_back(&ids);
    }
    parallel_for(scripts.size(), jobs, [&](std::size_t k) {
        append_search_script(scripts[k].second, run, scripts[k].first, *keyed[k], uses);
    });
    return scripts;
}

}  // namespace tabulex
