#include "config/ListingSettingsFile.h"

#include <array>
#include <charconv>
#include <cmath>
#include <variant>

#include "config/IniFile.h"

namespace tabulex {

namespace {

using Field = std::variant<bool TListingSettings::*, int TListingSettings::*,
                           std::string TListingSettings::*>;

struct SettingsKey {
    const char* section;
    const char* key;
    Field field;
};

// The settings file's keys in the order a fresh file receives them.
const std::array<SettingsKey, 16> kSettingsKeys{{
    {"Numeracao", "Linhas", &TListingSettings::Numeracao},
    {"Numeracao", "Final", &TListingSettings::Final},
    {"Identacao", "Tipo", &TListingSettings::Identacao},
    {"Identacao", "prenivel", &TListingSettings::prenivel},
    {"Identacao", "sufnivel", &TListingSettings::sufnivel},
    {"Identacao", "prefnivel", &TListingSettings::prefnivel},
    {"Identacao", "suffnivel", &TListingSettings::suffnivel},
    {"Identacao", "preend", &TListingSettings::preend},
    {"Identacao", "sufend", &TListingSettings::sufend},
    {"Identacao", "begin", &TListingSettings::begin},
    {"Identacao", "coluna", &TListingSettings::coluna},
    {"Relatorio", "colunas", &TListingSettings::colunas},
    {"Relatorio", "listagem", &TListingSettings::listagem},
    {"Relatorio", "xref", &TListingSettings::xref},
    {"Relatorio", "proc_func", &TListingSettings::proc_func},
    {"Relatorio", "units", &TListingSettings::units},
}};

struct Reader {
    const TIniFile& ini;
    const SettingsKey& entry;
    TListingSettings& into;
    const TListingSettings& defaults;

    void operator()(bool TListingSettings::*f) const
    {
        into.*f = ini.ReadBool(entry.section, entry.key, defaults.*f);
    }
    void operator()(int TListingSettings::*f) const
    {
        into.*f = ini.ReadInteger(entry.section, entry.key, defaults.*f);
    }
    void operator()(std::string TListingSettings::*f) const
    {
        into.*f = ini.ReadString(entry.section, entry.key, defaults.*f);
    }
};

struct Writer {
    TIniFile& ini;
    const SettingsKey& entry;
    const TListingSettings& from;

    void operator()(bool TListingSettings::*f) const
    {
        ini.WriteBool(entry.section, entry.key, from.*f);
    }
    void operator()(int TListingSettings::*f) const
    {
        ini.WriteInteger(entry.section, entry.key, from.*f);
    }
    void operator()(std::string TListingSettings::*f) const
    {
        ini.WriteString(entry.section, entry.key, from.*f);
    }
};

}  // namespace

void read_listing_settings(const std::string& iniPath, TListingSettings& into)
{
    const TIniFile ini(iniPath);
    const TListingSettings defaults;
    for (const SettingsKey& entry : kSettingsKeys)
        std::visit(Reader{ini, entry, into, defaults}, entry.field);
}

void write_listing_settings(const std::string& iniPath, const TListingSettings& values)
{
    TIniFile ini(iniPath);
    for (const SettingsKey& entry : kSettingsKeys)
        std::visit(Writer{ini, entry, values}, entry.field);
}

namespace {

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<double> parsePoints(std::string_view text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value >= 1 && value <= 400))
        return std::nullopt;
    return value;
}

constexpr const char* kFontSection = "Relatorio";
constexpr const char* kFontKey = "fonte";
constexpr const char* kThemeKey = "tema";
constexpr std::string_view kThemeNames[] = {"nenhum", "cores", "cinza"};

}  // namespace

std::optional<TReportFontSpec> parse_report_font(std::string_view text)
{
    TReportFontSpec font;
    std::string_view family = trimmed(text);
    const auto comma = family.rfind(',');
    if (comma != std::string_view::npos) {
        if (const auto points = parsePoints(trimmed(family.substr(comma + 1)))) {
            font.points = *points;
            family = trimmed(family.substr(0, comma));
        }
    }
    if (family.empty())
        return std::nullopt;
    font.family = family;
    return font;
}

std::string format_report_font(const TReportFontSpec& font)
{
    if (font.points <= 0)
        return font.family;
    const long hundredths = std::lround(font.points * 100);
    std::string text = font.family + ',' + std::to_string(hundredths / 100);
    if (hundredths % 100 != 0) {
        text += '.' + std::to_string(hundredths % 100 / 10);
        if (hundredths % 10 != 0)
            text += std::to_string(hundredths % 10);
    }
    return text;
}

std::optional<TReportFontSpec> read_report_font(const std::string& iniPath)
{
    const TIniFile ini(iniPath);
    return parse_report_font(ini.ReadString(kFontSection, kFontKey, std::string()));
}

void write_report_font(const std::string& iniPath, const TReportFontSpec& font)
{
    TIniFile ini(iniPath);
    ini.WriteString(kFontSection, kFontKey, format_report_font(font));
}

std::optional<TReportTheme> parse_report_theme(std::string_view text)
{
    std::string name(trimmed(text));
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    for (std::size_t i = 0; i < std::size(kThemeNames); ++i)
        if (name == kThemeNames[i])
            return static_cast<TReportTheme>(i);
    return std::nullopt;
}

std::string_view report_theme_name(TReportTheme theme)
{
    return kThemeNames[static_cast<std::size_t>(theme)];
}

std::optional<TReportTheme> read_report_theme(const std::string& iniPath)
{
    const TIniFile ini(iniPath);
    return parse_report_theme(ini.ReadString(kFontSection, kThemeKey, std::string()));
}

void write_report_theme(const std::string& iniPath, TReportTheme theme)
{
    TIniFile ini(iniPath);
    ini.WriteString(kFontSection, kThemeKey, std::string(report_theme_name(theme)));
}

}  // namespace tabulex
