#include "TThreadTimer.h"

#include "TDialogs.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <chrono>
#include <exception>
#include <memory>

namespace tabulex {

TThreadTimer::TThreadTimer(Handler onTimer, ErrorHandler onError)
    : m_onTimer(std::move(onTimer)), m_onError(onError ? std::move(onError) : uiErrorDisplay())
{
}

TThreadTimer::~TThreadTimer()
{
    shutdown();
}

unsigned TThreadTimer::interval() const
{
    const std::lock_guard lock(m_mutex);
    return m_interval;
}

void TThreadTimer::setInterval(unsigned milliseconds)
{
    const std::lock_guard lock(m_mutex);
    m_interval = milliseconds;
    ++m_changes;
    m_wake.notify_all();
}

bool TThreadTimer::enabled() const
{
    const std::lock_guard lock(m_mutex);
    return m_enabled;
}

void TThreadTimer::setEnabled(bool enabled)
{
    const std::lock_guard lock(m_mutex);
    if (enabled && !m_thread.joinable() && !m_quit)
        m_thread = std::thread([this] { run(); });
    m_enabled = enabled;
    ++m_changes;
    m_wake.notify_all();
}

void TThreadTimer::shutdown()
{
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
        m_enabled = false;
        m_wake.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
}

void TThreadTimer::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        if (!m_enabled) {
            m_wake.wait(lock, [this] { return m_quit || m_enabled; });
            continue;
        }
        const unsigned long changes = m_changes;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_interval);
        if (m_wake.wait_until(lock, deadline, [&] { return m_quit || m_changes != changes; }))
            continue;  // woken by a change: look at the settings again
        lock.unlock();
        fire();
        lock.lock();
    }
}

void TThreadTimer::fire()
{
    try {
        m_onTimer();
    } catch (const std::exception& error) {
        m_onError(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        m_onError(QStringLiteral("Unknown error in the timer thread"));
    }
}

TThreadTimer::ErrorHandler TThreadTimer::uiErrorDisplay()
{
    // Shared with the queued calls, which may outlive the timer.
    auto showing = std::make_shared<std::atomic<bool>>(false);
    return [showing](const QString& message) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app || showing->exchange(true))
            return;  // no event loop to show it on, or a message is already up
        QMetaObject::invokeMethod(
            app,
            [showing, message] {
                TDialogs::current().showMessage(nullptr, message);
                showing->store(false);
            },
            Qt::QueuedConnection);
    };
}

}  // namespace tabulex
