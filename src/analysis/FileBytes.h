#pragma once
#include <stdexcept>
#include <string>

namespace tabulex {

/// Raised when a source file cannot be opened or read; the message is "Cannot open file PATH".
class EFOpenError : public std::runtime_error {
public:
    explicit EFOpenError(const std::string& path);
};

/// Reads the whole file at `path` as bytes. Throws EFOpenError when it cannot be read
/// (missing, a directory, no permission, read error).
std::string read_file_bytes(const std::string& path);

}  // namespace tabulex
