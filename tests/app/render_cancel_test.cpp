// A Full Recompute whose render is cancelled: from the derived cache's fast path, and by closing the
// controller while the SBL solver runs. Neither leaves a result or a file behind.
#include <gtest/gtest.h>

#include <QTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "analysis_fixture.h"
#include "app/full_recompute.h"
#include "app_test_support.h"

namespace zk::app::test {
namespace {

namespace fs = std::filesystem;

using RenderCancel = ControllerSettingsTest;

// Ends the test binary with a message when the guarded scope has not ended by the deadline, so that a
// join that never returns fails the run instead of hanging it.
class Watchdog {
  public:
    Watchdog(std::chrono::seconds limit, const char* what)
        : thread_([this, limit, what] {
              std::unique_lock lock(mutex_);
              if (!ended_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "%s did not end within %lld s\n", what,
                               static_cast<long long>(limit.count()));
                  std::_Exit(3);
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        ended_.notify_one();
        thread_.join();
    }

  private:
    std::mutex mutex_;  // guards done_ between the test thread and the watchdog
    std::condition_variable ended_;
    bool done_ = false;
    std::thread thread_;
};

// SBL at grid step 0.5 with stride 2 maps 3185 coarse points; 100 passes keep the solver busy far
// beyond the watchdog's deadline unless the cancel reaches it.
void configureLongSbl(UiController& ui) {
    configureSingleBin(ui, 0.5);
    ui.setAnalysisAlgorithm(QStringLiteral("14 SBL / ARD"));
    ui.setAnalysisBeamformingParameter(QStringLiteral("sbl_stride"), 2);
    ui.setAnalysisBeamformingParameter(QStringLiteral("sbl_iterations"), 100);
    ui.setAnalysisBeamformingParameter(QStringLiteral("sbl_noise_rel"), 1e-5);
}

TEST_F(RenderCancel, ClosingTheControllerDuringAnSblRenderJoinsTheRunAndLeavesNoFiles) {
    PlaneWaveProject project(48000);
    auto ui = std::make_unique<UiController>();
    ui->openProject(project.path());
    configureLongSbl(*ui);
    ui->createFullRecomputeAnalysis();
    ASSERT_TRUE(ui->analysisBusy()) << ui->analysisStatus().toStdString();
    // The window is read whole before the render starts.
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui->analysisProgress() >= 1.0; }, 120000));
    ASSERT_TRUE(ui->analysisBusy());
    {
        const Watchdog watchdog(std::chrono::seconds(30), "the controller's destructor");
        ui.reset();
    }
    EXPECT_FALSE(fs::exists(project.measurementDir() / "derived"));
    EXPECT_FALSE(fs::exists(project.measurementDir() / "analyses"));
}

TEST_F(RenderCancel, ACancelDuringTheFastPathRenderEndsTheRunWithoutAResult) {
    PlaneWaveProject project(48000);
    FullRecomputeJob job = singleBinJob(project, 4.0, "a_fill");
    runFullRecompute(job, {});  // fills the derived cache
    const std::vector<fs::path> cached = filesIn(project.measurementDir());

    job.request.parameters.algorithm = 14;
    job.request.parameters.sblStride = 2;
    job.request.parameters.sblIterations = 100;
    job.request.parameters.speedOfSoundMps = kSpeedOfSound;
    job.request.gridStep = 0.5;
    std::atomic<bool> hit{false};     // set by the worker at the cache hit; read by the canceller
    std::atomic<bool> cancel{false};  // raised by the canceller; polled by the render's threads
    std::atomic<int> pollsAfterCancel{0};
    FullRecomputeHooks hooks;
    hooks.cacheHit = [&] { hit.store(true); };
    hooks.cancelled = [&] {
        if (!cancel.load()) return false;
        pollsAfterCancel.fetch_add(1);
        return true;
    };
    bool progressed = false;
    hooks.progress = [&](double) { progressed = true; };
    std::thread canceller([&] {
        while (!hit.load()) std::this_thread::yield();
        cancel.store(true);
    });
    std::string error;
    {
        const Watchdog watchdog(std::chrono::seconds(30), "the cancelled fast-path render");
        try {
            runFullRecompute(job, hooks);
        } catch (const std::exception& e) {
            error = e.what();
        }
    }
    canceller.join();
    EXPECT_EQ(error, "Band matrix computation cancelled");
    EXPECT_FALSE(progressed);
    EXPECT_GE(pollsAfterCancel.load(), 1);
    EXPECT_LE(pollsAfterCancel.load(), core::beamformerThreadCount() + 1);
    EXPECT_EQ(filesIn(project.measurementDir()), cached);
}

}  // namespace
}  // namespace zk::app::test
