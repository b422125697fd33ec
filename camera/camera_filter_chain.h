#pragma once

#include <QObject>
#include <QPointer>
#include <QVideoFrame>
#include <QVideoSink>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class QTimer;

namespace zk::camera {

// Between the camera's video sink and the two sinks that show the picture (the live view's camera
// layer and the Camera page's preview): passes frames through, or filters them on a worker thread of
// its own behind a one-frame mailbox in which the newest frame wins. A watchdog asks QML to restart
// the camera when the frames stop. Lives on the GUI thread; every public function is called there.
class CameraFilterChain : public QObject {
    Q_OBJECT
    Q_PROPERTY(int mode READ mode WRITE setMode NOTIFY modeChanged)
    Q_PROPERTY(double strength READ strength WRITE setStrength NOTIFY strengthChanged)
    Q_PROPERTY(bool watchdogArmed READ watchdogArmed WRITE setWatchdogArmed NOTIFY watchdogArmedChanged)
    Q_PROPERTY(int restartCount READ restartCount NOTIFY restartCountChanged)

  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // What the worker runs on each frame it takes: (frame, mode, strength) -> filtered frame.
    using FrameFilter = std::function<QVideoFrame(const QVideoFrame&, int, double)>;

    // Starts the worker (std::system_error when it cannot) and the 1000 ms watchdog timer.
    explicit CameraFilterChain(QObject* parent = nullptr);
    // The same with the clock the frame times and the watchdog read (steady_clock when empty), and the
    // worker's filter (filterVideoFrame when empty).
    CameraFilterChain(Clock clock, QObject* parent, FrameFilter filter = {});
    // Stops and joins the worker; a filtered frame not yet delivered is dropped.
    ~CameraFilterChain() override;

    CameraFilterChain(const CameraFilterChain&) = delete;
    CameraFilterChain& operator=(const CameraFilterChain&) = delete;

    // Takes the frames of sink, replacing the previous input; null only detaches. Not owned.
    Q_INVOKABLE void attachInput(QVideoSink* sink);
    // The outputs; null detaches. Not owned: a sink destroyed elsewhere is dropped from then on.
    Q_INVOKABLE void attachLiveSink(QVideoSink* sink);
    Q_INVOKABLE void attachCameraSink(QVideoSink* sink);
    // Qt Multimedia's pixel-format numbers of Motion-JPEG and YUYV, for QML's choice of camera format.
    Q_INVOKABLE int pixelFormatJpeg() const;
    Q_INVOKABLE int pixelFormatYuyv() const;

    int mode() const { return mode_.load(std::memory_order_relaxed); }
    // Clamped to 0 .. 11.
    void setMode(int mode);
    double strength() const { return strength_.load(std::memory_order_relaxed); }
    // Clamped to 0 .. 8; a value that is not a number is refused.
    void setStrength(double strength);
    bool watchdogArmed() const { return watchdogArmed_; }
    void setWatchdogArmed(bool armed);
    int restartCount() const { return restartCount_; }

    // The watchdog timer's check, run every 1000 ms.
    void checkWatchdog();

  signals:
    void modeChanged();
    void strengthChanged();
    void watchdogArmedChanged();
    void restartCountChanged();
    void restartRequested();

  private slots:
    // Queued from the worker by name: the queued call is then built and read inside Qt only, whose
    // locking the thread sanitizer cannot see.
    void deliverFiltered();

  private:
    void handleFrame(const QVideoFrame& frame);
    void runWorker();
    void publishFiltered(QVideoFrame frame);

    Clock clock_;
    const FrameFilter filter_;  // set before the worker starts; worker only
    // Written on the GUI thread, read by the worker at the start of each filter.
    std::atomic<int> mode_{0};
    std::atomic<double> strength_{1.0};

    // GUI thread only. The worker never touches a sink: a sink QML destroys goes away on the GUI
    // thread, so it is looked up there, right before each use.
    QPointer<QVideoSink> input_;
    QPointer<QVideoSink> liveSink_;
    QPointer<QVideoSink> cameraSink_;

    // Guards the mailbox frame, its pending and stop flags, and the filtered frame waiting for its
    // delivery with its posted flag; GUI thread and worker.
    std::mutex mailboxMutex_;
    std::condition_variable mailboxReady_;  // the worker waits here for pending or stop
    QVideoFrame mailbox_;
    bool pending_ = false;
    bool stop_ = false;
    QVideoFrame filtered_;
    bool deliveryPosted_ = false;

    std::vector<std::int32_t> luma_;  // worker only: luma scratch of the neighbourhood filters

    // Watchdog state, GUI thread only (the frame handler and the timer run there).
    QTimer* watchdogTimer_ = nullptr;
    bool watchdogArmed_ = false;
    bool frameSeen_ = false;
    std::optional<std::chrono::steady_clock::time_point> lastFrameTime_;
    std::chrono::steady_clock::time_point armedTime_{};
    std::optional<std::chrono::steady_clock::time_point> lastRestartTime_;
    int restartCount_ = 0;

    std::thread worker_;  // last member: starts once everything it reads exists
};

}  // namespace zk::camera
