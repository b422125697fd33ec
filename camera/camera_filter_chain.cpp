#include "camera/camera_filter_chain.h"

#include <QTimer>
#include <QVideoFrameFormat>
#include <algorithm>
#include <cmath>
#include <utility>

#include "camera/camera_frame_filter.h"

namespace zk::camera {
namespace {

using namespace std::chrono_literals;

constexpr int kWatchdogIntervalMs = 1000;
constexpr auto kFirstFrameGrace = 5s;  // after arming or a restart, for the first frame to arrive
constexpr auto kFrameGapLimit = 3s;    // between frames once they flow
constexpr auto kRestartSpacing = 5s;

static_assert(QVideoFrameFormat::Format_Jpeg == 29 && QVideoFrameFormat::Format_YUYV == 17);

}  // namespace

CameraFilterChain::CameraFilterChain(QObject* parent) : CameraFilterChain(Clock(), parent) {}

CameraFilterChain::CameraFilterChain(Clock clock, QObject* parent, FrameFilter filter)
    : QObject(parent),
      clock_(clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); })),
      filter_(std::move(filter)),
      worker_([this] { runWorker(); }) {
    watchdogTimer_ = new QTimer(this);
    watchdogTimer_->setInterval(kWatchdogIntervalMs);
    connect(watchdogTimer_, &QTimer::timeout, this, &CameraFilterChain::checkWatchdog);
    watchdogTimer_->start();
}

CameraFilterChain::~CameraFilterChain() {
    // The worker takes the mailbox mutex to see the flag, so the join waits outside it.
    {
        const std::lock_guard lock(mailboxMutex_);
        stop_ = true;
    }
    mailboxReady_.notify_one();
    worker_.join();
}

void CameraFilterChain::attachInput(QVideoSink* sink) {
    if (sink == input_) return;
    if (input_) disconnect(input_, nullptr, this, nullptr);
    input_ = sink;
    if (sink) connect(sink, &QVideoSink::videoFrameChanged, this, &CameraFilterChain::handleFrame);
}

void CameraFilterChain::attachLiveSink(QVideoSink* sink) { liveSink_ = sink; }

void CameraFilterChain::attachCameraSink(QVideoSink* sink) { cameraSink_ = sink; }

int CameraFilterChain::pixelFormatJpeg() const { return QVideoFrameFormat::Format_Jpeg; }

int CameraFilterChain::pixelFormatYuyv() const { return QVideoFrameFormat::Format_YUYV; }

void CameraFilterChain::setMode(int mode) {
    const int clamped = std::clamp(mode, 0, kFilterModeLast);
    if (mode_.exchange(clamped) != clamped) emit modeChanged();
}

void CameraFilterChain::setStrength(double strength) {
    // A NaN would pass every clamp and reach the filters' loop bounds and table indices.
    if (std::isnan(strength)) return;
    const double clamped = std::clamp(strength, 0.0, kFilterStrengthMax);
    if (strength_.exchange(clamped) != clamped) emit strengthChanged();
}

void CameraFilterChain::setWatchdogArmed(bool armed) {
    if (armed == watchdogArmed_) return;
    watchdogArmed_ = armed;
    if (armed) {
        frameSeen_ = false;
        armedTime_ = clock_();
        lastFrameTime_.reset();
    }
    emit watchdogArmedChanged();
}

void CameraFilterChain::checkWatchdog() {
    if (!watchdogArmed_) return;
    const auto now = clock_();
    if (lastRestartTime_ && now - *lastRestartTime_ < kRestartSpacing) return;
    const bool stalled = frameSeen_ ? now - lastFrameTime_.value_or(now) > kFrameGapLimit
                                    : now - armedTime_ > kFirstFrameGrace;
    if (!stalled) return;
    lastRestartTime_ = now;
    frameSeen_ = false;
    ++restartCount_;
    armedTime_ = now;
    emit restartCountChanged();
    emit restartRequested();
}

void CameraFilterChain::handleFrame(const QVideoFrame& frame) {
    if (!frame.isValid()) return;
    lastFrameTime_ = clock_();
    frameSeen_ = true;
    if (mode() != kFilterPassThrough && (liveSink_ || cameraSink_)) {
        QVideoFrame dropped;  // released after the unlock: a camera buffer may take locks of its own
        {
            const std::lock_guard lock(mailboxMutex_);
            dropped = std::exchange(mailbox_, frame);
            pending_ = true;
        }
        mailboxReady_.notify_one();
        return;
    }
    if (liveSink_) liveSink_->setVideoFrame(frame);
    if (cameraSink_) cameraSink_->setVideoFrame(frame);
}

void CameraFilterChain::runWorker() {
    for (;;) {
        try {
            QVideoFrame frame;
            {
                std::unique_lock lock(mailboxMutex_);
                mailboxReady_.wait(lock, [this] { return stop_ || pending_; });
                if (stop_) return;
                frame = std::exchange(mailbox_, QVideoFrame());
                pending_ = false;
            }
            const int mode = mode_.load(std::memory_order_relaxed);
            if (mode == kFilterPassThrough) continue;
            const double strength = strength_.load(std::memory_order_relaxed);
            QVideoFrame filtered =
                filter_ ? filter_(frame, mode, strength) : filterVideoFrame(frame, mode, strength, luma_);
            frame = QVideoFrame();
            if (filtered.isValid()) publishFiltered(std::move(filtered));
        } catch (...) {
            // Out of memory for a frame: that frame is dropped like one that cannot be converted.
        }
    }
}

void CameraFilterChain::publishFiltered(QVideoFrame frame) {
    bool post = false;
    {
        const std::lock_guard lock(mailboxMutex_);
        std::swap(filtered_, frame);
        post = !std::exchange(deliveryPosted_, true);
    }
    // One delivery waits at a time, taking the newest result, so a busy GUI thread drops results too.
    if (post) QMetaObject::invokeMethod(this, "deliverFiltered", Qt::QueuedConnection);
}

void CameraFilterChain::deliverFiltered() {
    QVideoFrame frame;
    {
        const std::lock_guard lock(mailboxMutex_);
        frame = std::exchange(filtered_, QVideoFrame());
        deliveryPosted_ = false;
    }
    // Filtered before a switch to pass-through: the camera's own frames now go out unchanged.
    if (!frame.isValid() || mode() == kFilterPassThrough) return;
    if (cameraSink_) cameraSink_->setVideoFrame(frame);
    if (liveSink_) liveSink_->setVideoFrame(frame);
}

}  // namespace zk::camera
