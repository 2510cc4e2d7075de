#pragma once
#include <string>

namespace tabulex {

/// The sixteen program-wide Listing settings, in their fixed order, with their defaults.
/// Marker strings may be empty; `colunas` is the report's column count minus one.
struct TListingSettings {
    std::string prenivel = "{";   ///< before the level number where a level opens
    std::string suffnivel = "}";  ///< after the level number where a level closes
    std::string prefnivel = "{";  ///< before the level number where a level closes
    std::string sufnivel = "}";   ///< after the level number where a level opens
    std::string begin = ">>>";    ///< marker on the begin of a routine's body
    std::string sufend = "-///";  ///< after the start-line number of a block-end reference
    std::string preend = "///-";  ///< before the start-line number of a block-end reference
    bool Numeracao = true;        ///< number every listing line
    bool Final = true;            ///< end a closing line with the block-end reference
    int Identacao = 0;            ///< 0 "Com Colunas", 1 "Só números", 2 "Nenhum"
    std::string coluna = "|";     ///< column marker, once per open level
    int colunas = 1;              ///< report columns minus one
    bool listagem = true;         ///< report and export include the listing
    bool xref = true;             ///< ... the cross reference
    bool proc_func = true;        ///< ... the routine list
    bool units = true;            ///< ... the uses list

    bool operator==(const TListingSettings&) const = default;
};

}  // namespace tabulex
