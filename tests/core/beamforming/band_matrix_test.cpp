#include "core/beamforming/band_matrix.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>

#include "allocation_counter.h"
#include "band_matrix_test_support.h"
#include "core/signal/spectral_framer.h"
#include "test_support.h"

namespace zk::core {
namespace {

using test::expectThrowExactly;
using test::PlaneWave;
using test::ScriptedSource;

// Cache keys hold this text: only quotes and backslashes change, everything else stays byte for byte.
TEST(BandMatrix, EscapeJsonStringTouchesOnlyQuotesAndBackslashes) {
    EXPECT_EQ(escapeJsonString(R"(a"b\c)"), R"(a\"b\\c)");
    EXPECT_EQ(escapeJsonString(R"(\")"), R"(\\\")");
    const std::string raw = std::string("n\nt\tr\r\x01\x7f\xc3\xa9/") + std::string(1, '\0');
    EXPECT_EQ(escapeJsonString(raw), raw);
    EXPECT_EQ(escapeJsonString(""), "");
    EXPECT_STREQ(bandModeName(0), "unknown");
    EXPECT_STREQ(bandModeName(4), "unknown");
}

// Four scattered microphones at 48 kHz, framed at 64 / 16 so that short windows hold many frames; the
// third-octave at 8 kHz then holds bins 10 and 11.
class BandMatrixWindow : public ::testing::Test {
  protected:
    BandMatrixWindow() : profile(parseDeviceProfile(test::arrayProfileText(test::scatteredArray(4, 0.1)))) {
        request.frameSize = 64;
        request.hopSize = 16;
        request.gridStep = 2.0;
    }

    ScriptedSource sourceOf(std::uint64_t frames, std::uint64_t maxChunk = 0) const {
        return ScriptedSource(test::wireSamples(profile, frames, {{8000, 10, -6, 8000}}, 300), 4, maxChunk);
    }

    BandMatrix compute(ScriptedSource& source, BandMatrixProgress progress = {},
                       BandMatrixCancel cancel = {}) {
        return computeBandMatrix(source, profile, request, std::move(progress), std::move(cancel));
    }

    DeviceProfile profile;
    BandMatrixRequest request;
};

TEST_F(BandMatrixWindow, RefusesBadFramingAndAnInvalidProfile) {
    const auto framingError = [&](std::uint64_t frameSize, std::uint64_t hop) {
        request.frameSize = frameSize;
        request.hopSize = hop;
        ScriptedSource source = sourceOf(4096);
        return test::messageOf([&] { compute(source); });
    };
    EXPECT_EQ(framingError(1024, 1025), "invalid recompute frame/hop size");
    EXPECT_EQ(framingError(1000, 500), "invalid recompute frame/hop size");
    EXPECT_EQ(framingError(0, 1), "invalid recompute frame/hop size");
    EXPECT_EQ(framingError(1024, 0), "invalid recompute frame/hop size");
    EXPECT_EQ(framingError(2, 1), "invalid recompute frame/hop size");

    request.frameSize = 1024;
    request.hopSize = 1024;
    request.windowFrameCount = 1024;
    ScriptedSource source = sourceOf(4096);
    EXPECT_EQ(compute(source).stftFrames, 1u);

    ScriptedSource unused = sourceOf(4096);
    expectThrowExactly<std::invalid_argument>(
        [&] { computeBandMatrix(unused, DeviceProfile{}, request, {}, {}); },
        "Band matrix requires a valid Profile");
    EXPECT_TRUE(unused.requests.empty());
}

TEST_F(BandMatrixWindow, CountsFramesOfTheWindowOnly) {
    const auto run = [&](std::uint64_t window) {
        request.windowFrameCount = window;
        ScriptedSource source = sourceOf(1000);
        return compute(source);
    };
    EXPECT_EQ(run(64).stftFrames, 1u);
    const BandMatrix four = run(64 + 3 * 16);
    EXPECT_EQ(four.stftFrames, 4u);
    EXPECT_EQ(four.inputFrames, 64u + 3 * 16);
    // Without a window the source is read to its end; the unframed tail counts as input only.
    const BandMatrix all = run(0);
    EXPECT_EQ(all.inputFrames, 1000u);
    EXPECT_EQ(all.stftFrames, (1000u - 64) / 16 + 1);
    expectThrowExactly<std::runtime_error>([&] { run(63); }, "Measurement is too short for recompute");
}

TEST_F(BandMatrixWindow, ReadsChunksOf2048AndReportsTheShareOfTheWindow) {
    request.windowFrameCount = 3000;
    ScriptedSource source = sourceOf(5000);
    std::vector<double> reported;
    const BandMatrix result = compute(source, [&](double p) { reported.push_back(p); });
    EXPECT_EQ(source.requests, (std::vector<std::uint64_t>{2048, 952}));
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_NEAR(reported[0], 0.683, 5e-4);
    EXPECT_EQ(reported[1], 1.0);
    EXPECT_EQ(result.inputFrames, 3000u);

    // To the end of the source, measured against totalFrames and limited to 1.
    request.windowFrameCount = 0;
    request.totalFrames = 4096;
    ScriptedSource open = sourceOf(5000);
    reported.clear();
    compute(open, [&](double p) { reported.push_back(p); });
    EXPECT_EQ(open.requests, (std::vector<std::uint64_t>{2048, 2048, 2048, 2048}));
    EXPECT_EQ(reported, (std::vector<double>{0.5, 1.0, 1.0}));
}

TEST_F(BandMatrixWindow, RefusesAChunkOfPartialWireFrames) {
    const DeviceProfile two = parseDeviceProfile(test::arrayProfileText({{-0.05, 0, 0}, {0.05, 0, 0}}));
    ScriptedSource source({}, 2);
    source.forcedRead = std::vector<std::int16_t>(2049, 1);
    expectThrowExactly<std::runtime_error>([&] { computeBandMatrix(source, two, request, {}, {}); },
                                           "recompute received incomplete wire frames");
}

TEST_F(BandMatrixWindow, CancelIsPolledBeforeEveryReadAndCallablesAreReleased) {
    ScriptedSource source = sourceOf(10000);
    auto held = std::make_shared<int>(0);
    const std::weak_ptr<int> watch = held;
    expectThrowExactly<std::runtime_error>(
        [&] {
            compute(
                source, [held](double) {}, [held = std::move(held)] { return true; });
        },
        "Band matrix computation cancelled");
    EXPECT_TRUE(source.requests.empty());
    EXPECT_TRUE(watch.expired());

    // A request made during the first chunk stops the computation before the second read.
    ScriptedSource later = sourceOf(10000);
    int polls = 0;
    expectThrowExactly<std::runtime_error>([&] { compute(later, {}, [&] { return ++polls > 1; }); },
                                           "Band matrix computation cancelled");
    EXPECT_EQ(later.requests.size(), 1u);
}

// Twenty channels, framed in groups of 8, 8 and 4, read in chunks of 700 frames that cross frame
// boundaries everywhere; 274 frames fill several update batches. The sums must not depend on the team.
TEST_F(BandMatrixWindow, EqualsANaiveDftOfEveryWindowedFrameOnAnyTeamSize) {
    const DeviceProfile twenty = parseDeviceProfile(test::arrayProfileText(test::scatteredArray(20, 0.2)));
    request.hopSize = 24;
    request.band.mode = 3;
    request.band.bandwidthHz = 6000;
    request.windowFrameCount = 6640;
    const std::vector<std::int16_t> wire = test::wireSamples(twenty, 7000, {{8100, 10, -6, 9000}}, 2000);
    const int threads = omp_get_max_threads();
    const auto run = [&](int team) {
        omp_set_num_threads(team);
        ScriptedSource source(wire, 20, 700);
        BandMatrix result = computeBandMatrix(source, twenty, request, {}, {});
        omp_set_num_threads(threads);
        return result;
    };
    const BandMatrix result = run(4);
    EXPECT_EQ(run(1).matrices, result.matrices);

    const FrequencyBand band = resolveFrequencyBand(48000, 64, request.band);
    EXPECT_EQ(result.band.binIndices, band.binIndices);
    EXPECT_EQ(result.band.binFrequenciesHz, band.binFrequenciesHz);
    EXPECT_EQ(result.band.representativeFrequencyHz, band.representativeFrequencyHz);
    std::uint64_t frames = 0;
    const auto expected = test::naiveBandMatrix(wire, twenty, 64, 24, 0, 6640, band.binIndices, &frames);
    EXPECT_EQ(result.stftFrames, frames);
    EXPECT_EQ(result.inputFrames, 6640u);
    EXPECT_LT(test::relativeDistance(result.matrices, expected), 1e-9);
}

// The history and the update batch are sized once: a window 8 times longer costs a few allocations
// per extra chunk (the source's own result), not one per spectral frame (126 per chunk here), also
// when the channels fall into groups of two sizes (20 = 8 + 8 + 4).
TEST_F(BandMatrixWindow, AllocatesPerChunkNotPerFrame) {
    const DeviceProfile twenty = parseDeviceProfile(test::arrayProfileText(test::scatteredArray(20, 0.2)));
    for (const DeviceProfile* array : {static_cast<const DeviceProfile*>(&profile), &twenty}) {
        const auto allocations = [&](std::uint64_t window) {
            request.windowFrameCount = window;
            ScriptedSource source(test::wireSamples(*array, window, {}, 3000), array->wireChannelCount);
            return test::allocationsDuring([&] { computeBandMatrix(source, *array, request, {}, {}); }).calls;
        };
        const std::uint64_t shortWindow = allocations(2048);
        const std::uint64_t longWindow = allocations(8 * 2048);
        EXPECT_LE(longWindow - shortWindow, 7u * 4) << array->channelCount << " channels";
    }
}

TEST_F(BandMatrixWindow, RenderChecksItsInputInOrder) {
    request.windowFrameCount = 640;
    ScriptedSource source = sourceOf(640);
    const BandMatrix matrix = compute(source);
    const BeamformingParameters defaults;
    const auto renderError = [&](const BandMatrix& m, const DeviceProfile& p, const BeamformingParameters& b,
                                 double step) {
        return test::messageOf([&] { renderBandMatrixMap(m, p, b, step); });
    };

    EXPECT_EQ(renderError(matrix, DeviceProfile{}, defaults, 0.1), "map render requires a valid Profile");
    BandMatrix empty = matrix;
    empty.stftFrames = 0;
    EXPECT_EQ(renderError(empty, profile, defaults, 0.1), "Frozen matrix input is empty");
    EXPECT_EQ(renderError(BandMatrix{}, profile, defaults, 0.1), "Frozen matrix input is empty");
    BeamformingParameters slowSound;
    slowSound.speedOfSoundMps = 200;
    EXPECT_EQ(renderError(matrix, profile, slowSound, 0.1), "invalid beamforming parameters");
    for (const double step : {0.2, 10.01, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(renderError(matrix, profile, defaults, step),
                  "analysis grid step is outside supported range");

    // No camera block: 64 x 48 degrees; both ends of the step range are accepted.
    const HeatmapGrid fine = renderBandMatrixMap(matrix, profile, defaults, 2);
    EXPECT_EQ(fine.width, 33u);
    EXPECT_EQ(fine.height, 25u);
    EXPECT_EQ(renderBandMatrixMap(matrix, profile, defaults, 0.25).width, 257u);
    EXPECT_EQ(renderBandMatrixMap(matrix, profile, defaults, 10).width, 7u);

    request.gridStep = 0.2;
    ScriptedSource again = sourceOf(640);
    expectThrowExactly<std::invalid_argument>(
        [&] { recomputeBandMatrixMap(again, profile, request, {}, {}); },
        "analysis grid step is outside supported range");
}

// A steady tone reads one absolute level whatever the window behind the map: 37 and 397 frames (10.3 dB
// apart as sums), with DAS and MVDR, from the recompute and from the frozen matrix alike; and that level
// is the map of the mean matrix of the frames.
TEST_F(BandMatrixWindow, MapLevelIsPerSpectralFrameWhateverTheWindowLength) {
    for (const std::int32_t algorithm : {1, 3}) {
        request.parameters.algorithm = algorithm;
        std::vector<double> levels;
        for (const std::uint64_t frames : {640u, 6400u}) {
            request.windowFrameCount = frames;
            ScriptedSource source = sourceOf(frames);
            const BandMatrixMapResult result = recomputeBandMatrixMap(source, profile, request, {}, {});
            levels.push_back(result.map.peakDb);
            const HeatmapGrid frozen =
                renderBandMatrixMap(result.bandMatrix, profile, request.parameters, request.gridStep);
            EXPECT_EQ(frozen.power, result.map.power);

            // Twice the frames behind the same mean matrix: the same map.
            BandMatrix doubled = result.bandMatrix;
            doubled.stftFrames *= 2;
            for (auto& matrix : doubled.matrices)
                for (auto& row : matrix)
                    for (auto& value : row) value *= 2.0;
            EXPECT_NEAR(renderBandMatrixMap(doubled, profile, request.parameters, request.gridStep).peakDb,
                        frozen.peakDb, 1e-9);
        }
        EXPECT_NEAR(levels[0], levels[1], 0.2) << "algorithm " << algorithm;
        // A tone at a quarter of full scale stays below full scale; as a sum of 397 frames it would not.
        EXPECT_LT(levels[1], 0.0) << "algorithm " << algorithm;
    }
}

// The floor as the calibration makes it: per bin, the mean of x x^H over the spectral frames.
std::shared_ptr<NoiseFloorProfile> floorOf(const std::vector<std::int16_t>& wire,
                                           const DeviceProfile& profile, std::uint64_t frameSize,
                                           std::uint64_t hop, double beta) {
    const std::size_t m = profile.channelCount;
    std::vector<std::int16_t> logical(wire.size() / profile.wireChannelCount * m);
    for (std::size_t f = 0; f < logical.size() / m; ++f)
        for (std::size_t c = 0; c < m; ++c)
            logical[f * m + c] = wire[f * profile.wireChannelCount + profile.logicalToWire[c]];
    const std::vector<SpectralFrame> frames = SpectralFramer(frameSize, hop).frame(logical, m);
    auto floor = std::make_shared<NoiseFloorProfile>();
    floor->channelCount = m;
    floor->fftSize = frameSize;
    floor->averagedFrames = frames.size();
    floor->subtractBeta = beta;
    floor->enabled = true;
    floor->sampleRateHz = profile.sampleRateHz;
    floor->matrices.assign(frameSize / 2 + 1, MatrixRows(m, std::vector<test::Complex>(m)));
    for (std::size_t k = 0; k <= frameSize / 2; ++k) {
        for (const SpectralFrame& frame : frames)
            for (std::size_t r = 0; r < m; ++r)
                for (std::size_t c = 0; c < m; ++c)
                    floor->matrices[k][r][c] += frame.spectra[r][k] * std::conj(frame.spectra[c][k]);
        for (auto& row : floor->matrices[k])
            for (auto& value : row) value /= static_cast<double>(frames.size());
    }
    return floor;
}

double largestPower(const HeatmapGrid& map) {
    double largest = 0;
    for (const double p : map.power) largest = std::max(largest, std::abs(p));
    return largest;
}

// A loud coherent background (a source at -20, -12 degrees with lines in both bands, plus diffuse noise)
// recorded as a floor; then the same background with a quieter tone at 16, 8 degrees.
class NoiseSubtraction : public ::testing::Test {
  protected:
    NoiseSubtraction() : profile(parseDeviceProfile(test::arrayProfileText(test::scatteredArray(16, 0.3)))) {
        request.frameSize = 256;
        request.hopSize = 128;
        request.gridStep = 2.0;
        request.band.centerHz = 6000;
        std::vector<PlaneWave> background;
        for (const double f : {2812.5, 3000.0, 3187.5, 5812.5, 6000.0, 6187.5})
            background.push_back({f, -20, -12, 3000, f / 1000});
        std::vector<PlaneWave> withTone = background;
        withTone.push_back({6093.75, 16, 8, 1500});
        noise = test::wireSamples(profile, kFrames, background, 500);
        noisePlusTone = test::wireSamples(profile, kFrames, withTone, 500);
    }

    BandMatrixMapResult recompute(const std::vector<std::int16_t>& wire,
                                  std::shared_ptr<const NoiseFloorProfile> floor, double centerHz) {
        request.noiseFloor = std::move(floor);
        request.band.centerHz = centerHz;
        ScriptedSource source(wire, 16);
        return recomputeBandMatrixMap(source, profile, request, {}, {});
    }

    static constexpr std::uint64_t kFrames = 24000;
    DeviceProfile profile;
    BandMatrixRequest request;
    std::vector<std::int16_t> noise;
    std::vector<std::int16_t> noisePlusTone;
};

TEST_F(NoiseSubtraction, FloorOfPerFrameMeansLeavesTheToneOnTopAndTheBackgroundNearZero) {
    const auto floor = floorOf(noise, profile, 256, 128, 1.0);
    const BandMatrixMapResult plain = recompute(noisePlusTone, nullptr, 6000);
    EXPECT_FALSE(plain.noiseSubtracted);
    EXPECT_EQ(plain.map.peakAzimuthDeg, -20);
    EXPECT_EQ(plain.map.peakElevationDeg, -12);

    const BandMatrixMapResult cleaned = recompute(noisePlusTone, floor, 6000);
    EXPECT_TRUE(cleaned.noiseSubtracted);
    EXPECT_EQ(cleaned.map.peakAzimuthDeg, 16);
    EXPECT_EQ(cleaned.map.peakElevationDeg, 8);
    EXPECT_EQ(cleaned.bandMatrix.matrices, plain.bandMatrix.matrices);  // the frozen matrix stays as summed

    const BandMatrixMapResult backgroundOnly = recompute(noisePlusTone, nullptr, 3000);
    const BandMatrixMapResult backgroundCleaned = recompute(noisePlusTone, floor, 3000);
    EXPECT_TRUE(backgroundCleaned.noiseSubtracted);
    EXPECT_LT(largestPower(backgroundCleaned.map), 1e-4 * largestPower(backgroundOnly.map));

    // A floor of another fftSize (129 matrices, not 512 / 2 + 1), or one the subtraction refuses (a
    // negative beta), leaves the map of the unsubtracted matrices.
    floor->fftSize = 512;
    const BandMatrixMapResult otherSize = recompute(noisePlusTone, floor, 6000);
    EXPECT_FALSE(otherSize.noiseSubtracted);
    EXPECT_EQ(otherSize.map.power, plain.map.power);
    floor->fftSize = 256;
    floor->subtractBeta = -1;
    const BandMatrixMapResult refused = recompute(noisePlusTone, floor, 6000);
    EXPECT_FALSE(refused.noiseSubtracted);
    EXPECT_EQ(refused.map.power, plain.map.power);
}

}  // namespace
}  // namespace zk::core
