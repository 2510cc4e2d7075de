#pragma once
#include <cstddef>
#include <vector>

namespace tabulex {

/// The size of a large page, and the alignment memory needs to be backed by one.
inline constexpr std::size_t kLargePageBytes = std::size_t{2} << 20;

/// Asks the system to back [data, data + bytes) with large pages where it can, before the memory
/// is first written: an array of a few hundred megabytes then costs a few hundred page faults
/// instead of tens of thousands. Only whole large pages inside the range are affected.
void advise_large_pages(const void* data, std::size_t bytes);

/// Anonymous memory mapped in whole large pages from a large-page boundary, and unmapped with
/// its owner. Only whole, aligned large pages can be backed as one: a mapping as the system
/// places it leaves a share of it in small pages, which then costs most of the time filling it.
class TLargePageMap {
public:
    TLargePageMap() = default;
    /// Maps at least `bytes`; empty when the system refuses.
    explicit TLargePageMap(std::size_t bytes);
    ~TLargePageMap();
    TLargePageMap(TLargePageMap&& other) noexcept;
    TLargePageMap& operator=(TLargePageMap&& other) noexcept;
    TLargePageMap(const TLargePageMap&) = delete;
    TLargePageMap& operator=(const TLargePageMap&) = delete;

    char* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return data_ == nullptr; }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
};

/// Reserves room for `n` items of the empty vector `v` in memory advised for large pages.
template <class T>
void reserve_in_large_pages(std::vector<T>& v, std::size_t n)
{
    v.reserve(n);
    advise_large_pages(v.data(), v.capacity() * sizeof(T));
}

}  // namespace tabulex
