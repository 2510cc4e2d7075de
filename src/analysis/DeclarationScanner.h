#pragma once
#include <string>

#include "analysis/StringList.h"

namespace tabulex {

/// The three declaration lists of one file, line by line as the main window shows them.
struct TDeclarationLists {
    StringList xref;      ///< the cross reference ("Variáveis")
    StringList routines;  ///< the routine headers ("Proc/Func")
    StringList uses;      ///< the units of the uses clauses ("Uses")
};

/// The declaration lists of a source's bytes, as strings. For callers that want them as
/// strings; the program's views read them from a TListingWriter.
TDeclarationLists scan_declarations(const std::string& bytes);

}  // namespace tabulex
