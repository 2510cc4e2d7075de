#pragma once
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace tabulex {

/// Calls `work(worker, i)` for every i below `count`, on up to `jobs` threads (in the calling
/// thread alone for one job, or when no other thread can be had); `worker` (below `jobs`) tells
/// which thread makes the call, so that each can keep what it reuses from one call to the next.
/// Calls for different i may run at the same time. When a call throws, the calls not yet started
/// are left out and the first exception is thrown again here, once every thread has stopped.
template <typename Work>
void parallel_for_workers(std::size_t count, unsigned jobs, Work&& work)
{
    if (jobs <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i)
            work(0u, i);
        return;
    }
    std::atomic<std::size_t> next{0};
    std::mutex failure_mutex;
    std::exception_ptr failure;
    const auto worker = [&](unsigned id) {
        try {
            for (std::size_t i = next++; i < count; i = next++)
                work(id, i);
        } catch (...) {
            next = count;
            const std::lock_guard lock(failure_mutex);
            if (!failure)
                failure = std::current_exception();
        }
    };
    {
        std::vector<std::jthread> threads;
        try {
            for (unsigned t = 1; t < std::min<std::size_t>(jobs, count); ++t)
                threads.emplace_back(worker, t);
        } catch (const std::system_error&) {
            // No more threads to be had (a memory limit): those there are do the work.
        }
        worker(0u);
    }
    if (failure)
        std::rethrow_exception(failure);
}

/// Calls `work(i)` for every i below `count`, on up to `jobs` threads, as
/// parallel_for_workers does.
template <typename Work>
void parallel_for(std::size_t count, unsigned jobs, Work&& work)
{
    parallel_for_workers(count, jobs, [&](unsigned, std::size_t i) { work(i); });
}

}  // namespace tabulex
