// A render cancelled from another thread while its solver runs, or from inside one of its own loops: the
// cancellation error, no map, and no further work once the test has said stop.
#include "core/beamforming/render_cancel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "band_matrix_test_support.h"
#include "core/beamforming/band_matrix.h"
#include "core/beamforming/beamformer.h"
#include "core/signal/frequency_band.h"
#include "core/storage/device_profile.h"

namespace zk::core {
namespace {

// One bin at 4 kHz from a source at (10, -5) degrees over white sensor noise, for a 16-microphone array.
BandMatrix oneBinMatrix(const DeviceProfile& profile) {
    BandMatrix matrix;
    FrequencyBandParameters band;
    band.mode = 1;
    band.centerHz = 4000.0;
    matrix.band = resolveFrequencyBand(profile.sampleRateHz, 1024, band);
    const std::size_t m = profile.microphones.size();
    const double tx = std::tan(10.0 * std::numbers::pi / 180), ty = std::tan(-5.0 * std::numbers::pi / 180);
    std::vector<std::complex<double>> v(m);
    for (std::size_t i = 0; i < m; ++i) {
        const MicrophoneChannel& mic = profile.microphones[i];
        v[i] = std::polar(1.0, 2 * std::numbers::pi * matrix.band.binFrequenciesHz[0] *
                                   (tx * mic.x + ty * mic.y) / std::sqrt(1 + tx * tx + ty * ty) / 343.0);
    }
    MatrixRows rows(m, std::vector<std::complex<double>>(m));
    for (std::size_t i = 0; i < m; ++i)
        for (std::size_t j = 0; j < m; ++j) rows[i][j] = v[i] * std::conj(v[j]) + (i == j ? 0.1 : 0.0);
    matrix.matrices = {rows};
    matrix.inputFrames = 1024;
    matrix.stftFrames = 1;
    return matrix;
}

// SBL at stride 2 over 64 x 48 degrees at 1 degree: n = 33 x 25 = 825 coarse points. Before the first
// pass the render polls about 240 times (the DAS map, the point-spread rows and the solver's first
// products), then about 100 times in each pass, so at poll 300 the solver is inside its first pass; a
// solver that did not poll inside its passes would never get there and would return a map.
TEST(RenderCancel, ACancelFromAnotherThreadEndsAnSblRenderAtItsNextPoll) {
    const DeviceProfile profile = parseDeviceProfile(test::arrayProfileText(test::scatteredArray(16, 0.6)));
    const BandMatrix matrix = oneBinMatrix(profile);
    BeamformingParameters parameters;
    parameters.algorithm = 14;
    parameters.sblStride = 2;
    parameters.sblIterations = 3;
    parameters.speedOfSoundMps = 343.0;

    constexpr int kPollsBeforeCancel = 300;
    std::atomic<int> polls{0};             // every call of the test, from any render thread
    std::atomic<bool> cancel{false};       // raised by the canceller thread
    std::atomic<int> pollsAfterCancel{0};  // calls that saw the raised flag
    std::atomic<bool> ended{false};        // the render returned or threw
    const BandMatrixCancel test = [&] {
        polls.fetch_add(1);
        if (!cancel.load()) return false;
        pollsAfterCancel.fetch_add(1);
        return true;
    };
    std::thread canceller([&] {
        while (polls.load() < kPollsBeforeCancel && !ended.load()) std::this_thread::yield();
        cancel.store(true);
    });
    std::string error;
    bool rendered = false;
    try {
        renderBandMatrixMap(matrix, profile, parameters, 1.0, test);
        rendered = true;
    } catch (const std::runtime_error& e) {
        error = e.what();
    }
    ended.store(true);
    canceller.join();
    EXPECT_FALSE(rendered);
    EXPECT_EQ(error, "Band matrix computation cancelled");
    // Each of the team's threads may see the flag once before the team stops; nothing polls afterwards.
    EXPECT_GE(pollsAfterCancel.load(), 1);
    EXPECT_LE(pollsAfterCancel.load(), beamformerThreadCount());
}

// A cancel test that is already true ends the render before any map work; no test renders as before.
TEST(RenderCancel, ARaisedTestRefusesTheRenderAndAnEmptyOneChangesNothing) {
    const DeviceProfile profile = parseDeviceProfile(test::arrayProfileText(test::scatteredArray(16, 0.6)));
    const BandMatrix matrix = oneBinMatrix(profile);
    for (const std::int32_t algorithm : {1, 3, 9, 10, 14}) {
        SCOPED_TRACE(algorithm);
        BeamformingParameters parameters;
        parameters.algorithm = algorithm;
        parameters.speedOfSoundMps = 343.0;
        int polls = 0;
        EXPECT_THROW(renderBandMatrixMap(matrix, profile, parameters, 4.0, [&] { return ++polls > 0; }),
                     std::runtime_error);
        EXPECT_EQ(polls, 1);
        const HeatmapGrid plain = renderBandMatrixMap(matrix, profile, parameters, 4.0);
        const HeatmapGrid polled =
            renderBandMatrixMap(matrix, profile, parameters, 4.0, [] { return false; });
        EXPECT_EQ(polled.power, plain.power);
    }
}

// An algorithm whose render is cancelled at a pass of one of its own loops.
struct LoopCase {
    const char* name;
    detail::RenderLoop loop;
    void (*tune)(BeamformingParameters&);  // picks the algorithm and keeps its loop running long
};

void PrintTo(const LoopCase& c, std::ostream* out) { *out << c.name; }

// Stride 2 over 64 x 48 degrees at 1 degree: n = 825 coarse points. Tolerances far below what a few
// passes reach keep the gradient solvers from converging before the cancel.
const LoopCase kLoopCases[] = {
    {"PointSpread", detail::RenderLoop::kPointSpread,
     [](BeamformingParameters& p) {
         p.algorithm = 10;
         p.damasStride = 2;
     }},
    {"Damas", detail::RenderLoop::kDamas,
     [](BeamformingParameters& p) {
         p.algorithm = 10;
         p.damasStride = 2;
         p.damasIterations = 500;
     }},
    {"DamasFista", detail::RenderLoop::kGradient,
     [](BeamformingParameters& p) {
         p.algorithm = 11;
         p.damasFistaStride = 2;
         p.damasFistaIterations = 500;
         p.damasFistaTolerance = 1e-12;
     }},
    {"Nnls", detail::RenderLoop::kGradient,
     [](BeamformingParameters& p) {
         p.algorithm = 12;
         p.nnlsStride = 2;
         p.nnlsIterations = 500;
         p.nnlsTolerance = 1e-12;
     }},
    {"SparseFista", detail::RenderLoop::kGradient,
     [](BeamformingParameters& p) {
         p.algorithm = 13;
         p.sparseFistaStride = 2;
         p.sparseFistaIterations = 500;
         p.sparseFistaTolerance = 1e-12;
     }},
    {"CleanSc", detail::RenderLoop::kCleanSc,
     [](BeamformingParameters& p) {
         p.algorithm = 9;
         p.cleanLoopGain = 0.05;
         p.cleanMaxIterations = 200;
         p.cleanStopDb = -60.0;
     }},
    {"Sbl", detail::RenderLoop::kSbl,
     [](BeamformingParameters& p) {
         p.algorithm = 14;
         p.sblStride = 2;
         p.sblIterations = 20;
     }},
    // The point stage of the weighted maps: 3185 points in 25 blocks of 128.
    {"Functional", detail::RenderLoop::kWeightedPoints, [](BeamformingParameters& p) { p.algorithm = 2; }},
    {"Capon", detail::RenderLoop::kWeightedPoints, [](BeamformingParameters& p) { p.algorithm = 3; }},
    {"SrpPhat", detail::RenderLoop::kWeightedPoints, [](BeamformingParameters& p) { p.algorithm = 8; }},
};

class RenderCancelInsideItsLoop : public ::testing::TestWithParam<LoopCase> {};

// The observer raises the cancel when the third pass of the loop begins, just before that pass polls. A
// loop that polls ends the render there: no pass of it begins afterwards (a member of a team over points
// may begin one that it had already claimed), and the render ends within a second. A loop that did not
// poll would run on to its last pass and return a map.
TEST_P(RenderCancelInsideItsLoop, EndsTheRenderAtThatLoopsNextPoll) {
    using Clock = std::chrono::steady_clock;
    const LoopCase& c = GetParam();
    const DeviceProfile profile = parseDeviceProfile(test::arrayProfileText(test::scatteredArray(16, 0.6)));
    const BandMatrix matrix = oneBinMatrix(profile);
    BeamformingParameters parameters;
    parameters.speedOfSoundMps = 343.0;
    c.tune(parameters);
    ASSERT_TRUE(parameters.isValid(16));

    constexpr int kPassesBeforeCancel = 2;
    std::atomic<int> passes{0};             // passes of the watched loop begun before the cancel
    std::atomic<int> passesAfterCancel{0};  // passes of the watched loop begun once it was raised
    std::atomic<bool> cancel{false};        // raised by the observer on a render thread
    std::mutex mutex;                       // guards raised, ended and raisedAt between the two threads
    std::condition_variable changed;
    bool raised = false;
    bool ended = false;
    Clock::time_point raisedAt;
    const detail::RenderLoopObserver observer = [&](detail::RenderLoop loop) {
        if (loop != c.loop) return;
        if (cancel.load()) {
            passesAfterCancel.fetch_add(1);
            return;
        }
        if (passes.fetch_add(1) != kPassesBeforeCancel) return;
        cancel.store(true);
        {
            std::lock_guard lock(mutex);
            raised = true;
            raisedAt = Clock::now();
        }
        changed.notify_all();
    };
    const BandMatrixCancel test = [&] { return cancel.load(); };

    std::string error;
    bool rendered = false;
    std::thread render([&] {
        const detail::RenderLoopObserverScope watching(observer);
        try {
            renderBandMatrixMap(matrix, profile, parameters, 1.0, test);
            rendered = true;
        } catch (const std::runtime_error& e) {
            error = e.what();
        }
        {
            std::lock_guard lock(mutex);
            ended = true;
        }
        changed.notify_all();
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return raised || ended; });
        if (raised && !changed.wait_until(lock, raisedAt + std::chrono::seconds(1), [&] { return ended; }))
            ADD_FAILURE() << "the render went on for more than a second after the cancel";
    }
    render.join();
    ASSERT_TRUE(raised) << "the render never began pass " << kPassesBeforeCancel + 1 << " of its loop";
    EXPECT_FALSE(rendered);
    EXPECT_EQ(error, "Band matrix computation cancelled");
    const bool team =
        c.loop == detail::RenderLoop::kPointSpread || c.loop == detail::RenderLoop::kWeightedPoints;
    const int allowed = team ? beamformerThreadCount() - 1 : 0;
    EXPECT_LE(passesAfterCancel.load(), allowed);
}

INSTANTIATE_TEST_SUITE_P(Algorithms, RenderCancelInsideItsLoop, ::testing::ValuesIn(kLoopCases),
                         [](const ::testing::TestParamInfo<LoopCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zk::core
