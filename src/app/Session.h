#pragma once
#include <memory>
#include <optional>
#include <string>

#include "analysis/ListingSettings.h"
#include "analysis/SourceDocument.h"
#include "config/ListingSettingsFile.h"

namespace tabulex {

/// What the program works on: the Listing settings in force, the loaded document and the
/// report font chosen. The program owns it; the windows read and change it through the
/// reference they are given.
class TSession {
public:
    /// The settings the configuration window edits and the next build uses.
    TListingSettings& settings() { return settings_; }
    const TListingSettings& settings() const { return settings_; }

    /// The loaded document (null before the first load).
    const std::shared_ptr<const TSourceDocument>& document() const { return document_; }
    /// The path of the loaded file; empty when none is loaded.
    std::string path() const { return document_ ? document_->path() : std::string(); }
    void setDocument(std::shared_ptr<const TSourceDocument> document)
    {
        document_ = std::move(document);
    }

    /// The report font chosen with "&Fonte" or read from the settings file, if any.
    const std::optional<TReportFontSpec>& reportFont() const { return reportFont_; }
    void setReportFont(TReportFontSpec font) { reportFont_ = std::move(font); }

    /// The report theme chosen under "Relatório" or read from the settings file, if any.
    const std::optional<TReportTheme>& reportTheme() const { return reportTheme_; }
    void setReportTheme(TReportTheme theme) { reportTheme_ = theme; }

private:
    TListingSettings settings_;
    std::shared_ptr<const TSourceDocument> document_;
    std::optional<TReportFontSpec> reportFont_;
    std::optional<TReportTheme> reportTheme_;
};

}  // namespace tabulex
