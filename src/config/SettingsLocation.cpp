#include "SettingsLocation.h"

#include <unistd.h>

#include <filesystem>

namespace tabulex {

std::string choose_settings_path(const std::string& besideExecutable, const std::string& userFile)
{
    std::filesystem::path folder = std::filesystem::path(besideExecutable).parent_path();
    if (folder.empty())
        folder = ".";
    if (::access(folder.c_str(), W_OK) == 0 || userFile.empty())
        return besideExecutable;
    return userFile;
}

bool make_settings_folder(const std::string& path)
{
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty())
        return true;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return !error;
}

}  // namespace tabulex
