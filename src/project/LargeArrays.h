#pragma once
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <iterator>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "analysis/LargePages.h"

namespace tabulex::project {

using tabulex::advise_large_pages;

/// Has the system back the whole pages of [data, data + bytes) with memory now, in one call,
/// instead of one page fault at a time as the array fills. An array that will be filled anyway
/// costs no more memory this way, and on virtual machines, where a fault on fresh memory is
/// slow, it is much faster. Nothing happens where the system cannot do it.
void populate_pages(const void* data, std::size_t bytes);

/// Backs ranges of memory with pages on a thread of its own, a piece at a time in the order
/// they were given, so that the thread that fills the arrays later finds their pages ready.
/// The pages are only backed, never written: a range freed meanwhile comes to no harm. The
/// destructor waits for the thread.
class TPagePopulator {
public:
    TPagePopulator() = default;
    TPagePopulator(const TPagePopulator&) = delete;
    TPagePopulator& operator=(const TPagePopulator&) = delete;
    ~TPagePopulator();
    /// Queues a range; the thread starts with the first one.
    void add(const void* data, std::size_t bytes);

private:
    void run();

    std::mutex mutex_;
    std::vector<std::pair<const char*, std::size_t>> ranges_;
    std::size_t next_ = 0;
    bool running_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

/// Makes room for `n` items of `v` in memory advised for large pages (the items it holds move
/// there). The pages are backed at once, or by `populator` when one is given.
template <class T>
void reserve_large(std::vector<T>& v, std::size_t n, TPagePopulator* populator = nullptr)
{
    if (n <= v.capacity())
        return;
    std::vector<T> bigger;
    bigger.reserve(n);
    advise_large_pages(bigger.data(), bigger.capacity() * sizeof(T));
    if (populator != nullptr)
        populator->add(bigger.data(), bigger.capacity() * sizeof(T));
    else
        populate_pages(bigger.data(), bigger.capacity() * sizeof(T));
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
