#pragma once
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace tabulex {

/// Calls `work(i)` for every i below `count`, on up to `jobs` threads (in the calling thread
/// alone for one job). `work` must not throw; calls for different i may run at the same time.
template <typename Work>
void parallel_for(std::size_t count, unsigned jobs, Work&& work)
{
    if (jobs <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i)
            work(i);
        return;
    }
    std::atomic<std::size_t> next{0};
    const auto worker = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::jthread> threads;
    for (std::size_t t = 1; t < std::min<std::size_t>(jobs, count); ++t)
        threads.emplace_back(worker);
    worker();
}

}  // namespace tabulex
