#pragma once
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tabulex::testing {

/// Joins source lines, each followed by CR LF.
inline std::string source(std::initializer_list<const char*> lines)
{
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

/// The source lines a listing must show: lines end at CR LF, a lone CR or a lone LF; the text
/// ends at the first NUL. The text after the last break is a line of its own when it reaches
/// the real end of the file (a NUL inside the file drops its unfinished line).
inline std::vector<std::string_view> source_lines(std::string_view bytes)
{
    const std::size_t nul = bytes.find('\0');
    const std::string_view text = bytes.substr(0, nul);
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (nul == std::string_view::npos && start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

}  // namespace tabulex::testing
