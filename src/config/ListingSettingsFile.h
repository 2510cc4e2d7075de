#pragma once
#include "ListingSettings.h"

#include <string>

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

}  // namespace tabulex
