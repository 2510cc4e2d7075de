#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

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
/// (missing, a directory, no permission, read error, longer than kMaxSourceBytes). A UTF-16
/// text with its byte-order mark comes back as UTF-8 (see utf16_as_utf8).
std::string read_file_bytes(const std::string& path);

/// Gives room for `bytes` bytes, or nullptr when there is none.
using TRoomFor = std::function<char*(std::size_t bytes)>;

/// Reads the regular file at `path` through one descriptor into the memory `room` gives for
/// its size plus one byte (so that a file that grew shows as a full buffer; the byte then holds
/// the NUL written after the text). No value when the file is not a regular file of at most
/// kMaxSourceBytes, changed size while being read or could not be read, or when `room` gave
/// none: read_file_bytes then reads it and reports in its words. The bytes come as they are,
/// UTF-16 included.
std::optional<std::string_view> read_regular_file(const std::string& path, const TRoomFor& room);

/// Whether `bytes` begin with a UTF-16 byte-order mark: FF FE (little-endian) or FE FF
/// (big-endian).
bool has_utf16_mark(std::string_view bytes);

/// The UTF-16 text `bytes`, which begin with their byte-order mark, as UTF-8 beginning with the
/// UTF-8 mark EF BB BF, so that it is read as any UTF-8 source with a mark. An unpaired
/// surrogate, and a last byte without its pair, become U+FFFD.
std::string utf16_as_utf8(std::string_view bytes);

/// Offset of the first NUL byte of `bytes`: the lexer takes it for the end of the text, so
/// nothing after it is listed. No value when there is none.
std::optional<std::size_t> find_nul_byte(std::string_view bytes);

}  // namespace tabulex
