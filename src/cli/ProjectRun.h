#pragma once
#include <cstdio>

#include "cli/CliOptions.h"

namespace tabulex {

/// The batch command's whole-program outputs (--index, --tags, --check): indexes the sources
/// as one project and writes each output asked for. Returns the batch command's exit status:
/// notes do not change it; unreadable sources and outputs that cannot be written do.
int run_project(const TCliOptions& options, std::FILE* out, std::FILE* err);

}  // namespace tabulex
