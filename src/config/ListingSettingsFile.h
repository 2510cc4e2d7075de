#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "analysis/ListingSettings.h"

namespace tabulex {

/// Reads the sixteen Listing settings keys of the settings file `iniPath` into `into`, key by
/// key in the file's fixed order, each absent or unusable key taking the default of
/// TListingSettings{}. A missing file reads as all defaults. Values are stored as read: no
/// range check (a "Tipo" of 7 gives `Identacao` 7).
void read_listing_settings(const std::string& iniPath, TListingSettings& into);

/// Writes the sixteen keys from `values` to `iniPath` in the file's fixed order, each at once.
/// Throws EIniFileError at the first key that cannot be written; the keys before it stay
/// written.
void write_listing_settings(const std::string& iniPath, const TListingSettings& values);

/// The report's text font as the settings file and the batch command give it: "FAMILY" or
/// "FAMILY,SIZE" with the size in points.
struct TReportFontSpec {
    std::string family;
    double points = 0;  ///< 0: the size is not given

    bool operator==(const TReportFontSpec&) const = default;
};

/// Reads "FAMILY[,SIZE]"; blanks around either part are ignored. A text after the last comma
/// that is not a size from 1 to 400 points belongs to the family. No value for an empty
/// family.
std::optional<TReportFontSpec> parse_report_font(std::string_view text);
/// "FAMILY,SIZE" (or "FAMILY" without a size), the size with at most two decimals.
std::string format_report_font(const TReportFontSpec& font);

/// How the report draws the classes of the listing: "Nenhum" as plain text (the default),
/// "Cores" in the colours of the window and the HTML pages, "Tons de cinza" with bold reserved
/// words, italic comments and grey prefixes for monochrome printers.
enum class TReportTheme : int { Nenhum = 0, Cores = 1, Cinza = 2 };

/// "nenhum", "cores" or "cinza" (any case); no value for anything else.
std::optional<TReportTheme> parse_report_theme(std::string_view text);
/// The theme's name as parse_report_theme reads it.
std::string_view report_theme_name(TReportTheme theme);
/// The theme key `tema` of section "Relatorio"; no value when absent or unusable.
std::optional<TReportTheme> read_report_theme(const std::string& iniPath);
/// Writes the theme key (after the keys before it when it is new).
void write_report_theme(const std::string& iniPath, TReportTheme theme);

/// The report font key `fonte` of section "Relatorio"; no value when absent or unusable.
std::optional<TReportFontSpec> read_report_font(const std::string& iniPath);
/// Writes the report font key (after the Listing settings keys when it is new).
void write_report_font(const std::string& iniPath, const TReportFontSpec& font);

}  // namespace tabulex
