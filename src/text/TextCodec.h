#pragma once
#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "analysis/SourceEncoding.h"

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

/// Decodes text held in `encoding` for display; malformed UTF-8 shows U+FFFD.
QString decodeText(std::string_view bytes, SourceEncoding encoding);

/// Encodes display text to `encoding`; Windows-1252 turns what it lacks into '?'.
std::string encodeText(const QString& text, SourceEncoding encoding);

/// True when every character of `text` has a Windows-1252 byte.
bool fitsCp1252(const QString& text);

/// The Windows-1252 byte of a code point, if the code page has one.
std::optional<unsigned char> cp1252Byte(char32_t codePoint);

/// The code point of Windows-1252 byte `byte`.
char32_t cp1252CodePoint(unsigned char byte);

/// Decodes the UTF-8 character at `pos` and moves `pos` past it. A malformed sequence gives
/// U+FFFD and moves one byte, so every byte is consumed exactly once.
char32_t nextUtf8CodePoint(std::string_view bytes, std::size_t& pos);

/// Appends the UTF-8 form of `codePoint`.
void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace tabulex
