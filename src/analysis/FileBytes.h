#pragma once
#include <cstddef>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

namespace tabulex {

/// Raised when a source file cannot be opened or read; the message is "Cannot open file PATH".
class EFOpenError : public std::runtime_error {
public:
    explicit EFOpenError(const std::string& path);
};

/// Largest source file read_file_bytes accepts. The lexer addresses its text with signed
/// 32-bit offsets, so a longer text could not be walked.
inline constexpr std::size_t kMaxSourceBytes = std::numeric_limits<std::int32_t>::max() - 1;

/// Reads the whole file at `path` as bytes. Throws EFOpenError when it cannot be read
/// (missing, a directory, no permission, read error, longer than kMaxSourceBytes).
std::string read_file_bytes(const std::string& path);

}  // namespace tabulex
