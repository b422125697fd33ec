// The offline road through real files: a plane wave recorded into a Measurement, a window of it replayed
// and recomputed, the frozen matrix cached beside the Measurement and rendered again from the cache.

#include <gtest/gtest.h>

#include <complex>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "band_matrix_test_support.h"
#include "core/beamforming/band_matrix.h"
#include "core/beamforming/derived_matrix_cache.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "core/streaming/replay_source.h"
#include "test_support.h"

namespace zk::core {
namespace {

TEST(BandMatrixMeasurement, PlaneWaveWindowPeaksAtItsDirectionAndMatchesANaiveDft) {
    std::ifstream in(ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json", std::ios::binary);
    const std::string profileText{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const DeviceProfile profile = parseDeviceProfile(profileText);
    ASSERT_EQ(profile.channelCount, 128u);

    // 8062.5 Hz (bin 172 of 1024 at 48 kHz) from 10 degrees right and 5 degrees down, over diffuse noise.
    const std::vector<std::int16_t> wire = test::wireSamples(profile, 20000, {{8062.5, 10, -5, 8000}}, 200);
    const test::TempFolder project;
    createProject(project.path(), "p");
    Recording recording(project.path(), "m1", profileText, "synthetic plane wave");
    recording.append(wire);
    const MeasurementRecord measurement = recording.finalize("").measurement;

    ReplaySource source(measurement.directory / measurement.rawFile);
    source.configure(profile);
    source.start();
    source.seekFrame(4000);
    BandMatrixRequest request;
    request.frameSize = 1024;
    request.hopSize = 512;
    request.band.binLimit = 3;  // the first, middle and last of bins 153 .. 191
    request.windowFrameCount = 12000;
    request.totalFrames = source.totalFrames() - 4000;
    request.gridStep = 2.0;
    const BandMatrixMapResult result = recomputeBandMatrixMap(source, profile, request, {}, {});

    // The camera's 68.9 x 42.2 degree view at 2 degrees.
    EXPECT_EQ(result.map.width, 35u);
    EXPECT_EQ(result.map.height, 22u);
    EXPECT_EQ(result.map.peakAzimuthDeg, 10.0);
    EXPECT_EQ(result.map.peakElevationDeg, -5.0);
    const BandMatrix& computed = result.bandMatrix;
    EXPECT_EQ(computed.band.binIndices, (std::vector<std::uint64_t>{153, 172, 191}));
    std::uint64_t frames = 0;
    const auto expected =
        test::naiveBandMatrix(wire, profile, 1024, 512, 4000, 12000, computed.band.binIndices, &frames);
    EXPECT_EQ(computed.stftFrames, frames);
    EXPECT_EQ(computed.inputFrames, 12000u);
    EXPECT_LT(test::relativeDistance(computed.matrices, expected), 1e-9);

    // The cache hit renders the same map as the recompute.
    DerivedMatrixKey key;
    key.frameSize = request.frameSize;
    key.hopSize = request.hopSize;
    key.bandMode = request.band.mode;
    key.centerFrequencyHz = request.band.centerHz;
    key.customBandwidthHz = request.band.bandwidthHz;
    key.targetBinCount = request.band.binLimit;
    key.rawHash = measurement.rawHash;
    key.profileHash = measurement.profileHash;
    key.windowStartFrame = 4000;
    key.windowFrameCount = 12000;
    EXPECT_FALSE(derivedMatrixExists(measurement.directory, key));
    writeDerivedMatrix(measurement.directory, key, computed);
    ASSERT_TRUE(derivedMatrixExists(measurement.directory, key));
    const BandMatrix cached = readDerivedMatrix(measurement.directory, key);
    ASSERT_EQ(cached.matrices.size(), computed.matrices.size());
    for (std::size_t j = 0; j < cached.matrices.size(); ++j)
        for (std::size_t r = 0; r < 128; ++r)
            EXPECT_EQ(std::memcmp(cached.matrices[j][r].data(), computed.matrices[j][r].data(),
                                  128 * sizeof(std::complex<double>)),
                      0);
    const HeatmapGrid again = renderBandMatrixMap(cached, profile, request.parameters, request.gridStep);
    EXPECT_EQ(again.power, result.map.power);
    EXPECT_EQ(again.representativeFrequencyHz, result.map.representativeFrequencyHz);
}

}  // namespace
}  // namespace zk::core
