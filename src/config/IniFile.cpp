#include "config/IniFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <vector>

#if __has_include(<unistd.h>)
#include <unistd.h>
#define TABULEX_HAVE_FSYNC 1
#endif

namespace fs = std::filesystem;

namespace tabulex {

EIniFileError::EIniFileError(const std::string& fileName)
    : std::runtime_error("Unable to write to " + fileName), fileName_(fileName)
{}

namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kLineEnd = "\r\n";

// One line of the file with the line end it had ("" for a last line without one).
struct Line {
    std::string text;
    std::string eol;
};

std::vector<Line> split_lines(std::string_view content)
{
    std::vector<Line> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (c != '\r' && c != '\n')
            continue;
        const bool crlf = c == '\r' && i + 1 < content.size() && content[i + 1] == '\n';
        lines.push_back(
            {std::string(content.substr(start, i - start)), crlf ? "\r\n" : std::string(1, c)});
        if (crlf)
            ++i;
        start = i + 1;
    }
    if (start < content.size())
        lines.push_back({std::string(content.substr(start)), ""});
    return lines;
}

std::string join_lines(const std::vector<Line>& lines)
{
    std::string content;
    for (const Line& line : lines)
        content.append(line.text).append(line.eol);
    return content;
}

char lower_ascii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equal_ci(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lower_ascii(x) == lower_ascii(y);
           });
}

std::string_view trim_blanks(std::string_view s)
{
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

// The section name of a "[name]" line (leading blanks allowed, text after ']' ignored).
std::optional<std::string_view> section_name(std::string_view line)
{
    const auto open = line.find_first_not_of(kBlanks);
    if (open == std::string_view::npos || line[open] != '[')
        return std::nullopt;
    const auto close = line.find(']', open + 1);
    if (close == std::string_view::npos)
        return std::nullopt;
    return line.substr(open + 1, close - open - 1);
}

// The position of '=' on a key line, or npos for comments and other lines.
std::size_t key_separator(std::string_view line)
{
    if (line.empty() || line.front() == ';')
        return std::string_view::npos;
    return line.find('=');
}

// Where a key stands in the file, or would go. Only the first section of a name counts.
struct KeyPlace {
    std::optional<std::size_t> section;  // line of the section header
    std::optional<std::size_t> key;      // line of the key
    std::size_t lastKey = 0;             // last key line of the section (or its header)
};

KeyPlace find_key(const std::vector<Line>& lines, std::string_view section, std::string_view key)
{
    KeyPlace place;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view text = lines[i].text;
        if (const auto name = section_name(text)) {
            if (place.section)
                break;  // the section ended
            if (equal_ci(*name, section)) {
                place.section = i;
                place.lastKey = i;
            }
            continue;
        }
        if (!place.section)
            continue;
        const auto eq = key_separator(text);
        if (eq == std::string_view::npos)
            continue;
        place.lastKey = i;
        if (!place.key && equal_ci(text.substr(0, eq), key))
            place.key = i;
    }
    return place;
}

std::string clean_value(std::string_view raw)
{
    std::string_view value = trim_blanks(raw);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, TIniFile::kMaxValueLength));
}

enum class FileState { Read, Missing, Unreadable };

// Reads the whole file; `error` gets the reason (an errno value) when it is missing or cannot
// be read. Only regular files are opened, so that a named pipe is refused, never waited on.
FileState read_file(const fs::path& path, std::string& content, int* error = nullptr)
{
    std::error_code ec;
    const auto status = fs::status(path, ec);
    int reason = 0;
    if (status.type() == fs::file_type::not_found)
        reason = ENOENT;
    else if (ec)
        reason = ec.value();
    else if (status.type() == fs::file_type::directory)
        reason = EISDIR;
    else if (status.type() != fs::file_type::regular)
        reason = EINVAL;
    if (reason == 0) {
        errno = 0;
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            reason = errno != 0 ? errno : EACCES;
        } else {
            std::ostringstream buffer;
            buffer << in.rdbuf();
            if (in.bad())
                reason = EIO;
            else
                content = std::move(buffer).str();
        }
    }
    if (error != nullptr)
        *error = reason;
    if (reason == 0)
        return FileState::Read;
    return reason == ENOENT ? FileState::Missing : FileState::Unreadable;
}

// Closes a C stream when it goes out of scope (unless closed explicitly).
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Writes all of `bytes` at the stream's position and pushes them to the disk.
bool write_all(std::FILE* f, std::string_view bytes)
{
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        return false;
    if (std::fflush(f) != 0)
        return false;
#ifdef TABULEX_HAVE_FSYNC
    if (::fsync(::fileno(f)) != 0)
        return false;
#endif
    return true;
}

bool close_checked(FilePtr& f)
{
    return std::fclose(f.release()) == 0;
}

bool is_writable_file(const fs::path& path)
{
    return FilePtr(std::fopen(path.c_str(), "r+b")) != nullptr;
}

// Creates a new, exclusive temporary file beside `target`; empty on failure.
std::pair<FilePtr, fs::path> create_temp_beside(const fs::path& target)
{
    static std::mt19937_64 random{std::random_device{}()};
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    for (int attempt = 0; attempt < 8; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%08llx.tmp",
                      static_cast<unsigned long long>(random() & 0xffffffffULL));
        fs::path temp = folder / (target.filename().string() + suffix);
        if (FilePtr f{std::fopen(temp.c_str(), "wbx")})
            return {std::move(f), std::move(temp)};
        std::error_code ec;
        if (!fs::exists(temp, ec))
            break;  // not a name clash: the folder refuses new files
    }
    return {FilePtr{}, fs::path{}};
}

enum class ReplaceResult { Done, NoTempFile, Failed };

// Writes `content` to a temporary file and renames it over `target`.
ReplaceResult replace_by_rename(const fs::path& target, std::string_view content)
{
    auto [file, temp] = create_temp_beside(target);
    if (!file)
        return ReplaceResult::NoTempFile;
    std::error_code ec;
    const bool written = write_all(file.get(), content) && close_checked(file);
    if (written && fs::exists(target, ec))
        fs::permissions(temp, fs::status(target, ec).permissions(), ec);
    if (written)
        fs::rename(temp, target, ec);
    if (!written || ec) {
        fs::remove(temp, ec);
        return ReplaceResult::Failed;
    }
    return ReplaceResult::Done;
}

// Rewrites an existing file in place, from the first byte that changes on. Used only when no
// temporary file can be made beside it; on a write error the old bytes are put back.
bool replace_in_place(const fs::path& target, std::string_view oldContent, std::string_view content)
{
    FilePtr file{std::fopen(target.c_str(), "r+b")};
    if (!file)
        return false;
    const auto mismatch =
        std::mismatch(oldContent.begin(), oldContent.end(), content.begin(), content.end());
    const auto from = static_cast<std::size_t>(mismatch.first - oldContent.begin());
    const auto rewrite = [&](std::string_view bytes) {
        return std::fseek(file.get(), static_cast<long>(from), SEEK_SET) == 0 &&
               write_all(file.get(), bytes.substr(from));
    };
    bool ok = rewrite(content);
    std::error_code ec;
    if (ok && content.size() < oldContent.size()) {
        fs::resize_file(target, content.size(), ec);
        ok = !ec;
    }
    if (!ok) {
        rewrite(oldContent);
        fs::resize_file(target, oldContent.size(), ec);
    }
    return close_checked(file) && ok;
}

// The file to write: a symbolic link is followed so that the link itself survives.
fs::path write_target(const std::string& fileName)
{
    const fs::path path(fileName);
    std::error_code ec;
    if (!fs::is_symlink(path, ec))
        return path;
    const fs::path resolved = fs::weakly_canonical(path, ec);
    return ec ? path : resolved;
}

std::string single_line(std::string_view value)
{
    return std::string(value.substr(0, value.find_first_of("\r\n")));
}

}  // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName))
{}

int TIniFile::ReadError() const
{
    std::string content;
    int error = 0;
    read_file(fileName_, content, &error);
    return error;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const
{
    std::string content;
    if (read_file(fileName_, content) != FileState::Read)
        return std::string(defaultValue);
    const std::vector<Line> lines = split_lines(content);
    const KeyPlace place = find_key(lines, section, key);
    if (!place.key)
        return std::string(defaultValue);
    const std::string_view text = lines[*place.key].text;
    return clean_value(text.substr(text.find('=') + 1));
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const
{
    int value = defaultValue;
    parse_ini_integer(ReadString(section, key, ""), value);
    return value;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    const fs::path target = write_target(fileName_);
    std::string oldContent;
    const FileState state = read_file(target, oldContent);
    // An existing file that cannot be read must not be replaced by a file with one key.
    if (state == FileState::Unreadable)
        throw EIniFileError(fileName_);
    // A write-protected file stays as it is, even where its folder would allow replacing it.
    if (state == FileState::Read && !is_writable_file(target))
        throw EIniFileError(fileName_);

    std::vector<Line> lines = split_lines(oldContent);
    const KeyPlace place = find_key(lines, section, key);
    const std::string valueLine = single_line(value);
    if (place.key) {
        Line& line = lines[*place.key];
        line.text = line.text.substr(0, line.text.find('=') + 1) + valueLine;
        line.eol = kLineEnd;
    } else if (place.section) {
        if (lines[place.lastKey].eol.empty())
            lines[place.lastKey].eol = kLineEnd;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(place.lastKey + 1),
                     Line{std::string(key) + "=" + valueLine, std::string(kLineEnd)});
    } else {
        if (!lines.empty()) {
            if (lines.back().eol.empty())
                lines.back().eol = kLineEnd;
            lines.push_back({"", std::string(kLineEnd)});
        }
        lines.push_back({"[" + std::string(section) + "]", std::string(kLineEnd)});
        lines.push_back({std::string(key) + "=" + valueLine, std::string(kLineEnd)});
    }
    const std::string content = join_lines(lines);
    if (state == FileState::Read && content == oldContent)
        return;

    switch (replace_by_rename(target, content)) {
    case ReplaceResult::Done:
        return;
    case ReplaceResult::NoTempFile:
        if (state == FileState::Read && replace_in_place(target, oldContent, content))
            return;
        break;
    case ReplaceResult::Failed:
        break;
    }
    throw EIniFileError(fileName_);
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

namespace {

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::size_t hex_prefix_length(std::string_view text)
{
    if (text.starts_with("0x") || text.starts_with("0X"))
        return 2;
    if (text.starts_with('$') || text.starts_with('x') || text.starts_with('X'))
        return 1;
    return 0;
}

}  // namespace

bool parse_ini_integer(std::string_view text, int& value)
{
    if (const std::size_t prefix = hex_prefix_length(text)) {
        const std::string_view digits = text.substr(prefix);
        if (digits.empty())
            return false;
        std::uint64_t number = 0;
        for (const char c : digits) {
            const int digit = hex_digit(c);
            if (digit < 0)
                return false;
            number = number * 16 + static_cast<unsigned>(digit);
            if (number > 0xFFFFFFFFULL)
                return false;
        }
        value = static_cast<int>(static_cast<std::uint32_t>(number));
        return true;
    }
    const bool negative = text.starts_with('-');
    const std::string_view digits = (negative || text.starts_with('+')) ? text.substr(1) : text;
    if (digits.empty())
        return false;
    std::int64_t number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + (c - '0');
        if (number > std::int64_t{0x80000000})
            return false;
    }
    if (negative)
        number = -number;
    if (number > 0x7FFFFFFF)
        return false;
    value = static_cast<int>(number);
    return true;
}

}  // namespace tabulex
