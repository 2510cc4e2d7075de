#pragma once
#include <algorithm>
#include <cstddef>
#include <iterator>
#include <span>
#include <vector>

#include "analysis/LargePages.h"

namespace tabulex::project {

using tabulex::advise_large_pages;

/// Has the system back the whole pages of [data, data + bytes) with memory now, in one call,
/// instead of one page fault at a time as the array fills (an array that is filled anyway
/// costs no more memory this way). Nothing happens where the system cannot do it.
void populate_pages(const void* data, std::size_t bytes);

/// A stretch of memory to be backed, as populate_pages takes it.
struct TPageRange {
    const void* data = nullptr;
    std::size_t bytes = 0;
};

/// Backs every range as populate_pages does, half of their bytes on each of two threads:
/// clearing the pages is the work, and it then takes half the time on an otherwise idle
/// processor.
void populate_pages_on_two(std::span<const TPageRange> ranges);

/// Makes room for `n` items of `v` in memory advised for large pages and backed at once (the
/// items it holds move there). With `later`, the new memory is not backed here but added to
/// `later`, for the caller to back with the rest of it.
template <class T>
void reserve_large(std::vector<T>& v, std::size_t n, std::vector<TPageRange>* later = nullptr)
{
    if (n <= v.capacity())
        return;
    std::vector<T> bigger;
    bigger.reserve(n);
    const TPageRange range{bigger.data(), bigger.capacity() * sizeof(T)};
    advise_large_pages(range.data, range.bytes);
    if (later != nullptr)
        later->push_back(range);
    else
        populate_pages(range.data, range.bytes);
    bigger.insert(bigger.end(), std::make_move_iterator(v.begin()),
                  std::make_move_iterator(v.end()));
    v.swap(bigger);
}

/// Room for `n` more items, made as push_back makes it (by doubling) but on large pages.
template <class T>
void room_for(std::vector<T>& v, std::size_t n)
{
    if (v.size() + n > v.capacity()) [[unlikely]]
        reserve_large(v, std::max({std::size_t{64}, v.capacity() * 2, v.size() + n}));
}

template <class T>
void room_for_one(std::vector<T>& v)
{
    room_for(v, 1);
}

}  // namespace tabulex::project
