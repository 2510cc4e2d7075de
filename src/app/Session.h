#pragma once
#include <memory>
#include <optional>
#include <string>

#include "analysis/ListingSettings.h"
#include "analysis/SourceDocument.h"
#include "config/ListingSettingsFile.h"
#include "project/ProjectIndex.h"

namespace tabulex {

/// What the program works on: the Listing settings in force, the loaded document, the open
/// project and the report font chosen. The program owns it; the windows read and change it through
/// the reference they are given.
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

    /// The index of the project opened with "Abrir projeto" (null when none is open), and the
    /// folder its paths are shown relative to.
    const std::shared_ptr<const TProjectIndex>& project() const { return project_; }
    const std::string& projectRoot() const { return projectRoot_; }
    void setProject(std::shared_ptr<const TProjectIndex> project, std::string root)
    {
        project_ = std::move(project);
        projectRoot_ = std::move(root);
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
    std::shared_ptr<const TProjectIndex> project_;
    std::string projectRoot_;
    std::optional<TReportFontSpec> reportFont_;
    std::optional<TReportTheme> reportTheme_;
};

}  // namespace tabulex
