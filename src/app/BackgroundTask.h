#pragma once
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <exception>
#include <optional>
#include <thread>

namespace tabulex {

/// Runs `work` on a thread of its own while a local event loop keeps the windows painted
/// (user input waits), and returns what it returns; an exception it throws is thrown here. A
/// busy cursor shows once the work takes longer than a moment. Meant for the seconds that
/// reading a large file or a whole program can take.
template <typename Work>
auto run_in_background(Work work) -> decltype(work())
{
    std::optional<decltype(work())> result;
    std::exception_ptr failure;
    QEventLoop loop;
    bool busy = false;
    QTimer cursor;
    cursor.setSingleShot(true);
    QObject::connect(&cursor, &QTimer::timeout, [&busy] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        busy = true;
    });
    cursor.start(150);
    std::thread worker([&] {
        try {
            result.emplace(work());
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    if (busy)
        QApplication::restoreOverrideCursor();
    if (failure)
        std::rethrow_exception(failure);
    return std::move(*result);
}

}  // namespace tabulex
