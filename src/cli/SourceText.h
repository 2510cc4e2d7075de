#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "analysis/LargePages.h"

namespace tabulex {

/// The bytes of one source file, followed by a NUL, read for the batch command through one
/// descriptor. Large files are read into anonymous memory that asks for large pages, which
/// spares a fault per small page and the clearing of a string; what reading refuses and
/// reports is what read_file_bytes refuses, and a UTF-16 text comes as UTF-8 as from
/// read_file_bytes.
class TSourceText {
public:
    /// Reads the file at `path`. Throws EFOpenError when it cannot be read.
    explicit TSourceText(const std::string& path);
    ~TSourceText();
    TSourceText(const TSourceText&) = delete;
    TSourceText& operator=(const TSourceText&) = delete;

    /// The file's bytes; the byte after them is a NUL.
    std::string_view bytes() const { return view_; }

private:
    bool readDirectly(const std::string& path);

    std::string string_;  // small files, and files that change while being read
    TLargePageMap map_;   // large files
    std::string_view view_;
};

}  // namespace tabulex
