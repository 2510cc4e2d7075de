#pragma once
#include <QColor>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tabulex {

/// How a style draws a stretch of a memo line, on top of the memo's own font and colour.
struct TRpRunStyle {
    QColor color;  ///< invalid: the memo's font colour
    bool bold = false;
    bool italic = false;
};

/// A stretch of a memo line: the style it is drawn in (0: the memo's own) and what it links to.
struct TRpRun {
    static constexpr std::size_t kNoAnchor = static_cast<std::size_t>(-1);

    std::uint32_t start = 0;
    std::uint32_t length = 0;
    std::uint16_t style = 0;
    std::int32_t file = -1;          ///< a link to file(file) of the lines (-1: none)
    std::size_t anchor = kNoAnchor;  ///< a link to where line `anchor` of the lines begins
};

/// Lines of a memo that carry styled stretches and links. Every line is an anchor: links name
/// a line by its index, and lead to where that line's first formatted line is printed.
class TRpMarkedLines {
public:
    virtual ~TRpMarkedLines() = default;
    /// Line `index` with its stretches (offsets into the returned text, in order and without
    /// overlap): the styled ones and the links when `styled`, the links only otherwise. The
    /// view may point into `scratch`, as TLineSource::line.
    virtual std::string_view marked_line(std::size_t index, std::string& scratch,
                                         std::vector<TRpRun>& runs, bool styled) const = 0;
    /// The file that runs with `file` == `index` link to.
    virtual const std::string& file(std::int32_t index) const = 0;
};

}  // namespace tabulex
