#include "project/SourceLines.h"

#include <algorithm>

namespace tabulex {

std::vector<std::uint32_t> line_starts_of(std::string_view bytes)
{
    std::vector<std::uint32_t> starts{0};
    const std::size_t end = std::min(bytes.size(), bytes.find('\0'));
    for (std::size_t i = 0; i < end; ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        if (bytes[i] == '\r' && i + 1 < end && bytes[i + 1] == '\n')
            ++i;
        starts.push_back(static_cast<std::uint32_t>(i + 1));
    }
    starts.push_back(static_cast<std::uint32_t>(end));
    return starts;
}

std::string_view line_text(std::string_view bytes, const std::vector<std::uint32_t>& starts,
                           int line)
{
    if (line < 1 || static_cast<std::size_t>(line) + 1 > starts.size())
        return {};
    const std::size_t begin = starts[static_cast<std::size_t>(line) - 1];
    std::size_t end = std::min<std::size_t>(starts[static_cast<std::size_t>(line)], bytes.size());
    while (end > begin && (bytes[end - 1] == '\n' || bytes[end - 1] == '\r'))
        --end;
    return bytes.substr(begin, end - begin);
}

}  // namespace tabulex
