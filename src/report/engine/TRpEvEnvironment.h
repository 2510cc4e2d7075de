#pragma once
#include <map>
#include <string>

namespace tabulex {

/// The report's table of named values read by expression items. It always holds PAGENUMBER,
/// COLUMNNUMBER and REPORTTITLE.
class TRpEvEnvironment {
public:
    TRpEvEnvironment();

    /// Back to the initial values: "0", "0" and "''".
    void Reset();
    void SetValue(const std::string& name, const std::string& value) { values_[name] = value; }
    /// The value of a name, empty when the name is unknown.
    std::string Value(const std::string& name) const;
    const std::map<std::string, std::string>& Values() const { return values_; }

private:
    std::map<std::string, std::string> values_;
};

}  // namespace tabulex
