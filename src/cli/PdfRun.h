#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/SourceAnalysis.h"

namespace tabulex {

/// A source of a run that writes PDFs, and the PDF written for it.
struct TRunPdf {
    std::string source;
    std::string pdf;
};

/// The PDF a unit named in the uses list of `from` links to: the PDF of the run's source whose
/// file name without extension is `unit` (without regard to ASCII case), one in the folder of
/// `from` first, else the first of the run; as a path relative to the folder of `from`'s PDF.
/// Empty when the run has none (a unit of the uses list then links nowhere). The one rule for
/// which file a unit is, so that it can follow a project's own list of units later.
std::string unit_pdf_link(const std::vector<TRunPdf>& run, const TRunPdf& from,
                          std::string_view unit);

/// The listing lines [first, end) (zero-based) of routine `name` of `analysis`: from its
/// header's line to the line its final end closes it on. `name` is matched without regard to
/// case against the name after the keyword ("TFoo.Bar"), else against its last part ("Bar")
/// when only one routine has it. No value, with `error` set, when none or several match or
/// the routine has no body.
std::optional<std::pair<std::size_t, std::size_t>>
routine_lines(const TSourceAnalysis& analysis, std::string_view name, std::string& error);

}  // namespace tabulex
