#pragma once
#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/princ.h"
#include "text/TextCodec.h"

namespace tabulex {

/// `path` as shown in the project's views: relative to the project's folder `root` when it is
/// below it, else as it is.
inline QString projectRelativePath(const std::string& root, const std::string& path)
{
    if (root.empty())
        return displayPath(path);
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error).lexically_normal();
    const std::filesystem::path relative =
        full.lexically_relative(std::filesystem::absolute(root, error).lexically_normal());
    if (relative.empty() || *relative.begin() == "..")
        return displayPath(full.string());
    return displayPath(relative.generic_string());
}

/// Source bytes as text: UTF-8 when they are valid UTF-8, else Windows-1252, as the listing
/// reads them.
inline QString sourceText(std::string_view bytes)
{
    return isValidUtf8(bytes)
               ? QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()))
               : fromCp1252(bytes);
}

}  // namespace tabulex
