// Arbitrary settings-file text through the INI reader and the settings reader, plus the
// integer parser. The input is split at NUL bytes: file text, then optionally a section, a key
// and a value that are written into the file and must read back by the reading rules.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "config/IniFile.h"
#include "config/ListingSettingsFile.h"

using namespace tabulex;
namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void check(bool condition, const char* what)
{
    if (!condition)
        fail(what);
}

// One scratch file per process, on a memory file system when there is one (writes sync).
const std::string& scratch_path()
{
    static const std::string path = [] {
        std::error_code ec;
        const fs::path folder =
            fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        return (folder / ("tabulex-fuzz-ini-" + std::to_string(::getpid()) + ".ini")).string();
    }();
    return path;
}

std::vector<std::string_view> split_at_nul(std::string_view data)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t nul; (nul = data.find('\0', start)) != std::string_view::npos; start = nul + 1)
        parts.push_back(data.substr(start, nul - start));
    parts.push_back(data.substr(start));
    return parts;
}

// What reading gives back for a value written as held: one line, trimmed of blanks, one pair
// of matching quotes dropped, at most kMaxValueLength bytes.
std::string expected_read_back(std::string_view value)
{
    value = value.substr(0, value.find_first_of("\r\n"));
    const auto first = value.find_first_not_of(" \t");
    value = first == std::string_view::npos
                ? std::string_view{}
                : value.substr(first, value.find_last_not_of(" \t") - first + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, TIniFile::kMaxValueLength));
}

// Names a line can carry: no line break, a section without "]", a key without "=" that does
// not start like a comment or a section header.
bool usable_names(std::string_view section, std::string_view key)
{
    if (section.find_first_of("\r\n]") != std::string_view::npos ||
        key.find_first_of("\r\n=") != std::string_view::npos)
        return false;
    const auto first = key.find_first_not_of(" \t");
    return !key.starts_with(';') && !(first != std::string_view::npos && key[first] == '[');
}

bool same_ascii_ci(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

void check_integer_parser(std::string_view text)
{
    int value = 12345;
    const bool parsed = parse_ini_integer(text, value);
    if (!parsed)
        check(value == 12345, "a failed parse changed the value");
    else
        check(!text.empty(), "an empty text parsed");
    // Decimal text that parsed reads back to itself (no leading zeros or "+" to compare away).
    const std::string_view magnitude = text.starts_with('-') ? text.substr(1) : text;
    if (parsed && !magnitude.empty() && magnitude[0] >= '1' && magnitude[0] <= '9')
        check(std::to_string(value) == text, "decimal integer does not round trip");
    int again = 0;
    check(parse_ini_integer(std::to_string(value), again) && again == value,
          "to_string of an int does not parse");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> parts = split_at_nul(input);
    for (std::string_view part : parts)
        check_integer_parser(part.substr(0, 64));

    const std::string& path = scratch_path();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(parts[0].data(), static_cast<std::streamsize>(parts[0].size()));
    }
    TListingSettings settings;
    read_listing_settings(path, settings);
    for (const std::string* marker :
         {&settings.prenivel, &settings.sufnivel, &settings.prefnivel, &settings.suffnivel,
          &settings.begin, &settings.sufend, &settings.preend, &settings.coluna})
        check(marker->size() <= TIniFile::kMaxValueLength &&
                  marker->find_first_of("\r\n") == std::string::npos,
              "a marker read is too long or holds a line break");

    if (parts.size() >= 4 && usable_names(parts[1], parts[2])) {
        TIniFile ini(path);
        const std::string other = ini.ReadString("Identacao", "coluna", "<none>");
        ini.WriteString(parts[1], parts[2], parts[3]);
        check(ini.ReadString(parts[1], parts[2], "<none>") == expected_read_back(parts[3]),
              "a written value does not read back");
        if (!same_ascii_ci(parts[1], "Identacao") || !same_ascii_ci(parts[2], "coluna"))
            check(ini.ReadString("Identacao", "coluna", "<none>") == other,
                  "writing one key changed another");
    }
    std::error_code ec;
    fs::remove(path, ec);
    return 0;
}
