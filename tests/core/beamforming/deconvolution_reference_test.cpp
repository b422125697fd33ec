// The deconvolution maps through computeBeamformingMap against their steps written out in double
// (deconvolution_reference.h): on the shipped array, where the solvers' peaks leave the source, and on a
// sparse array whose SBL solution magnifies any rounding of its data.
#include "deconvolution_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <string>
#include <vector>

#include "core/beamforming/compute_beamforming_map.h"
#include "core/platform/cpu_features.h"
#include "core/storage/device_profile.h"
#include "detail/vector_level_cap.h"
#include "steering_test_model.h"

namespace zk::core {
namespace {

using reference::Vec;

constexpr double kSampleRateHz = 48000.0;
constexpr std::size_t kFftSize = 1024;

// The map's cell nearest to a direction.
std::uint64_t cellNear(const HeatmapGrid& map, double hDeg, double vDeg) {
    auto nearest = [](const std::vector<double>& axis, double v) {
        std::size_t best = 0;
        for (std::size_t i = 1; i < axis.size(); ++i)
            if (std::abs(axis[i] - v) < std::abs(axis[best] - v)) best = i;
        return best;
    };
    return nearest(map.elevationDeg, vDeg) * map.width + nearest(map.azimuthDeg, hDeg);
}

// The coarse grid of one stride with its steering and point-spread matrix; the reference map of algorithm
// 10..14 for band matrices on the grid of computeBeamformingMap.
struct ReferenceProblem {
    const testmodel::Grid& grid;
    reference::Coarse coarse;
    std::vector<std::vector<testmodel::Vec>> steering;
    Vec p;

    ReferenceProblem(const std::vector<MicrophonePosition>& mics, const testmodel::Grid& g,
                     const std::vector<double>& freqs, std::uint32_t stride)
        : grid(g),
          coarse(g, stride),
          steering(reference::floatSteering(mics, g, freqs, coarse.points)),
          p(reference::pointSpread(steering)) {}

    Vec data(const std::vector<MatrixRows>& matrices) const { return reference::dasData(matrices, steering); }

    Vec map(const Vec& b, const BeamformingParameters& q) const {
        return reference::spread(solve(b, q), coarse, grid);
    }

    Vec solve(const Vec& b, const BeamformingParameters& q) const {
        switch (q.algorithm) {
            case 10:
                return reference::damas(p, b, q.damasIterations, q.damasRelaxation);
            case 11:
                return reference::projectedGradient(p, b, q.damasFistaIterations, q.damasFistaTolerance, 0.0,
                                                    true);
            case 12:
                return reference::projectedGradient(p, b, q.nnlsIterations, q.nnlsTolerance, 0.0, false);
            case 13:
                return reference::projectedGradient(p, b, q.sparseFistaIterations, q.sparseFistaTolerance,
                                                    q.sparseFistaLambdaRel, true);
            default:
                return reference::sbl(p, b, q.sblIterations, q.sblNoiseRel, q.sblPruneRel);
        }
    }
};

std::uint32_t strideOf(const BeamformingParameters& q) {
    const std::uint32_t strides[] = {q.damasStride, q.damasFistaStride, q.nnlsStride, q.sparseFistaStride,
                                     q.sblStride};
    return strides[q.algorithm - 10];
}

// Largest difference between the map and the reference on the cells where the reference holds at least
// `floor` of its peak.
double worstDifference(const HeatmapGrid& map, const Vec& expected, double floor) {
    const double peak = *std::max_element(expected.begin(), expected.end());
    double worst = 0.0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] >= floor * peak) worst = std::max(worst, std::abs(map.power[i] - expected[i]) / peak);
    }
    return worst;
}

std::vector<MicrophonePosition> shippedArray() {
    const DeviceProfile profile = loadDeviceProfile(ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json");
    std::vector<MicrophonePosition> mics;
    for (const auto& m : profile.microphones) mics.push_back({m.x, m.y, m.z});
    return mics;
}

// Band matrices of plane-wave tones seen through a Hann-windowed 1024-point frame at 48 kHz: bin k holds
// |X_k|^2 v v^H, X_k the window's response to the tone, v the wave's steering at the tone's own frequency,
// plus the window's share of white sensor noise at the given SNR (tone power over noise variance, per
// microphone, of the loudest tone).
struct Tone {
    double frequencyHz, hDeg, vDeg, amplitude;
};

std::vector<MatrixRows> toneMatrices(const std::vector<MicrophonePosition>& mics, const FrequencyBand& band,
                                     const std::vector<Tone>& tones, double snrDb) {
    double windowEnergy = 0.0, loudest = 0.0;
    std::vector<double> window(kFftSize);
    for (std::size_t n = 0; n < kFftSize; ++n) {
        window[n] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(n) / kFftSize);
        windowEnergy += window[n] * window[n];
    }
    for (const Tone& t : tones) loudest = std::max(loudest, t.amplitude * t.amplitude / 2.0);
    std::vector<MatrixRows> out;
    for (const std::uint64_t bin : band.binIndices) {
        MatrixRows r = testmodel::zeroMatrix(mics.size());
        for (const Tone& t : tones) {
            std::complex<double> x = 0.0;
            const double cycles = t.frequencyHz / kSampleRateHz - static_cast<double>(bin) / kFftSize;
            for (std::size_t n = 0; n < kFftSize; ++n) {
                x += window[n] * std::polar(t.amplitude / 2.0, 2.0 * std::numbers::pi * cycles * n);
            }
            testmodel::addSource(
                r, testmodel::planeWaveSteering(mics, t.frequencyHz, t.hDeg, t.vDeg, testmodel::kSoundSpeed),
                std::norm(x));
        }
        testmodel::addNoise(r, loudest / std::pow(10.0, snrDb / 10.0) * windowEnergy);
        out.push_back(std::move(r));
    }
    return out;
}

// An off-bin 2,513 Hz tone from 10 / -6 degrees at 20 dB SNR on the shipped array, its default third-octave
// band (13 bins, 2250 .. 2812.5 Hz) and its camera's field at 1 degree: the source lies between the coarse
// points of every solver (strides 3 and 4 sample azimuth 8, 11 and 10, elevation -6 and -9, -5). Every
// solver's map is its steps on the same data: DAMAS peaks at 8 / -6 after its 30 ascending Gauss-Seidel
// sweeps (run to convergence it moves to 11 / -6); SBL at 6 / -9, because the band-mean point spread the
// solvers model the map with is not the spread of a tone that fills 2 of the 13 bins (0.4 % of the peak
// off at the source itself) and SBL's near-noiseless fit answers that with spikes around it. A source of
// equal power in every bin, which the band-mean spread does model, is found by every solver within one
// coarse step; delay-and-sum and CLEAN-SC sit on the source cell in both.
TEST(DeconvolutionReference, ShippedArrayMapsAreTheSolversSteps) {
    const std::vector<MicrophonePosition> mics = shippedArray();
    ASSERT_EQ(mics.size(), 128u);
    const Beamformer beamformer(mics, testmodel::kSoundSpeed);
    FrequencyBandParameters bandParameters;
    bandParameters.centerHz = 2513.0;
    const FrequencyBand band = resolveFrequencyBand(48000, kFftSize, bandParameters);
    ASSERT_EQ(band.binIndices.size(), 13u);
    const testmodel::Grid grid{68.877979, 42.184679, 0.0, 0.0, 1.0, 1.0};
    const std::vector<double>& freqs = band.binFrequenciesHz;

    std::vector<MatrixRows> broadband;
    for (const double f : freqs) {
        broadband.push_back(testmodel::mixture(
            {{testmodel::planeWaveSteering(mics, f, 10.0, -6.0, testmodel::kSoundSpeed), 1.0}}, 1e-3,
            mics.size()));
    }
    struct Scene {
        std::string name;
        std::vector<MatrixRows> matrices;
        bool modelled;  // whether the band-mean point spread models the source
    };
    const Scene scenes[] = {{"tone", toneMatrices(mics, band, {{2513.0, 10.0, -6.0, 1000.0}}, 20.0), false},
                            {"broadband", broadband, true}};
    std::vector<BeamformingParameters> runs;
    for (const std::int32_t id : {10, 11, 12, 13, 14}) {
        BeamformingParameters q;
        q.algorithm = id;
        runs.push_back(q);
    }
    BeamformingParameters converged;
    converged.algorithm = 10;
    converged.damasIterations = 500;
    runs.push_back(converged);

    const ReferenceProblem problems[] = {{mics, grid, freqs, 3}, {mics, grid, freqs, 4}};
    for (const Scene& scene : scenes) {
        SCOPED_TRACE(scene.name);
        for (const std::int32_t id : {1, 9}) {
            BeamformingParameters q;
            q.algorithm = id;
            const HeatmapGrid map = computeBeamformingMap(beamformer, scene.matrices, band, q, 100,
                                                          grid.hSpan, grid.vSpan, grid.hStep);
            EXPECT_EQ(map.peakIndex, cellNear(map, 10.0, -6.0)) << algorithmName(id);
        }
        const Vec data[] = {problems[0].data(scene.matrices), problems[1].data(scene.matrices)};
        for (const BeamformingParameters& q : runs) {
            SCOPED_TRACE(testing::Message() << algorithmName(q.algorithm) << " stride " << strideOf(q));
            const Vec expected = problems[strideOf(q) - 3].map(data[strideOf(q) - 3], q);
            const HeatmapGrid map = computeBeamformingMap(beamformer, scene.matrices, band, q, 100,
                                                          grid.hSpan, grid.vSpan, grid.hStep);
            ASSERT_EQ(map.power.size(), expected.size());
            EXPECT_LE(worstDifference(map, expected, 0.0), q.algorithm == 14 ? 1e-4 : 1e-9);
            EXPECT_EQ(map.peakIndex, testmodel::argmax(expected));
            if (scene.modelled) {
                EXPECT_LE(std::abs(map.peakAzimuthDeg - 10.0), strideOf(q));
                EXPECT_LE(std::abs(map.peakElevationDeg + 6.0), strideOf(q));
            }
        }
    }
}

// 8 microphones on a 0.2 m spiral, one source at 6.1 / 3.3 degrees with 0.05 of noise on the diagonal in
// the bins of 2000 and 2093.75 Hz, the bin between them all zero; a 40 x 30 degree far field at 2 degrees,
// default SBL parameters at the default stride and two finer ones. P is far from full rank, so the solution
// moves by about 1e-4 of its peak for a change of 1e-7 in the data: as much as summing the delay-and-sum
// map in single precision would give. The straight steps in double keep about five digits on the cells
// above -30 dB, on every vector level, and so must the map.
TEST(DeconvolutionReference, SparseArraySblMapHoldsToTheStraightSteps) {
    const auto mics = testmodel::spiralArray(8, 0.2);
    const Beamformer beamformer(mics, testmodel::kSoundSpeed);
    FrequencyBand band;
    band.binIndices = {43, 44, 45};
    band.binFrequenciesHz = reference::kSpiralCaseFrequencies;
    const std::vector<MatrixRows> matrices = reference::spiralCaseMatrices(mics);
    const testmodel::Grid grid{40.0, 30.0, 0.0, 0.0, 2.0, 2.0};
    for (const std::uint32_t stride : {4u, 3u, 2u}) {
        BeamformingParameters q;
        q.algorithm = 14;
        q.sblStride = stride;
        const ReferenceProblem problem(mics, grid, band.binFrequenciesHz, stride);
        const Vec expected = problem.map(problem.data(matrices), q);
        for (const VectorLevel level : test::kVectorLevels) {
            const test::VectorLevelCap cap(level);
            if (!test::vectorLevelAvailable(level)) continue;
            SCOPED_TRACE(testing::Message() << "stride " << stride << " " << vectorLevelName(level));
            const HeatmapGrid map =
                computeBeamformingMap(beamformer, matrices, band, q, 10, grid.hSpan, grid.vSpan, grid.hStep);
            ASSERT_EQ(map.power.size(), expected.size());
            EXPECT_LE(worstDifference(map, expected, 1e-3), 1e-4);
        }
    }
}

}  // namespace
}  // namespace zk::core
