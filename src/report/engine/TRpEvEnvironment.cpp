#include "report/engine/TRpEvEnvironment.h"

namespace tabulex {

TRpEvEnvironment::TRpEvEnvironment()
{
    Reset();
}

void TRpEvEnvironment::Reset()
{
    values_["PAGENUMBER"] = "0";
    values_["COLUMNNUMBER"] = "0";
    values_["REPORTTITLE"] = "''";
}

std::string TRpEvEnvironment::Value(const std::string& name) const
{
    const auto it = values_.find(name);
    return it == values_.end() ? std::string() : it->second;
}

}  // namespace tabulex
