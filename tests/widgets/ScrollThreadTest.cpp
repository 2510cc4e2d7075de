// The timer's thread, and the panel driven by it: real ticks, errors, and start, stop and
// destroy racing with running steps (these also run under ThreadSanitizer).
#include <QElapsedTimer>
#include <QPainter>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <thread>

#include "TestApp.h"
#include "dialogs/TDialogs.h"
#include "widgets/TScrollTextPanel.h"
#include "widgets/TThreadTimer.h"

using namespace tabulex;
using tabulex::test::app;
using Panel = TScrollTextPanel;

namespace {

class RecordingDialogs : public TDialogs {
public:
    void showMessage(QWidget*, const QString& text) override { messages << text; }
    QStringList messages;
};

// Runs the event loop until `done` holds or two seconds have passed.
template <typename Done>
bool waitFor(Done done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > 2000)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

TEST(ThreadTimerTest, FiresOnlyWhileEnabled)
{
    std::atomic<int> ticks{0};
    TThreadTimer timer([&] { ++ticks; });
    timer.setInterval(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(ticks.load(), 0);

    timer.setEnabled(true);
    EXPECT_TRUE(waitFor([&] { return ticks.load() >= 3; }));
    timer.setEnabled(false);
    const int stopped = ticks.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_LE(ticks.load(), stopped + 1);  // at most the tick already under way
}

TEST(ThreadTimerTest, AnErrorIsReportedAndTheThreadGoesOn)
{
    std::atomic<int> ticks{0};
    std::atomic<int> errors{0};
    TThreadTimer timer(
        [&] {
            if (++ticks == 1)
                throw std::runtime_error("step failed");
        },
        [&](const QString& message) {
            EXPECT_EQ(message, "step failed");
            ++errors;
        });
    timer.setInterval(1);
    timer.setEnabled(true);
    EXPECT_TRUE(waitFor([&] { return ticks.load() >= 3; }));
    timer.shutdown();
    EXPECT_EQ(errors.load(), 1);
}

TEST(ThreadTimerTest, DefaultErrorDisplayUsesTheDialogLayerOnTheUiThread)
{
    app();
    RecordingDialogs dialogs;
    TScopedDialogs scoped(dialogs);
    std::atomic<int> ticks{0};
    TThreadTimer timer([&] {
        ++ticks;
        throw std::runtime_error("worker failed");
    });
    timer.setInterval(1);
    timer.setEnabled(true);
    EXPECT_TRUE(waitFor([&] { return !dialogs.messages.isEmpty() && ticks.load() >= 3; }));
    timer.shutdown();
    QCoreApplication::processEvents();
    ASSERT_FALSE(dialogs.messages.isEmpty());
    EXPECT_EQ(dialogs.messages.first(), "worker failed");
}

TEST(ScrollThreadTest, AsyncRunScrollsAndStopsByItself)
{
    app();
    Panel panel;
    int stops = 0;
    panel.setOnStopPlay([&](Panel*) { ++stops; });
    panel.resize(120, 40);
    panel.setInterval(0);
    panel.setLines({"A"});
    panel.setActive(true);
    EXPECT_TRUE(waitFor([&] { return !panel.Active(); }));
    EXPECT_EQ(stops, 1);
}

TEST(ScrollThreadTest, UiThreadStepsRunOnlyThroughTheEventLoop)
{
    app();
    Panel panel;
    panel.resize(120, 40);
    panel.setAsyncDrawing(false);
    panel.setInterval(1);
    panel.setCycled(true);
    panel.setLines({"A", "B"});
    panel.setActive(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(panel.offset(), 0);  // nothing has been processed yet
    EXPECT_TRUE(waitFor([&] { return panel.offset() >= 3; }));
}

TEST(ScrollThreadTest, ErrorInAWorkerStepIsShownAndScrollingGoesOn)
{
    app();
    RecordingDialogs dialogs;
    TScopedDialogs scoped(dialogs);
    Panel panel;
    panel.resize(120, 40);
    panel.setInterval(1);
    panel.setCycled(true);
    std::atomic<int> calls{0};
    panel.setOnPaintClient([&](Panel*, QPainter& canvas, const QRect& rect) {
        if (++calls == 2)
            throw std::runtime_error("paint failed");
        canvas.fillRect(rect, Qt::white);
    });
    panel.setLines({"A"});
    panel.setActive(true);
    EXPECT_TRUE(waitFor([&] { return !dialogs.messages.isEmpty() && calls.load() > 10; }));
    EXPECT_EQ(dialogs.messages, QStringList{"paint failed"});
    EXPECT_TRUE(panel.Active());
    panel.setActive(false);
}

TEST(ScrollThreadTest, StartStopAndDestroyRaceWithRunningSteps)
{
    app();
    for (int round = 0; round < 200; ++round) {
        auto panel = std::make_unique<Panel>();
        panel->resize(80 + round % 7, 40);
        panel->setAsyncDrawing(round % 3 != 0);
        panel->setCycled(round % 2 == 0);
        panel->setInterval(0);
        panel->setLines({"Um", "", "Dois", "Tres"});
        panel->setActive(true);
        if (round % 4 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        panel->setLines({"Quatro", "Cinco"});
        panel->setTextStyle(Panel::bvLowered);
        panel->setAlignment(Panel::taRightJustify);
        panel->resize(60, 30);
        QCoreApplication::processEvents();
        (void)panel->frame();
        if (round % 5 == 0) {
            panel->setActive(false);
            panel->setActive(true);
        }
        if (round % 2 == 1)
            panel->setActive(false);
        panel.reset();  // a running panel stops and joins its thread
        QCoreApplication::processEvents();
    }
    SUCCEED();
}

TEST(ScrollThreadTest, RunsToTheEndRepeatedly)
{
    app();
    Panel panel;
    panel.resize(40, 20);
    panel.setInterval(0);
    panel.setLines({"x"});
    int stops = 0;
    panel.setOnStopPlay([&](Panel*) { ++stops; });
    for (int round = 0; round < 20; ++round) {
        panel.setAsyncDrawing(round % 2 == 0);
        panel.setActive(true);
        ASSERT_TRUE(waitFor([&] { return !panel.Active(); })) << round;
    }
    EXPECT_EQ(stops, 20);
}
