#pragma once
#include <exception>
#include <system_error>
#include <thread>

namespace tabulex::project {

/// Runs `first` on a second thread while `second` runs on this one, and returns once both are
/// done; when no thread can be had (a memory limit) both run here, one after the other. An
/// exception from `first` is thrown again here, after `second` has run.
template <class First, class Second>
void run_on_two(First&& first, Second&& second)
{
    std::exception_ptr failure;
    const auto run_first = [&] {
        try {
            first();
        } catch (...) {
            failure = std::current_exception();
        }
    };
    {
        std::jthread helper;
        try {
            helper = std::jthread(run_first);
        } catch (const std::system_error&) {
            run_first();
        }
        second();
    }
    if (failure)
        std::rethrow_exception(failure);
}

}  // namespace tabulex::project
