#pragma once
#include <string>

namespace tabulex {

class TF_dif;

/// The title of the report of `path`: "Visão Prévia : " followed by the path (Windows-1252).
std::string report_title_for(const std::string& path);

/// Prepares the program's report for the file at `path` (in the report's single-byte code
/// page) as "Visão Prévia" does before it starts the preview: the memo's lines are cleared,
/// the report title becomes report_title_for(path) and the header label `RpLabel5` shows the
/// path alone.
void prepare_report_for(TF_dif& form, const std::string& path);

}  // namespace tabulex
