#pragma once
#include <QString>
#include <string_view>

namespace tabulex {

/// Decodes single-byte Windows-1252 text for display; the five bytes the code page leaves
/// undefined keep their C1 control value.
QString fromCp1252(std::string_view bytes);

/// Encodes display text back to Windows-1252 bytes; characters outside the code page become '?'.
std::string toCp1252(const QString& text);

/// True when `bytes` is well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);

/// True when `bytes` is well-formed UTF-8 and holds at least one multi-byte sequence.
bool looksLikeUtf8Text(std::string_view bytes);

}  // namespace tabulex
