#include "HtmlSource.h"

#include <limits>

#include "PasLex.h"

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

// The 1-based line of the implementation keyword of a unit, the largest line number for a
// unit without one, and 0 for a file that is not a unit (a program, a library, a form).
long long interface_end(const std::string& bytes)
{
    TPasLex lex;
    lex.SetText(bytes.c_str());
    while (lex.TokenKind() == tkSpace || lex.TokenKind() == tkCRLF || lex.TokenKind() == tkCRLFInComment ||
           lex.TokenKind() == tkAnsiComment || lex.TokenKind() == tkBorComment ||
           lex.TokenKind() == tkSlashesComment || lex.TokenKind() == tkDirective)
        lex.Next();
    if (lex.TokenKind() != tkUnit)
        return 0;
    const auto size = static_cast<std::int32_t>(bytes.size());
    while (lex.TokenKind() != tkNull && lex.RunPosition() <= size) {
        if (lex.TokenKind() == tkImplementation)
            return lex.LineNumber() + 1LL;
        lex.Next();
    }
    return std::numeric_limits<long long>::max();
}

}  // namespace

void scan_unit_interface(const std::string& bytes, THtmlSource& source)
{
    for (const std::string& item : source.lists.ListBox5)
        for_each_used_unit(item, [&](std::size_t at, std::size_t length) { source.uses.push_back(item.substr(at, length)); });

    const long long end = interface_end(bytes);
    TXrefDeclaration declaration;
    for (const std::string& item : source.lists.listbox3) {
        if (!parse_xref_declaration(item, declaration) || declaration.line >= end)
            continue;
        // A name declared twice in an interface (overloads) links to its first declaration.
        auto [it, added] = source.interfaceNames.try_emplace(std::string(declaration.name), declaration.line);
        if (!added && declaration.line < it->second)
            it->second = declaration.line;
    }
}

}  // namespace tabulex
