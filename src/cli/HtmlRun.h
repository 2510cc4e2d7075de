#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/ListingSettings.h"
#include "cli/SourceCollection.h"
#include "project/ProjectIndex.h"

namespace tabulex {

/// The batch command's --html: writes the HTML edition of the source arguments (files, and
/// folders walked for `extensions`), read as one program with `project`'s paths and defines,
/// into `outDir`. Unreadable sources and folders and files that cannot be written are
/// reported on `err`. Pages are written `jobs` at a time. Returns the batch command's exit
/// status.
int run_html(const std::string& outDir, const std::vector<std::string>& arguments,
             const TSourceExtensions& extensions, const TProjectOptions& project, unsigned jobs,
             const TListingSettings& settings, std::FILE* err);

}  // namespace tabulex
