#include "ListingSettingsFile.h"

#include "IniFile.h"

#include <array>
#include <variant>

namespace tabulex {

namespace {

using Field = std::variant<bool TListingSettings::*, int TListingSettings::*, std::string TListingSettings::*>;

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

    void operator()(bool TListingSettings::*f) const { into.*f = ini.ReadBool(entry.section, entry.key, defaults.*f); }
    void operator()(int TListingSettings::*f) const { into.*f = ini.ReadInteger(entry.section, entry.key, defaults.*f); }
    void operator()(std::string TListingSettings::*f) const
    {
        into.*f = ini.ReadString(entry.section, entry.key, defaults.*f);
    }
};

struct Writer {
    TIniFile& ini;
    const SettingsKey& entry;
    const TListingSettings& from;

    void operator()(bool TListingSettings::*f) const { ini.WriteBool(entry.section, entry.key, from.*f); }
    void operator()(int TListingSettings::*f) const { ini.WriteInteger(entry.section, entry.key, from.*f); }
    void operator()(std::string TListingSettings::*f) const { ini.WriteString(entry.section, entry.key, from.*f); }
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

}  // namespace tabulex
