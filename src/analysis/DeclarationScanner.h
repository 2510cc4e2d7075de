#pragma once
#include <string>

#include "analysis/StringList.h"

namespace tabulex {

/// The three declaration lists of one file, item by item as the main window shows them.
struct TDeclarationLists {
    StringList listbox3;  ///< cross reference ("Variáveis")
    StringList ListBox4;  ///< routine headers ("Proc/Func")
    StringList ListBox5;  ///< units of the uses clauses ("Uses")
};

/// Scans a source file's bytes for declarations, references, routine headers and uses
/// clauses. `bytes` is NUL-terminated by std::string.
TDeclarationLists scan_declarations(const std::string& bytes);

}  // namespace tabulex
