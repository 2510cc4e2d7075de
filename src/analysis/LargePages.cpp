#include "analysis/LargePages.h"

#include <cstdint>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tabulex {

void advise_large_pages(const void* data, std::size_t bytes)
{
#if defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kLarge = kLargePageBytes;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kLarge - 1) & ~(kLarge - 1);
    const std::uintptr_t last = (start + bytes) & ~(kLarge - 1);
    if (data != nullptr && last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

TLargePageMap::TLargePageMap(std::size_t bytes)
{
#if defined(__linux__)
    constexpr std::size_t kLarge = kLargePageBytes;
    const std::size_t size = (bytes + kLarge - 1) & ~(kLarge - 1);
    const std::size_t reserved = size + kLarge;
    void* const mapped =
        ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return;
    // The slack before the first boundary and after the last page goes back at once.
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kLarge - 1) & ~(kLarge - 1);
    if (aligned > start)
        ::munmap(mapped, aligned - start);
    if (const std::size_t tail = start + reserved - (aligned + size); tail > 0)
        ::munmap(reinterpret_cast<void*>(aligned + size), tail);
    data_ = reinterpret_cast<char*>(aligned);
    size_ = size;
    advise_large_pages(data_, size_);
#else
    (void)bytes;
#endif
}

TLargePageMap::~TLargePageMap()
{
#if defined(__linux__)
    if (data_ != nullptr)
        ::munmap(data_, size_);
#endif
}

TLargePageMap::TLargePageMap(TLargePageMap&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0))
{}

TLargePageMap& TLargePageMap::operator=(TLargePageMap&& other) noexcept
{
    TLargePageMap old(std::move(*this));
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    return *this;
}

}  // namespace tabulex
