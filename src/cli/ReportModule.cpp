#include "cli/ReportModule.h"

#include <dlfcn.h>
#include <filesystem>
#include <vector>

namespace tabulex {

namespace {

const char* const kModuleName = "libtabulex-render.so";

std::filesystem::path executableFolder()
{
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
}

// The module sits in lib/ beside bin/ in the build tree, in lib/tabulex/ when installed.
std::filesystem::path findModule(std::string& message)
{
    const std::filesystem::path bin = executableFolder();
    const std::vector<std::filesystem::path> candidates = {
        bin / ".." / "lib" / "tabulex" / kModuleName, bin / ".." / "lib" / kModuleName,
        bin / kModuleName};
    for (const auto& candidate : candidates) {
        if (std::filesystem::exists(candidate))
            return candidate;
    }
    message = std::string("Cannot find the report module ") + kModuleName;
    return {};
}

// A module of another build is refused before its entry point is called.
bool moduleVersionMatches(void* handle, const std::string& path, std::string& message)
{
    using Version = decltype(&tabulex_render_interface_version);
    auto version = reinterpret_cast<Version>(dlsym(handle, "tabulex_render_interface_version"));
    const int found = version ? version() : 1;
    if (found == kRenderInterfaceVersion)
        return true;
    message = "The report module " + path + " is out of date (interface " + std::to_string(found) +
              ", expected " + std::to_string(kRenderInterfaceVersion) + "); reinstall tabulex";
    return false;
}

}  // namespace

bool render_report_file(const TRenderJob& job, std::string& message)
{
    const std::filesystem::path module = findModule(message);
    if (module.empty())
        return false;
    return render_report_with_module(module.string(), job, message);
}

bool render_report_with_module(const std::string& modulePath, const TRenderJob& job,
                               std::string& message)
{
    void* handle = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        message = std::string("Cannot load the report module: ") + dlerror();
        return false;
    }
    // The module stays loaded: Qt's libraries do not support being unloaded mid-process.
    if (!moduleVersionMatches(handle, modulePath, message))
        return false;
    using Entry = decltype(&tabulex_render_report);
    auto entry = reinterpret_cast<Entry>(dlsym(handle, "tabulex_render_report"));
    if (!entry) {
        message = "The report module has no entry point";
        return false;
    }
    char text[1024] = {};
    if (entry(kRenderInterfaceVersion, &job, text, sizeof text) != 0) {
        message = text;
        return false;
    }
    return true;
}

}  // namespace tabulex
