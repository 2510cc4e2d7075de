#pragma once
#include <string>

namespace tabulex {

class TRpPrinter;
class TRpPage;

/// Writes the recorded pages of a finished page output to a PDF file: one PDF page per
/// recorded page, of the report page's size, each page's picture replayed scaled to the
/// PDF's resolution. Returns false when the file cannot be written.
bool rpWritePdf(const TRpPrinter& output, const TRpPage& page, const std::string& path);

}  // namespace tabulex
