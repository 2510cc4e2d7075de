#pragma once
#include <QString>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace tabulex {

/// A timer that runs its handler on a worker thread of its own.
///
/// The thread sleeps `interval()` milliseconds, runs the handler if the timer is still
/// enabled, and sleeps again. While disabled it waits on a condition variable (no polling);
/// enabling it, or changing the interval, starts a fresh sleep. The thread is started on the
/// first enable and ended by `shutdown()` or the destructor, which wait for a running
/// handler to return. An exception from the handler is passed to the error handler and the
/// thread goes on; the default error handler shows the message through the application's
/// dialog layer on the user-interface thread, one message at a time.
class TThreadTimer {
public:
    using Handler = std::function<void()>;
    using ErrorHandler = std::function<void(const QString& message)>;

    explicit TThreadTimer(Handler onTimer, ErrorHandler onError = {});
    ~TThreadTimer();
    TThreadTimer(const TThreadTimer&) = delete;
    TThreadTimer& operator=(const TThreadTimer&) = delete;

    unsigned interval() const;
    void setInterval(unsigned milliseconds);

    bool enabled() const;
    /// Enables or suspends the timer; may throw std::system_error when the thread cannot start.
    void setEnabled(bool enabled);

    /// Ends the worker thread and waits for it. Must not be called from the handler.
    void shutdown();

    /// The default error handler: a queued message box on the user-interface thread.
    static ErrorHandler uiErrorDisplay();

private:
    void run();
    void fire();

    Handler onTimer_;
    ErrorHandler onError_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    unsigned interval_ = 1000;
    bool enabled_ = false;
    bool quit_ = false;
    unsigned long changes_ = 0;  // bumped by every setting change, to restart a sleep
    std::thread thread_;
};

}  // namespace tabulex
