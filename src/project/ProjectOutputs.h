#pragma once
#include <functional>
#include <string_view>

#include "project/ProjectIndex.h"

namespace tabulex {

/// Where an output writer sends its text, piece by piece.
using TTextSink = std::function<void(std::string_view)>;

/// The index as JSON (UTF-8; bytes that are not UTF-8 are taken as Latin-1), in the format
/// docs/project-index.md describes.
void write_index_json(const TProjectIndex& index, const TTextSink& sink);

/// A tags file in the extended ctags format, sorted by name in byte order, for editors.
void write_tags(const TProjectIndex& index, const TTextSink& sink);

/// The check notes, one a line: `PATH(LINE,COL) Note: TEXT` (or `Hint:`).
void write_check_notes(const TProjectIndex& index, const TTextSink& sink);

}  // namespace tabulex
