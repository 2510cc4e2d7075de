#include "widgets/TThreadTimer.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <chrono>
#include <exception>
#include <memory>

#include "dialogs/TDialogs.h"

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
            const std::lock_guard lock(lock_);
            if (!pending_.isNull())
                return;
            pending_ = message.isNull() ? QStringLiteral("") : message;
        }
        QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
    }

    Q_INVOKABLE void deliver()
    {
        QString message;
        {
            const std::lock_guard lock(lock_);
            message = pending_;
        }
        TDialogs::current().showMessage(nullptr, message);
        const std::lock_guard lock(lock_);
        pending_ = QString();
    }

private:
    std::mutex lock_;
    QString pending_;  // null while no message is waiting or shown
};

}  // namespace

TThreadTimer::TThreadTimer(Handler onTimer, ErrorHandler onError)
    : onTimer_(std::move(onTimer)), onError_(onError ? std::move(onError) : uiErrorDisplay())
{}

TThreadTimer::~TThreadTimer()
{
    shutdown();
}

unsigned TThreadTimer::interval() const
{
    const std::lock_guard lock(mutex_);
    return interval_;
}

void TThreadTimer::setInterval(unsigned milliseconds)
{
    const std::lock_guard lock(mutex_);
    interval_ = milliseconds;
    ++changes_;
    wake_.notify_all();
}

bool TThreadTimer::enabled() const
{
    const std::lock_guard lock(mutex_);
    return enabled_;
}

void TThreadTimer::setEnabled(bool enabled)
{
    const std::lock_guard lock(mutex_);
    if (enabled && !thread_.joinable() && !quit_)
        thread_ = std::thread([this] { run(); });
    enabled_ = enabled;
    ++changes_;
    wake_.notify_all();
}

void TThreadTimer::shutdown()
{
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
        enabled_ = false;
        wake_.notify_all();
    }
    if (thread_.joinable())
        thread_.join();
}

void TThreadTimer::run()
{
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (!enabled_) {
            wake_.wait(lock, [this] { return quit_ || enabled_; });
            continue;
        }
        const unsigned long changes = changes_;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(interval_);
        if (wake_.wait_until(lock, deadline, [&] { return quit_ || changes_ != changes; }))
            continue;  // woken by a change: look at the settings again
        lock.unlock();
        fire();
        lock.lock();
    }
}

void TThreadTimer::fire()
{
    try {
        onTimer_();
    } catch (const std::exception& error) {
        onError_(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        onError_(QStringLiteral("Unknown error in the timer thread"));
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
