#include "app/ItemLines.h"

#include <algorithm>
#include <charconv>

namespace tabulex {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads the decimal number at the start of `text`; 0 digits, or too many, give no number.
int leadingNumber(std::string_view text, std::size_t& digits)
{
    digits = 0;
    while (digits < text.size() && isDigit(text[digits]))
        ++digits;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + digits, value);
    if (digits == 0 || error != std::errc() || end != text.data() + digits)
        return 0;
    return value;
}

// "0008 : procedure Soma ..." : a routine header.
bool routineLine(std::string_view item, std::vector<int>& lines)
{
    std::size_t digits = 0;
    const int line = leadingNumber(item, digits);
    if (line <= 0 || item.substr(digits, 3) != " : ")
        return false;
    lines.push_back(line);
    return true;
}

// "Total : Integer D(0005)" : a declaration, numbered at its end.
bool declarationLine(std::string_view item, std::vector<int>& lines)
{
    if (item.empty() || item.back() != ')')
        return false;
    const std::size_t open = item.rfind("D(");
    if (open == std::string_view::npos || open == 0 || item[open - 1] != ' ')
        return false;
    const std::string_view number = item.substr(open + 2, item.size() - open - 3);
    std::size_t digits = 0;
    const int line = leadingNumber(number, digits);
    if (line <= 0 || digits != number.size())
        return false;
    lines.push_back(line);
    return true;
}

// "=(0012)  .(0013)   " : a line of reference marks, nothing else.
void referenceLines(std::string_view item, std::vector<int>& lines)
{
    std::vector<int> found;
    std::size_t at = item.find_first_not_of(' ');
    while (at != std::string_view::npos) {
        if (item.substr(at, 2) != "=(" && item.substr(at, 2) != ".(")
            return;
        std::size_t digits = 0;
        const int line = leadingNumber(item.substr(at + 2), digits);
        if (line <= 0 || item.substr(at + 2 + digits, 1) != ")")
            return;
        if (std::find(found.begin(), found.end(), line) == found.end())
            found.push_back(line);
        at = item.find_first_not_of(' ', at + 3 + digits);
    }
    lines.insert(lines.end(), found.begin(), found.end());
}

}  // namespace

std::vector<int> item_line_numbers(std::string_view item)
{
    std::vector<int> lines;
    if (!routineLine(item, lines) && !declarationLine(item, lines))
        referenceLines(item, lines);
    return lines;
}

}  // namespace tabulex
