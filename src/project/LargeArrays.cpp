#include "project/LargeArrays.h"

#include <cstdint>

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

}  // namespace tabulex::project
