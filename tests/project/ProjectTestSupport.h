#pragma once
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "project/ProjectIndex.h"

namespace tabulex::testing {

/// The multi-unit test project below tests/project/data/multi.
inline std::string multi_project_dir()
{
    return std::string(TABULEX_SOURCE_DIR) + "/tests/project/data/multi";
}

/// A folder of its own below the system's temporary folder, removed with the object.
class TTempDir {
public:
    TTempDir()
    {
        path_ = std::filesystem::temp_directory_path() /
                ("tabulex-project-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "-" +
                 std::to_string(::getpid()));
        std::filesystem::create_directories(path_);
    }
    ~TTempDir() { std::filesystem::remove_all(path_); }
    std::string file(const std::string& name, std::string_view text) const
    {
        const std::string p = (path_ / name).string();
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }
    std::string path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

/// The declaration a reference at (line, column) of `file` stands for, or nullptr.
inline const TProjectDeclaration* declaration_at(const TProjectIndex& index, std::string_view file,
                                                 int line, int column)
{
    for (std::uint32_t f = 0; f < index.files().size(); ++f) {
        const std::string& path = index.files()[f].path;
        if (!path.ends_with(file))
            continue;
        if (const TProjectReference* r = index.reference_at(f, line, column))
            return &index.declarations()[r->declaration];
    }
    return nullptr;
}

/// The names of the declarations, one a line.
inline std::string declared_names(const TProjectIndex& index)
{
    std::string names;
    for (const TProjectDeclaration& d : index.declarations())
        names += d.name + "\n";
    return names;
}

}  // namespace tabulex::testing
