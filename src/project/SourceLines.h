#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

namespace tabulex {

/// Where each line of `bytes` begins, as the lexer counts lines (CR LF, CR or LF; the text
/// ends at a NUL), followed by the end of the text: line N (1-based) is [starts[N-1],
/// starts[N]).
std::vector<std::uint32_t> line_starts_of(std::string_view bytes);

/// Line `line` (1-based) of `bytes` without the line break that ends it; empty for a line
/// the text does not have. `starts` is line_starts_of(bytes).
std::string_view line_text(std::string_view bytes, const std::vector<std::uint32_t>& starts,
                           int line);

}  // namespace tabulex
