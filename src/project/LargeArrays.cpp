#include "project/LargeArrays.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "analysis/ParallelFor.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tabulex::project {

void populate_pages(const void* data, std::size_t bytes)
{
#if defined(MADV_POPULATE_WRITE)
    // Small arrays fault in quickly enough, and their first and last pages may hold other data.
    constexpr std::size_t kWorthIt = std::size_t{1} << 20;
    constexpr std::uintptr_t kPage = 4096;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kPage - 1) & ~(kPage - 1);
    const std::uintptr_t last = (start + bytes) & ~(kPage - 1);
    if (data != nullptr && bytes >= kWorthIt && last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)bytes;
#endif
}

void populate_pages_on_two(std::span<const TPageRange> ranges)
{
    std::size_t total = 0;
    for (const TPageRange& r : ranges)
        total += r.bytes;
    // Two halves of the bytes, cut at a page, each backed on a thread of its own.
    constexpr std::size_t kPage = 4096;
    std::vector<TPageRange> first_half;
    std::vector<TPageRange> second_half;
    std::size_t left = total / 2;
    for (const TPageRange& r : ranges) {
        const std::size_t taken = std::min(r.bytes, left) & ~(kPage - 1);
        if (taken > 0)
            first_half.push_back({r.data, taken});
        if (taken < r.bytes)
            second_half.push_back({static_cast<const char*>(r.data) + taken, r.bytes - taken});
        left -= std::min(left, taken);
    }
    const auto populate = [](const std::vector<TPageRange>& half) {
        for (const TPageRange& r : half)
            populate_pages(r.data, r.bytes);
    };
    const std::array halves{&first_half, &second_half};
    parallel_for(2, 2, [&](std::size_t half) { populate(*halves[half]); });
}

}  // namespace tabulex::project
