#include "config/SettingsLocation.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace tabulex {

namespace {
// Whether a file can be created in `folder`: tried for real, so that read-only mounts and the
// permissions of the user the program runs as all count.
bool canCreateFileIn(const std::filesystem::path& folder)
{
    std::string probe = (folder / ".tabulex-probe-XXXXXX").string();
    const int fd = ::mkstemp(probe.data());
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}
}  // namespace

std::string choose_settings_path(const std::string& besideExecutable, const std::string& userFile)
{
    std::filesystem::path folder = std::filesystem::path(besideExecutable).parent_path();
    if (folder.empty())
        folder = ".";
    if (userFile.empty() || canCreateFileIn(folder))
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
