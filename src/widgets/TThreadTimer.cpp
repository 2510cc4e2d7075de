#include "widgets/TThreadTimer.h"

#include "dialogs/TDialogs.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <chrono>
#include <exception>
#include <memory>

namespace tabulex {

namespace {

// Carries error messages from the timer's thread to the user-interface thread, one at a
// time: errors that come while a message is waiting or shown are dropped. The message is
// handed over under a lock, and the queued call is made by name, so it carries no data.
class ErrorRelay : public QObject {
    Q_OBJECT
public:
    void post(const QString& message)
    {
        {
            const std::lock_guard lock(m_lock);
            if (!m_pending.isNull())
                return;
            m_pending = message.isNull() ? QStringLiteral("") : message;
        }
        QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
    }

    Q_INVOKABLE void deliver()
    {
        QString message;
        {
            const std::lock_guard lock(m_lock);
            message = m_pending;
        }
        TDialogs::current().showMessage(nullptr, message);
        const std::lock_guard lock(m_lock);
        m_pending = QString();
    }

private:
    std::mutex m_lock;
    QString m_pending;  // null while no message is waiting or shown
};

}  // namespace

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
    // Deleted on its own thread, after the messages already queued to it.
    std::shared_ptr<ErrorRelay> relay(new ErrorRelay, [](ErrorRelay* r) { r->deleteLater(); });
    if (QCoreApplication* app = QCoreApplication::instance())
        relay->moveToThread(app->thread());
    return [relay](const QString& message) { relay->post(message); };
}

}  // namespace tabulex

#include "TThreadTimer.moc"
