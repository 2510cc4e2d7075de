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

/// Reserves room for `n` items of the empty vector `v` in memory advised for large pages.
template <class T>
void reserve_in_large_pages(std::vector<T>& v, std::size_t n)
{
    v.reserve(n);
    advise_large_pages(v.data(), v.capacity() * sizeof(T));
}

}  // namespace tabulex
