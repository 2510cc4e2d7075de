#include "html/HtmlSource.h"

#include "analysis/PasLex.h"

namespace tabulex {

bool TNameEqual::operator()(std::string_view a, std::string_view b) const noexcept
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

bool parse_xref_declaration(std::string_view item, TXrefDeclaration& declaration)
{
    if (item.size() < 4 || item.back() != ')')
        return false;
    const std::size_t open = item.rfind("D(");
    if (open == std::string_view::npos || open + 3 > item.size() - 1)
        return false;
    const std::size_t digits = open + 2;
    long long line = 0;
    for (std::size_t i = digits; i + 1 < item.size(); ++i) {
        if (item[i] < '0' || item[i] > '9' || line > 1'000'000'000'000LL)
            return false;
        line = line * 10 + (item[i] - '0');
    }
    const std::size_t separator = item.find(" : ");
    if (separator == 0 || separator == std::string_view::npos || separator >= open)
        return false;
    declaration.name = item.substr(0, separator);
    declaration.line = line;
    declaration.numberStart = digits;
    declaration.numberLength = item.size() - 1 - digits;
    return true;
}

namespace {

bool is_blank_or_comment(TTokenKind kind)
{
    return kind == tkSpace || kind == tkCRLF || kind == tkCRLFInComment || kind == tkAnsiComment ||
           kind == tkBorComment || kind == tkSlashesComment || kind == tkDirective;
}

}  // namespace

void scan_unit_interface(const std::string& bytes, THtmlSource& source)
{
    TPasLex lex;
    lex.SetText(bytes.c_str());
    while (is_blank_or_comment(lex.TokenKind()))
        lex.Next();
    if (lex.TokenKind() != tkUnit)
        return;  // programs, libraries and forms export nothing
    const auto size = static_cast<std::int32_t>(bytes.size());
    const auto more = [&] { return lex.TokenKind() != tkNull && lex.RunPosition() <= size; };
    while (more() && lex.TokenKind() != tkImplementation) {
        if (lex.TokenKind() == tkParenOpen) {
            // Parameter lists: the first ")" ends them, as in the cross reference.
            while (more() && lex.TokenKind() != tkParenClose)
                lex.NextSignificant();
            lex.NextSignificant();
            continue;
        }
        if (lex.TokenKind() != tkIdentifier) {
            lex.NextSignificant();
            continue;
        }
        const std::string_view name = lex.TokenView();
        lex.NextSignificant();
        if (lex.TokenKind() != tkColon)
            continue;
        lex.NextSignificant();
        // A name declared twice in an interface (overloads) links to its first declaration.
        source.interfaceNames.try_emplace(std::string(name), lex.LineNumber() + 1LL);
    }
}

void collect_uses(THtmlSource& source)
{
    source.uses.clear();
    for (const std::string& item : source.lists.ListBox5)
        for_each_used_unit(item, [&](std::size_t at, std::size_t length) {
            source.uses.push_back(item.substr(at, length));
        });
}

}  // namespace tabulex
