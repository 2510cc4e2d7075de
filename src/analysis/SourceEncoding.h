#pragma once

#include <string_view>

namespace tabulex {

/// The character encoding of one source file, decided once from its bytes and carried with
/// the loaded file to every surface that shows or draws its text.
enum class SourceEncoding {
    Windows1252,  ///< single-byte text, the default for anything that is not UTF-8
    Utf8,         ///< well-formed UTF-8 holding at least one multi-byte sequence
};

/// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or code points past
/// U+10FFFF).
bool is_valid_utf8(std::string_view bytes);

/// The encoding of a source file: UTF-8 when its bytes are valid UTF-8 and hold at least one
/// byte of 0x80 or above (a byte-order mark counts), Windows-1252 otherwise. Plain ASCII is
/// Windows-1252, whose bytes read the same in both.
SourceEncoding detect_source_encoding(std::string_view bytes);

}  // namespace tabulex
