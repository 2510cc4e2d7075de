#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

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
