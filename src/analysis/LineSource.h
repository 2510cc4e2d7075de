#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/StyledRun.h"

namespace tabulex {

/// Lines made on demand, read by index: what list views and the report's memo show.
class TLineSource {
public:
    virtual ~TLineSource() = default;
    /// Number of lines.
    virtual std::size_t size() const = 0;
    /// Line `index` (below size()); the view may point into `scratch` and is valid until the
    /// next call with the same scratch.
    virtual std::string_view line(std::size_t index, std::string& scratch) const = 0;
    /// Line `index` with its classed stretches (offsets into the returned text, in order and
    /// without overlap): every class when `all`, otherwise only the stretches that name a line
    /// or a unit (line numbers, block-end references, unit names). Plain lines have none.
    virtual std::string_view styled_line(std::size_t index, std::string& scratch,
                                         std::vector<TStyledRun>& runs, bool all) const
    {
        (void)all;
        runs.clear();
        return line(index, scratch);
    }
};

/// Lines held as strings.
class TStringLines : public TLineSource {
public:
    explicit TStringLines(std::vector<std::string> lines) : lines_(std::move(lines)) {}
    std::size_t size() const override { return lines_.size(); }
    std::string_view line(std::size_t index, std::string&) const override { return lines_[index]; }
    std::vector<std::string>& strings() { return lines_; }

private:
    std::vector<std::string> lines_;
};

}  // namespace tabulex
