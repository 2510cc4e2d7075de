#include "project/TextArena.h"

#include <algorithm>
#include <optional>

#include "analysis/FileBytes.h"

namespace tabulex::project {

namespace {

// Large enough that a run of thousands of files takes a few blocks, small enough that the
// unused end of the last one (never touched, so never backed) does not matter.
constexpr std::size_t kBlockBytes = std::size_t{32} << 20;

}  // namespace

// Room in the last block, or in a new one; nullptr when no block can be mapped (a memory
// limit), and the file is then read into a string of its own, which takes no more than it needs.
char* TTextArena::room(std::size_t bytes)
{
    const std::lock_guard lock(mutex_);
    if (bytes > left_) {
        TLargePageMap block(std::max(bytes, kBlockBytes));
        if (block.empty())
            return nullptr;
        // A file larger than a block gets one of its own, and the last block keeps its room.
        if (bytes > kBlockBytes) {
            char* const data = block.data();
            blocks_.push_back(std::move(block));
            return data;
        }
        next_ = block.data();
        left_ = block.size();
        blocks_.push_back(std::move(block));
    }
    char* const data = next_;
    next_ += bytes;
    left_ -= bytes;
    return data;
}

std::string_view TTextArena::read(const std::string& path)
{
    const std::optional<std::string_view> text =
        read_regular_file(path, [this](std::size_t bytes) { return room(bytes); });
    if (!text)
        return keep(read_file_bytes(path));
    if (has_utf16_mark(*text)) {
        std::string converted = utf16_as_utf8(*text);
        if (converted.size() > kMaxSourceBytes)
            throw EFOpenError(path);
        return keep(std::move(converted));
    }
    return *text;
}

std::string_view TTextArena::keep(std::string text)
{
    const std::lock_guard lock(mutex_);
    return kept_.emplace_back(std::move(text));
}

}  // namespace tabulex::project
