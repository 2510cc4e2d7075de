#pragma once
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/LargePages.h"

namespace tabulex::project {

/// The texts of a run's files, each read once into a few large blocks of memory in large pages
/// and kept at a stable address, with a NUL after each, for as long as the arena lives. Thousands
/// of files read into strings of their own cost a page fault per small page and the clearing of
/// each string before the read; here the read itself fills memory that is backed a large page at
/// a time. Safe to use from several threads.
class TTextArena {
public:
    TTextArena() = default;
    TTextArena(const TTextArena&) = delete;
    TTextArena& operator=(const TTextArena&) = delete;

    /// The bytes of the file at `path`, as read_file_bytes gives them (a UTF-16 text as UTF-8).
    /// Throws as read_file_bytes throws.
    std::string_view read(const std::string& path);
    /// Keeps `text` for as long as the arena lives; a NUL follows the view.
    std::string_view keep(std::string text);

private:
    char* room(std::size_t bytes);

    std::mutex mutex_;
    std::vector<TLargePageMap> blocks_;
    char* next_ = nullptr;  // free room in the last block
    std::size_t left_ = 0;
    std::deque<std::string> kept_;  // texts that came otherwise: converted or changing files
};

}  // namespace tabulex::project
