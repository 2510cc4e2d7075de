#pragma once
#include <stdexcept>
#include <string>
#include <string_view>

namespace tabulex {

/// Raised when a value cannot be written to a settings file. The message is
/// "Unable to write to " followed by the file name.
class EIniFileError : public std::runtime_error {
public:
    explicit EIniFileError(const std::string& fileName);
    /// The file that could not be written.
    const std::string& fileName() const noexcept { return fileName_; }

private:
    std::string fileName_;
};

/// Private-profile (INI) file access on one file name. Every call goes to the file: reads
/// parse it anew, writes replace it at once. Nothing is cached between calls.
///
/// Reading: section and key names match without regard to ASCII case; lines before the first
/// section, lines starting with ';' and lines without '=' are ignored; a key name is the text
/// before the first '=' exactly as written; within a section the first line with the key wins
/// (and only the first section of a name counts). A value is trimmed of blanks (space, TAB),
/// then loses one pair of matching double or single quotes, then is cut to 2047 bytes.
///
/// Writing: an existing key line is replaced in place, a missing key is added after the last
/// key line of its section, a missing section is added at the end of the file and a missing
/// file is created. Other lines are kept byte for byte; lines written end with CR LF. Each
/// write replaces the whole file through a temporary file in the same folder and a rename, so
/// the file always holds either the old or the new content.
class TIniFile {
public:
    /// Longest value a read returns, in bytes.
    static constexpr std::size_t kMaxValueLength = 2047;

    explicit TIniFile(std::string fileName);

    const std::string& fileName() const noexcept { return fileName_; }

    /// Why the file cannot be read, as an errno value (ENOENT when it is missing, EISDIR for a
    /// folder); 0 when it can.
    int ReadError() const;

    /// The value under (section, key), or `defaultValue` when the file, section or key is
    /// absent. A key present with an empty value yields the empty string.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    /// The value read as an integer (see `parse_ini_integer`), or `defaultValue` when absent,
    /// empty or not a number.
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
    /// An integer value with default 1 (true) or 0 (false); any non-zero value is true.
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    /// Writes `value` unquoted, as held, under (section, key). A value is one line: it is cut
    /// at its first CR or LF. Throws EIniFileError when the file cannot be written.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    /// Writes an integer in decimal.
    void WriteInteger(std::string_view section, std::string_view key, int value);
    /// Writes "1" for true and "0" for false.
    void WriteBool(std::string_view section, std::string_view key, bool value);

private:
    std::string fileName_;
};

/// Reads `text` as a settings integer: decimal with an optional sign, fitting a signed 32-bit
/// integer; or hexadecimal after "0x", "0X", "$", "x" or "X" (no sign), up to FFFFFFFF, taken
/// as two's complement. Returns false, leaving `value` alone, for anything else.
bool parse_ini_integer(std::string_view text, int& value);

}  // namespace tabulex
