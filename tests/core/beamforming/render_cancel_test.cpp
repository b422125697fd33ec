// A render cancelled from another thread while its solver runs: the cancellation error, no map, and no
// further work once the test has said stop.
#include "core/beamforming/render_cancel.h"

#include <gtest/gtest.h>

#include <atomic>
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

}  // namespace
}  // namespace zk::core
