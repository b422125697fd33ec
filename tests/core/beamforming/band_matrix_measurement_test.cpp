// The offline road through real files: a plane wave recorded into a Measurement, a window of it replayed
// and recomputed, the frozen matrix cached beside the Measurement and rendered again from the cache.

#include <gtest/gtest.h>

#include <complex>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "band_matrix_test_support.h"
#include "core/beamforming/band_matrix.h"
#include "core/beamforming/derived_matrix_cache.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "core/streaming/replay_source.h"
#include "test_support.h"

namespace zk::core {
namespace {

// The wire samples as Measurement "m1" of a new Project in `project`.
MeasurementRecord recordedMeasurement(const std::filesystem::path& project, const std::string& profileText,
                                      const std::vector<std::int16_t>& wire, const std::string& source) {
    createProject(project, "p");
    Recording recording(project, "m1", profileText, source);
    recording.append(wire);
    return recording.finalize("").measurement;
}

TEST(BandMatrixMeasurement, PlaneWaveWindowPeaksAtItsDirectionAndMatchesANaiveDft) {
    std::ifstream in(ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json", std::ios::binary);
    const std::string profileText{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const DeviceProfile profile = parseDeviceProfile(profileText);
    ASSERT_EQ(profile.channelCount, 128u);

    // 8062.5 Hz (bin 172 of 1024 at 48 kHz) from 10 degrees right and 5 degrees down, over diffuse noise.
    const std::vector<std::int16_t> wire = test::wireSamples(profile, 20000, {{8062.5, 10, -5, 8000}}, 200);
    const test::TempFolder project;
    const MeasurementRecord measurement =
        recordedMeasurement(project.path(), profileText, wire, "synthetic plane wave");

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

// The profile text with a camera block of the given members after its resolution.
std::string withCamera(const std::string& profileText, const std::string& fieldOfView) {
    return profileText.substr(0, profileText.size() - 1) +
           ", \"camera\": {\"resolution\": {\"width\": 640, \"height\": 480}" + fieldOfView + "}}";
}

// A camera block that gives no positive field of view maps over 64 x 48 degrees, as a profile without one
// does; read back from the Measurement's frozen profile file, as the Full Recompute reads it.
TEST(BandMatrixMeasurement, CameraWithoutAFieldOfViewMapsOverSixtyFourByFortyEightDegrees) {
    const std::string bare = test::arrayProfileText(test::scatteredArray(16, 0.25));
    const std::string noFieldOfView = withCamera(bare, "");
    const DeviceProfile written = parseDeviceProfile(noFieldOfView);
    ASSERT_TRUE(written.camera.has_value());
    ASSERT_EQ(written.camera->hfovDeg, 0.0);

    // 4031.25 Hz (bin 86 of 1024 at 48 kHz) from 20 degrees right and 10 degrees down.
    const std::vector<std::int16_t> wire = test::wireSamples(written, 6144, {{4031.25, 20, -10, 8000}}, 100);
    const test::TempFolder project;
    const MeasurementRecord measurement =
        recordedMeasurement(project.path(), noFieldOfView, wire, "camera without field of view");
    const DeviceProfile profile = loadDeviceProfile(measurement.directory / measurement.deviceProfileFile);
    ASSERT_EQ(profile, written);

    ReplaySource source(measurement.directory / measurement.rawFile);
    source.configure(profile);
    source.start();
    BandMatrixRequest request;
    request.frameSize = 1024;
    request.hopSize = 512;
    request.band = {0, 1, 4031.25, 2000.0, 0};
    request.totalFrames = source.totalFrames();
    request.gridStep = 2.0;
    const BandMatrixMapResult result = recomputeBandMatrixMap(source, profile, request, {}, {});

    const HeatmapGrid& map = result.map;
    ASSERT_EQ(map.width, 33u);
    ASSERT_EQ(map.height, 25u);
    EXPECT_EQ(map.azimuthDeg.front(), -32.0);
    EXPECT_EQ(map.azimuthDeg.back(), 32.0);
    EXPECT_EQ(map.elevationDeg.front(), -24.0);
    EXPECT_EQ(map.elevationDeg.back(), 24.0);
    EXPECT_EQ(map.peakAzimuthDeg, 20.0);
    EXPECT_EQ(map.peakElevationDeg, -10.0);

    const HeatmapGrid withoutCamera =
        renderBandMatrixMap(result.bandMatrix, parseDeviceProfile(bare), request.parameters, 2.0);
    EXPECT_EQ(withoutCamera.power, map.power);
    for (const char* fieldOfView :
         {R"(, "hfovDeg": 60)", R"(, "vfovDeg": 40)", R"(, "hfovDeg": -60, "vfovDeg": -45)"}) {
        SCOPED_TRACE(fieldOfView);
        const DeviceProfile partial = parseDeviceProfile(withCamera(bare, fieldOfView));
        EXPECT_EQ(renderBandMatrixMap(result.bandMatrix, partial, request.parameters, 2.0).power, map.power);
    }
}

// A field of view the grid cannot hold fails on every window alike, so it fails before the first read.
TEST(BandMatrixMeasurement, AGridTheRenderRefusesFailsBeforeAnySampleIsRead) {
    const std::string bare = test::arrayProfileText(test::scatteredArray(4, 0.1));
    const DeviceProfile profile = parseDeviceProfile(withCamera(bare, R"(, "hfovDeg": 200, "vfovDeg": 100)"));
    const std::vector<std::int16_t> wire = test::wireSamples(profile, 4096, {{3000, 0, 0, 1000}});
    BandMatrixRequest request;
    request.frameSize = 1024;
    request.hopSize = 512;
    request.gridStep = 2.0;
    test::ScriptedSource source(wire, 4);
    zk::test::expectThrowExactly<std::invalid_argument>(
        [&] { recomputeBandMatrixMap(source, profile, request, {}, {}); }, "invalid camera grid");
    EXPECT_TRUE(source.requests.empty());
    // The render's earlier refusals keep their own messages, after the window was read.
    request.gridStep = 0.2;
    test::ScriptedSource again(wire, 4);
    zk::test::expectThrowExactly<std::invalid_argument>(
        [&] { recomputeBandMatrixMap(again, profile, request, {}, {}); },
        "analysis grid step is outside supported range");
    EXPECT_FALSE(again.requests.empty());
}

}  // namespace
}  // namespace zk::core
