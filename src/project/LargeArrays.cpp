#include "project/LargeArrays.h"

#include <cstdint>
#include <system_error>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tabulex::project {

namespace {
// The whole pages of `size` inside [data, data + bytes): [first, last).
std::pair<std::uintptr_t, std::uintptr_t> whole_pages(const void* data, std::size_t bytes,
                                                      std::uintptr_t size)
{
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    return {(start + size - 1) & ~(size - 1), (start + bytes) & ~(size - 1)};
}
}  // namespace

void populate_pages(const void* data, std::size_t bytes)
{
#if defined(MADV_POPULATE_WRITE)
    // Small arrays fault in quickly enough, and their pages may be shared with other data.
    constexpr std::size_t kWorthIt = std::size_t{1} << 20;
    const auto [first, last] = whole_pages(data, bytes, 4096);
    if (data != nullptr && bytes >= kWorthIt && last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)bytes;
#endif
}

TPagePopulator::~TPagePopulator()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void TPagePopulator::add(const void* data, std::size_t bytes)
{
    const std::lock_guard lock(mutex_);
    ranges_.emplace_back(static_cast<const char*>(data), bytes);
    if (running_)
        return;
    if (thread_.joinable())
        thread_.join();  // it ran out of ranges and is ending or ended
    try {
        thread_ = std::thread([this] { run(); });
        running_ = true;
    } catch (const std::system_error&) {
        // No thread to be had (a memory limit): the pages fault in as the arrays fill.
        ranges_.clear();
        next_ = 0;
    }
}

// Pieces of a few megabytes: the filling thread, when it catches up, faults in the pages
// beyond the piece being backed on its own.
void TPagePopulator::run()
{
    constexpr std::size_t kPiece = std::size_t{8} << 20;
    for (;;) {
        std::pair<const char*, std::size_t> range;
        {
            const std::lock_guard lock(mutex_);
            if (next_ == ranges_.size()) {
                running_ = false;
                return;
            }
            range = ranges_[next_++];
        }
        for (std::size_t done = 0; done < range.second && !stop_; done += kPiece)
            populate_pages(range.first + done, std::min(kPiece, range.second - done));
    }
}

}  // namespace tabulex::project
