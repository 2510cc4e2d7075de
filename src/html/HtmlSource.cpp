#include "html/HtmlSource.h"

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

void collect_interface_names(THtmlSource& source)
{
    const TSourceAnalysis& analysis = *source.analysis;
    if (!analysis.is_unit())
        return;
    for (const TDeclaration& declaration : analysis.declarations()) {
        if (!declaration.in_interface)
            break;
        source.interfaceNames.try_emplace(std::string(analysis.text(declaration.name)),
                                          declaration.line);
    }
}

}  // namespace tabulex
