// The chain around the filters: properties, sinks, the one-frame mailbox, shutdown and the watchdog.

#include "camera/camera_filter_chain.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QVariant>
#include <array>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camera/camera_frame_filter.h"
#include "camera_frame_support.h"
#include "render/colormaps.h"

namespace zk::camera {
namespace {

using namespace std::chrono_literals;
using test::filled;
using test::FilterRig;
using test::frameOf;
using test::waitUntil;

// Counts a signal of the chain.
template <typename Signal>
std::shared_ptr<int> counter(CameraFilterChain& chain, Signal signal) {
    auto count = std::make_shared<int>(0);
    QObject::connect(&chain, signal, [count] { ++*count; });
    return count;
}

TEST(CameraFilterChain, ModeClampsToItsRangeAndSignalsOnlyChanges) {
    CameraFilterChain chain;
    const auto changes = counter(chain, &CameraFilterChain::modeChanged);
    EXPECT_EQ(chain.mode(), 0);
    chain.setMode(15);
    EXPECT_EQ(chain.mode(), 11);
    chain.setMode(-3);
    EXPECT_EQ(chain.mode(), 0);
    chain.setMode(4);
    chain.setMode(4);
    EXPECT_EQ(chain.mode(), 4);
    EXPECT_EQ(*changes, 3);
    chain.setMode(-1);  // clamps to 0, a change
    chain.setMode(0);   // already 0
    EXPECT_EQ(*changes, 4);
    EXPECT_EQ(chain.property("mode").toInt(), 0);
}

TEST(CameraFilterChain, StrengthClampsAndRefusesNotANumber) {
    CameraFilterChain chain;
    const auto changes = counter(chain, &CameraFilterChain::strengthChanged);
    EXPECT_EQ(chain.strength(), 1.0);
    chain.setStrength(20.0);
    EXPECT_EQ(chain.strength(), 8.0);
    chain.setStrength(-1.0);
    EXPECT_EQ(chain.strength(), 0.0);
    chain.setStrength(std::numeric_limits<double>::infinity());
    EXPECT_EQ(chain.strength(), 8.0);
    chain.setStrength(-std::numeric_limits<double>::infinity());
    EXPECT_EQ(chain.strength(), 0.0);
    EXPECT_EQ(*changes, 4);
    chain.setStrength(2.5);
    chain.setStrength(2.5);
    chain.setStrength(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(chain.strength(), 2.5);
    EXPECT_EQ(*changes, 5);
}

TEST(CameraFilterChain, NotANumberStrengthLeavesTheFilterOnTheLastValidStrength) {
    FilterRig rig;
    // Strength 2 stays after the NaN: 100 / 255 x 2 picks turbo entry 200.
    rig.chain->setStrength(2.0);
    const QImage out =
        rig.filter(3, std::numeric_limits<double>::quiet_NaN(), filled(3, 3, QColor(100, 100, 100)));
    ASSERT_FALSE(out.isNull());
    const std::uint8_t* entry = render::kTurboTable.data() + 3 * 200;
    EXPECT_EQ(out.pixel(1, 1), qRgb(entry[0], entry[1], entry[2]));
}

TEST(CameraFilterChain, InputAttachesOnceAndASecondInputReplacesTheFirst) {
    FilterRig rig;
    rig.chain->attachInput(&rig.input);  // the same sink again: still one connection
    rig.input.setVideoFrame(frameOf(filled(4, 4, Qt::red)));
    EXPECT_EQ(rig.liveFrames.size(), 1u);

    QVideoSink other;
    rig.chain->attachInput(&other);
    rig.input.setVideoFrame(frameOf(filled(4, 4, Qt::red)));
    EXPECT_EQ(rig.liveFrames.size(), 1u);
    other.setVideoFrame(frameOf(filled(4, 4, Qt::red)));
    EXPECT_EQ(rig.liveFrames.size(), 2u);

    rig.chain->attachInput(nullptr);
    other.setVideoFrame(frameOf(filled(4, 4, Qt::red)));
    EXPECT_EQ(rig.liveFrames.size(), 2u);
    // An invalid frame is ignored even when attached.
    rig.chain->attachInput(&rig.input);
    rig.input.setVideoFrame(QVideoFrame());
    EXPECT_EQ(rig.liveFrames.size(), 2u);
}

TEST(CameraFilterChain, OutputsReceiveInTheirOrderAndDetachWithNull) {
    FilterRig rig;
    std::string order;
    QObject::connect(&rig.live, &QVideoSink::videoFrameChanged, [&] { order += 'L'; });
    QObject::connect(&rig.camera, &QVideoSink::videoFrameChanged, [&] { order += 'C'; });
    rig.input.setVideoFrame(frameOf(filled(4, 4, Qt::blue)));
    EXPECT_EQ(order, "LC");  // pass-through: live first
    order.clear();
    ASSERT_FALSE(rig.filter(1, 1.0, filled(4, 4, Qt::blue)).isNull());
    EXPECT_EQ(order, "CL");  // filtered: camera first

    rig.chain->attachLiveSink(nullptr);
    const std::size_t live = rig.liveFrames.size();
    const std::size_t camera = rig.cameraFrames.size();
    rig.input.setVideoFrame(frameOf(filled(4, 4, Qt::blue)));
    ASSERT_TRUE(waitUntil([&] { return rig.cameraFrames.size() > camera; }));
    rig.chain->setMode(0);
    rig.input.setVideoFrame(frameOf(filled(4, 4, Qt::blue)));
    EXPECT_EQ(rig.cameraFrames.size(), camera + 2);
    EXPECT_EQ(rig.liveFrames.size(), live);
}

// Frames told apart by their width.
std::vector<QVideoFrame> framesOfWidths(int firstWidth, int count, int height) {
    std::vector<QVideoFrame> frames;
    for (int k = 0; k < count; ++k)
        frames.push_back(frameOf(filled(firstWidth + k, height, QColor(90, 140, 60))));
    return frames;
}

::testing::AssertionResult newestWinsInOrder(const std::vector<QVideoFrame>& delivered, int firstWidth,
                                             int count) {
    if (delivered.empty()) return ::testing::AssertionFailure() << "nothing delivered";
    for (std::size_t i = 1; i < delivered.size(); ++i) {
        if (delivered[i].width() <= delivered[i - 1].width())
            return ::testing::AssertionFailure()
                   << "frame of width " << delivered[i].width() << " after " << delivered[i - 1].width();
    }
    if (delivered.back().width() != firstWidth + count - 1)
        return ::testing::AssertionFailure() << "last delivered width " << delivered.back().width();
    return ::testing::AssertionSuccess();
}

TEST(CameraFilterChain, FramesArrivingFasterThanTheFilterAreDroppedNotQueued) {
    FilterRig rig;
    rig.chain->setMode(11);
    constexpr int kFirst = 640;
    constexpr int kCount = 24;
    const std::vector<QVideoFrame> burst = framesOfWidths(kFirst, kCount, 480);
    // No events run during the burst, so at most three results can follow it: the one waiting for
    // delivery, the one the worker filters, and the newest frame in the mailbox.
    for (const QVideoFrame& frame : burst) rig.input.setVideoFrame(frame);
    ASSERT_TRUE(waitUntil(
        [&] { return !rig.liveFrames.empty() && rig.liveFrames.back().width() == kFirst + kCount - 1; }));
    waitUntil([] { return false; }, 200);  // anything still queued would arrive now
    EXPECT_LE(rig.liveFrames.size(), 3u);
    EXPECT_TRUE(newestWinsInOrder(rig.liveFrames, kFirst, kCount));
    EXPECT_EQ(rig.cameraFrames.size(), rig.liveFrames.size());

    // With events running between frames the slow filter still takes only the newest.
    rig.liveFrames.clear();
    const std::vector<QVideoFrame> paced = framesOfWidths(1280, kCount, 720);
    for (const QVideoFrame& frame : paced) {
        rig.input.setVideoFrame(frame);
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(waitUntil(
        [&] { return !rig.liveFrames.empty() && rig.liveFrames.back().width() == 1280 + kCount - 1; }));
    waitUntil([] { return false; }, 200);
    EXPECT_LT(rig.liveFrames.size(), static_cast<std::size_t>(kCount));
    EXPECT_TRUE(newestWinsInOrder(rig.liveFrames, 1280, kCount));
}

// The worker is held inside the first frame's filter until two more frames have arrived, so both wait
// in the mailbox in turn: the newer replaces the older, which is never filtered.
TEST(CameraFilterChain, OfTwoFramesArrivingWhileTheWorkerIsBusyOnlyTheSecondIsFiltered) {
    std::mutex mutex;                 // guards taken and released; test and worker thread
    std::condition_variable changed;  // signals both to the other side
    std::vector<int> taken;           // widths of the frames the worker took, in order
    bool released = false;
    const auto heldFilter = [&](const QVideoFrame& frame, int mode, double strength) {
        std::unique_lock lock(mutex);
        taken.push_back(frame.width());
        changed.notify_all();
        changed.wait(lock, [&] { return released; });
        lock.unlock();
        std::vector<std::int32_t> luma;
        return filterVideoFrame(frame, mode, strength, luma);
    };
    FilterRig rig({}, heldFilter);
    // Declared after the rig, so a failed check still lets the worker go before the chain joins it.
    const struct Release {
        std::mutex& mutex;
        std::condition_variable& changed;
        bool& released;
        ~Release() {
            const std::lock_guard lock(mutex);
            released = true;
            changed.notify_all();
        }
    } release{mutex, changed, released};
    rig.chain->setMode(11);

    rig.input.setVideoFrame(frameOf(filled(64, 48, QColor(90, 140, 60))));
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 30s, [&] { return !taken.empty(); }));
    }
    rig.input.setVideoFrame(frameOf(filled(16, 16, Qt::red)));
    rig.input.setVideoFrame(frameOf(filled(24, 16, Qt::green)));
    {
        const std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
    ASSERT_TRUE(waitUntil([&] { return !rig.liveFrames.empty() && rig.liveFrames.back().width() == 24; }));
    {
        const std::lock_guard lock(mutex);
        EXPECT_EQ(taken, (std::vector<int>{64, 24}));
    }
    for (const QVideoFrame& frame : rig.liveFrames) EXPECT_NE(frame.width(), 16);
}

TEST(CameraFilterChain, DestroyingTheChainWhileFramesFlowReturnsAndDeliversNothingAfter) {
    // A sink passes on only a frame that differs from its last one, so two frames take turns.
    const std::array<QVideoFrame, 2> frames{frameOf(filled(1280, 720, QColor(30, 180, 220))),
                                            frameOf(filled(1280, 720, QColor(220, 180, 30)))};
    FilterRig rig;
    rig.chain->setMode(11);
    std::size_t next = 0;
    const bool flowing = waitUntil([&] {
        rig.input.setVideoFrame(frames[next++ % 2]);
        return rig.liveFrames.size() >= 3;
    });
    // The newest frame waits in the mailbox or is being filtered, and a result may wait for delivery.
    rig.input.setVideoFrame(frames[next++ % 2]);
    rig.chain.reset();
    const std::size_t delivered = rig.liveFrames.size();
    waitUntil([] { return false; }, 200);
    EXPECT_TRUE(flowing);
    EXPECT_EQ(rig.liveFrames.size(), delivered);

    // Destroyed while the worker is in the middle of a large frame.
    FilterRig busy;
    busy.chain->setMode(7);
    busy.input.setVideoFrame(frameOf(filled(3840, 2160, QColor(30, 180, 220))));
    std::this_thread::sleep_for(2ms);
    busy.chain.reset();
    waitUntil([] { return false; }, 100);
    EXPECT_TRUE(busy.liveFrames.empty());
}

TEST(CameraFilterChain, AnOutputSinkDestroyedWhileFramesFlowIsNeverUsedAgain) {
    QVideoSink input;
    QVideoSink camera;
    auto live = std::make_unique<QVideoSink>();
    CameraFilterChain chain;
    chain.attachInput(&input);
    chain.attachCameraSink(&camera);
    chain.attachLiveSink(live.get());
    int cameraFrames = 0;
    QObject::connect(&camera, &QVideoSink::videoFrameChanged, [&] { ++cameraFrames; });
    chain.setMode(1);
    // A sink passes on only a frame that differs from its last one, so two frames take turns.
    const std::array<QVideoFrame, 2> frames{frameOf(filled(640, 480, QColor(200, 40, 40))),
                                            frameOf(filled(640, 480, QColor(40, 200, 40)))};
    std::size_t next = 0;
    const auto push = [&] { input.setVideoFrame(frames[next++ % 2]); };
    ASSERT_TRUE(waitUntil([&] {
        push();
        return cameraFrames >= 3;
    }));
    // A filtered frame for both sinks is on its way while the live sink goes away.
    push();
    live.reset();
    const int before = cameraFrames;
    ASSERT_TRUE(waitUntil([&] {
        push();
        return cameraFrames >= before + 3;
    }));
    chain.setMode(0);
    push();
    EXPECT_TRUE(camera.videoFrame() == input.videoFrame());
    // With no output left, frames go nowhere.
    chain.attachCameraSink(nullptr);
    chain.setMode(2);
    const int last = cameraFrames;
    push();
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(cameraFrames, last);
}

// A clock the test moves by hand, so the watchdog's 3 s and 5 s limits are checked to the step.
struct ManualClock {
    std::chrono::steady_clock::time_point now{1000s};
};

struct WatchdogRig {
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    FilterRig rig{[c = clock] { return c->now; }};
    std::shared_ptr<int> requests = counter(*rig.chain, &CameraFilterChain::restartRequested);
    std::shared_ptr<int> countChanges = counter(*rig.chain, &CameraFilterChain::restartCountChanged);

    // Moves the clock to seconds after the start and runs a check.
    void checkAt(double seconds) {
        clock->now = std::chrono::steady_clock::time_point{1000s} +
                     std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                         std::chrono::duration<double>(seconds));
        rig.chain->checkWatchdog();
    }
    void frameAt(double seconds) {
        checkAt(seconds);
        rig.input.setVideoFrame(frameOf(filled(2, 2, Qt::gray)));
    }
};

TEST(CameraFilterWatchdog, WithoutFramesItAsksForARestartAfterFiveSecondsAndThenEveryFive) {
    WatchdogRig w;
    const auto armedChanges = counter(*w.rig.chain, &CameraFilterChain::watchdogArmedChanged);
    w.checkAt(30.0);  // disarmed: nothing, however long
    w.rig.chain->setWatchdogArmed(true);
    w.rig.chain->setWatchdogArmed(true);
    EXPECT_EQ(*armedChanges, 1);
    for (double t = 31.0; t <= 35.0; t += 1.0) w.checkAt(t);
    EXPECT_EQ(*w.requests, 0);  // exactly 5 s is not more than 5 s
    w.checkAt(35.5);
    EXPECT_EQ(*w.requests, 1);
    EXPECT_EQ(w.rig.chain->restartCount(), 1);
    EXPECT_EQ(*w.countChanges, 1);
    w.checkAt(36.5);
    w.checkAt(40.4);
    EXPECT_EQ(*w.requests, 1);
    w.checkAt(40.6);
    EXPECT_EQ(*w.requests, 2);
    EXPECT_EQ(w.rig.chain->property("restartCount").toInt(), 2);

    w.rig.chain->setWatchdogArmed(false);
    EXPECT_EQ(*armedChanges, 2);
    w.checkAt(60.0);
    EXPECT_EQ(*w.requests, 2);
}

TEST(CameraFilterWatchdog, WhenFramesStopItWaitsThreeSecondsThenKeepsFiveBetweenRequests) {
    WatchdogRig w;
    w.checkAt(0.0);
    w.rig.chain->setWatchdogArmed(true);
    for (double t = 1.0; t <= 10.0; t += 1.0) w.frameAt(t);
    w.checkAt(12.0);
    w.checkAt(13.0);  // exactly 3 s after the last frame
    EXPECT_EQ(*w.requests, 0);
    w.checkAt(13.2);
    EXPECT_EQ(*w.requests, 1);
    // A frame comes back but stops again: 3.5 s later the last request is only 4.3 s old.
    w.frameAt(14.0);
    w.checkAt(17.5);
    EXPECT_EQ(*w.requests, 1);
    w.checkAt(18.3);
    EXPECT_EQ(*w.requests, 2);
    EXPECT_EQ(w.rig.chain->restartCount(), 2);
}

TEST(CameraFilterWatchdog, FramesBeforeArmingAndInvalidFramesDoNotCount) {
    WatchdogRig w;
    w.frameAt(0.0);
    w.checkAt(1.0);
    w.rig.chain->setWatchdogArmed(true);
    for (double t = 2.0; t <= 6.0; t += 1.0) {
        w.checkAt(t);
        w.rig.input.setVideoFrame(QVideoFrame());
    }
    // Had the early frame counted, the check 4 s after it would have passed the 3 s limit.
    EXPECT_EQ(*w.requests, 0);
    w.checkAt(6.1);
    EXPECT_EQ(*w.requests, 1);
}

TEST(CameraFilterWatchdog, ItsOwnTimerFiresAfterRealFramesStop) {
    FilterRig rig;
    const auto requests = counter(*rig.chain, &CameraFilterChain::restartRequested);
    rig.chain->setWatchdogArmed(true);
    QElapsedTimer sinceLastFrame;
    for (int i = 0; i < 6; ++i) {
        rig.input.setVideoFrame(frameOf(filled(8, 8, Qt::gray)));
        sinceLastFrame.start();
        waitUntil([] { return false; }, 200);
    }
    ASSERT_TRUE(waitUntil([&] { return *requests > 0; }, 8000));
    EXPECT_GE(sinceLastFrame.elapsed(), 3000);
    EXPECT_EQ(*requests, 1);
    EXPECT_EQ(rig.chain->restartCount(), 1);
}

}  // namespace
}  // namespace zk::camera
