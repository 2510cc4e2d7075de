#pragma once
#include <string>

namespace tabulex {

/// Where the settings file lives: `besideExecutable` (the executable's path with ".ini") when
/// a file can be created in the executable's folder, otherwise `userFile` in the user's
/// configuration folder, so that saving works after a system-wide install.
std::string choose_settings_path(const std::string& besideExecutable, const std::string& userFile);

/// Creates the folders above `path` that do not exist yet; false when that fails.
bool make_settings_folder(const std::string& path);

}  // namespace tabulex
