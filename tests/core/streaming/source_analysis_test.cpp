#include "core/streaming/source_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <stdexcept>
#include <vector>

#include "streaming/source_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

using zk::test::expectThrowExactly;
using zk::test::oneShotAtBin;
using zk::test::sourceProfile;
using zk::test::spiralPositions;
using zk::test::tangentWave;

using Complex = std::complex<double>;

// Hands out stored wire frames, at most `chunk` per read, and counts the reads.
class ScriptedSource final : public IRawSampleSource {
  public:
    ScriptedSource(std::vector<std::int16_t> samples, std::uint32_t wires, std::uint64_t chunk)
        : samples_(std::move(samples)), wires_(wires), chunk_(chunk) {}
    SourceKind kind() const override { return SourceKind::Replay; }
    void configure(const DeviceProfile&) override {}
    void start() override {}
    void stop() override {}
    std::vector<std::int16_t> readFrames(std::uint64_t frameCount) override {
        ++reads;
        const std::uint64_t left = (samples_.size() - cursor_) / wires_;
        const std::uint64_t n = std::min({frameCount, chunk_, left});
        const auto first = samples_.begin() + static_cast<std::ptrdiff_t>(cursor_);
        cursor_ += n * wires_;
        return {first, first + static_cast<std::ptrdiff_t>(n * wires_)};
    }
    int reads = 0;

  private:
    std::vector<std::int16_t> samples_;
    std::uint64_t wires_;
    std::uint64_t chunk_;
    std::size_t cursor_ = 0;
};

// Cross-spectral matrix of bin k over the Hann-windowed frames, by a naive DFT in double: the mean per
// frame, the level a map reads whatever the number of frames.
std::vector<std::vector<Complex>> naiveMatrix(const std::vector<std::vector<double>>& channels, std::size_t n,
                                              std::size_t hop, std::size_t k) {
    const std::size_t m = channels.size();
    std::vector<double> window(n);
    double windowSum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        window[i] = 0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * i / (n - 1)));
        windowSum += window[i];
    }
    const double scale = std::sqrt(2.0) / (windowSum * 32768.0);
    std::vector<std::vector<Complex>> r(m, std::vector<Complex>(m));
    double frames = 0.0;
    for (std::size_t start = 0; start + n <= channels[0].size(); start += hop, frames += 1.0) {
        std::vector<Complex> x(m);
        for (std::size_t c = 0; c < m; ++c) {
            double mean = 0.0;
            for (std::size_t i = 0; i < n; ++i) mean += channels[c][start + i];
            mean /= n;
            for (std::size_t i = 0; i < n; ++i) {
                const double v = (channels[c][start + i] - mean) * window[i] * scale;
                x[c] += v * std::polar(1.0, -2.0 * std::numbers::pi * double(i * k % n) / n);
            }
        }
        for (std::size_t i = 0; i < m; ++i)
            for (std::size_t j = 0; j < m; ++j) r[i][j] += x[i] * std::conj(x[j]);
    }
    for (auto& row : r)
        for (Complex& value : row) value /= frames;
    return r;
}

// Far-field delay-and-sum power a^H R a / M^2 of the camera-grid direction (h, v) degrees.
double bruteForcePower(const std::vector<std::vector<Complex>>& r, const DeviceProfile& profile,
                       double frequencyHz, double hDeg, double vDeg) {
    const std::size_t m = r.size();
    const double tx = std::tan(hDeg * std::numbers::pi / 180.0);
    const double ty = std::tan(vDeg * std::numbers::pi / 180.0);
    const double norm = std::sqrt(1.0 + tx * tx + ty * ty);
    std::vector<double> t(m);
    double latest = 0.0;
    for (std::size_t i = 0; i < m; ++i) {
        t[i] = (tx * profile.microphones[i].x + ty * profile.microphones[i].y) / norm;
        latest = std::max(latest, t[i]);
    }
    std::vector<Complex> a(m);
    for (std::size_t i = 0; i < m; ++i)
        a[i] = std::polar(1.0, -2.0 * std::numbers::pi * frequencyHz * (latest - t[i]) / 343.0);
    Complex q;
    for (std::size_t i = 0; i < m; ++i)
        for (std::size_t j = 0; j < m; ++j) q += std::conj(a[i]) * r[i][j] * a[j];
    return std::max(q.real() / double(m * m), 0.0);
}

TEST(SourceAnalysis, CameraMapEqualsAnIndependentMatrixAndQuadraticForm) {
    // Four microphones on wires 3, 0, 4, 1 of 5; noise-like samples so that every channel differs.
    const DeviceProfile profile = sourceProfile({{0, 0, 0.03, -0.02, 0.01},
                                                 {1, 0, -0.11, 0.07, 0.0},
                                                 {2, 0, 0.05, 0.13, -0.04},
                                                 {3, 0, -0.08, -0.09, 0.02}},
                                                5, {3, 0, 4, 1});
    std::mt19937 random(12);
    std::uniform_int_distribution<int> sample(-20000, 20000);
    std::vector<std::int16_t> wire(384 * 5);
    for (std::int16_t& v : wire) v = static_cast<std::int16_t>(sample(random));

    SourceAnalysisSettings s = oneShotAtBin(20);
    s.azimuthMinDeg = -10.0;
    s.azimuthMaxDeg = 10.0;
    s.elevationMinDeg = -8.0;
    s.elevationMaxDeg = 4.0;
    // 256 frames make exactly one FFT frame, 384 make two, averaged.
    for (const std::uint64_t frames : {256u, 384u}) {
        s.frameCount = frames;
        ScriptedSource source(wire, 5, 100);
        const HeatmapGrid map = runSourceAnalysis(source, profile, s);
        EXPECT_EQ(source.reads, static_cast<int>((frames + 99) / 100));

        std::vector<std::vector<double>> channels(4);
        for (std::size_t n = 0; n < frames; ++n)
            for (std::size_t m = 0; m < 4; ++m) channels[m].push_back(wire[n * 5 + profile.logicalToWire[m]]);
        const auto r = naiveMatrix(channels, 256, 128, 20);
        ASSERT_EQ(map.width, 21u);
        ASSERT_EQ(map.height, 13u);
        EXPECT_EQ(map.representativeFrequencyHz, 3750.0);
        std::vector<double> expected;
        for (std::size_t row = 0; row < 13; ++row)
            for (std::size_t column = 0; column < 21; ++column)
                expected.push_back(bruteForcePower(r, profile, 3750.0, column - 10.0, row - 8.0));
        EXPECT_LT(zk::test::maxRelativeDifference(map.power, expected), 1e-9) << frames << " frames";
    }
}

TEST(SourceAnalysis, SelfCheckPeaksAtTheSyntheticDirectionOnTheCameraGrid) {
    const DeviceProfile profile = sourceProfile(spiralPositions(32, 0.2), 32);
    for (const auto& [x, y] : {std::pair{0.0, 0.0}, std::pair{10.0, -5.0}, std::pair{-21.0, 13.0}}) {
        const HeatmapGrid map = runSyntheticSelfCheck(profile, tangentWave(6000.0, x, y), oneShotAtBin(32));
        EXPECT_EQ(map.width, 65u);
        EXPECT_EQ(map.height, 49u);
        EXPECT_EQ(map.peakAzimuthDeg, x);
        EXPECT_EQ(map.peakElevationDeg, y);
    }
    SourceAnalysisSettings withoutDiagonal = oneShotAtBin(32);
    withoutDiagonal.removeCsmDiagonal = true;
    const HeatmapGrid map = runSyntheticSelfCheck(profile, tangentWave(6000.0, 7.0, 3.0), withoutDiagonal);
    EXPECT_EQ(map.peakAzimuthDeg, 7.0);
    EXPECT_EQ(map.peakElevationDeg, 3.0);
}

TEST(SourceAnalysis, ScansPeakAtTheSyntheticAzimuthAndElevation) {
    // Looking along x the array stands in the y-z plane; its mirror image lies behind it, off the scan.
    std::vector<MicrophoneChannel> positions = spiralPositions(32, 0.2);
    for (MicrophoneChannel& p : positions) p = {p.logicalChannel, p.wireChannel, 0.0, p.x, p.y};
    const DeviceProfile profile = sourceProfile(positions, 32);
    SyntheticSourceSettings wave = tangentWave(6000.0, 0.0, 0.0);
    wave.tangentPlane = false;
    wave.azimuthDeg = 12.0;
    wave.elevationDeg = 7.0;

    SourceAnalysisSettings scan = oneShotAtBin(32);
    scan.cameraGrid = false;
    const HeatmapGrid grid = runSyntheticSelfCheck(profile, wave, scan);
    EXPECT_EQ(grid.width, 65u);
    EXPECT_EQ(grid.height, 49u);
    EXPECT_EQ(grid.peakAzimuthDeg, 12.0);
    EXPECT_EQ(grid.peakElevationDeg, 7.0);

    wave.azimuthDeg = -15.0;
    wave.elevationDeg = 0.0;
    scan.elevationCount = 0;
    const HeatmapGrid line = runSyntheticSelfCheck(profile, wave, scan);
    EXPECT_EQ(line.height, 1u);
    EXPECT_EQ(line.peakAzimuthDeg, -15.0);
}

TEST(SourceAnalysis, ReadingStopsAfter200ReadsAndShortInputFailsOrGivesAnEmptyMap) {
    const DeviceProfile profile = sourceProfile(spiralPositions(4, 0.1), 4);
    ScriptedSource silent({}, 4, 256);
    expectThrowExactly<std::runtime_error>(
        [&] { (void)runSourceAnalysis(silent, profile, oneShotAtBin(10)); },
        "source returned no complete frames");
    EXPECT_EQ(silent.reads, 1);  // the first read that brings nothing ends the reading

    // A source that trickles one frame per read is read 200 times, then analysed.
    ScriptedSource trickle(std::vector<std::int16_t>(1024 * 4, 100), 4, 1);
    expectThrowExactly<std::runtime_error>(
        [&] { (void)runSourceAnalysis(trickle, profile, oneShotAtBin(10)); },
        "not enough synthetic frames for analysis");
    EXPECT_EQ(trickle.reads, 200);

    SourceAnalysisSettings tolerant = oneShotAtBin(10);
    tolerant.tolerateShortInput = true;
    ScriptedSource stillSilent({}, 4, 256);
    const HeatmapGrid empty = runSourceAnalysis(stillSilent, profile, tolerant);
    EXPECT_EQ(stillSilent.reads, 1);
    EXPECT_EQ(empty.width, 0u);
    EXPECT_TRUE(empty.power.empty());

    // 255 frames are one short of an FFT frame.
    const std::vector<std::int16_t> few = std::vector<std::int16_t>(255 * 4, 100);
    ScriptedSource shortSource(few, 4, 256);
    expectThrowExactly<std::runtime_error>(
        [&] { (void)runSourceAnalysis(shortSource, profile, oneShotAtBin(10)); },
        "not enough synthetic frames for analysis");
    EXPECT_EQ(shortSource.reads, 2);
    ScriptedSource tolerated(few, 4, 256);
    EXPECT_TRUE(runSourceAnalysis(tolerated, profile, tolerant).power.empty());
    EXPECT_EQ(tolerated.reads, 1);
}

TEST(SourceAnalysis, RefusesAnInvalidProfileABinOutOfRangeAndBadSyntheticSettings) {
    const DeviceProfile profile = sourceProfile(spiralPositions(4, 0.1), 4);
    ScriptedSource source(std::vector<std::int16_t>(1024 * 4, 0), 4, 1024);
    expectThrowExactly<std::invalid_argument>(
        [&] { (void)runSourceAnalysis(source, DeviceProfile{}, oneShotAtBin(10)); },
        "invalid device profile");
    expectThrowExactly<std::invalid_argument>(
        [&] { (void)runSourceAnalysis(source, profile, oneShotAtBin(256)); },
        "frequency bin is out of range");
    EXPECT_EQ(source.reads, 0);

    // The synthetic source's own checks come first.
    const SyntheticSourceSettings nan = tangentWave(std::numeric_limits<double>::quiet_NaN(), 0.0, 0.0);
    expectThrowExactly<std::invalid_argument>(
        [&] { (void)runSyntheticSelfCheck(DeviceProfile{}, nan, oneShotAtBin(10)); },
        "synthetic source frequency and speed of sound must be positive");
}

}  // namespace
}  // namespace zk::core
