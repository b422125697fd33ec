#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/storage/device_profile.h"
#include "device_profile_test_support.h"

namespace zk::core {
namespace {

using zk::test::invalid;
using zk::test::parseFailure;
using zk::test::ProfileText;
using zk::test::shape;

std::string withRoot(const std::string& members) {
    ProfileText text;
    text.extra = members;
    return text.str();
}

std::string withCamera(const std::string& body) { return withRoot(", \"camera\": {" + body + "}"); }

TEST(DeviceProfileCamera, ReadsAllFields) {
    const DeviceProfile p = parseDeviceProfile(withCamera(
        R"("camera": "front", "resolution": {"width": 1280, "height": 720},
           "cameraMatrix": [[900, 0, 640], [0, 901, 360], [0, 0, 1]], "distortion": [-0.1, 0.02, 0.001],
           "hfovDeg": 70.5, "vfovDeg": 43.5, "unknown": true)"));
    ASSERT_TRUE(p.camera.has_value());
    EXPECT_EQ(p.camera->camera, "front");
    EXPECT_EQ(p.camera->width, 1280u);
    EXPECT_EQ(p.camera->height, 720u);
    EXPECT_EQ(p.camera->cameraMatrix, (std::vector<double>{900, 0, 640, 0, 901, 360, 0, 0, 1}));
    EXPECT_EQ(p.camera->distortion, (std::vector<double>{-0.1, 0.02, 0.001}));
    EXPECT_EQ(p.camera->hfovDeg, 70.5);
    EXPECT_EQ(p.camera->vfovDeg, 43.5);
}

TEST(DeviceProfileCamera, OptionalMembersDefault) {
    const DeviceProfile p = parseDeviceProfile(withCamera(R"("resolution": {"width": 640, "height": 480})"));
    ASSERT_TRUE(p.camera.has_value());
    EXPECT_EQ(*p.camera, (CameraCalibration{"", 640, 480, {}, {}, 0.0, 0.0}));
}

TEST(DeviceProfileCamera, Rules) {
    EXPECT_EQ(parseFailure(withCamera(R"("camera": "c")")), shape("JSON object has no key: resolution"));
    EXPECT_EQ(parseFailure(withCamera(R"("resolution": {"width": 0, "height": 480})")),
              invalid("camera resolution must be positive"));
    EXPECT_EQ(parseFailure(withCamera(R"("resolution": {"width": 640, "height": 0.5})")),
              invalid("camera resolution must be positive"));
    const std::string res = R"("resolution": {"width": 640, "height": 480}, )";
    EXPECT_EQ(parseFailure(withCamera(res + R"("cameraMatrix": [[1, 0, 0], [0, 1, 0]])")),
              invalid("cameraMatrix must have 3 rows"));
    EXPECT_EQ(parseFailure(withCamera(res + R"("cameraMatrix": [[1, 0, 0], [0, 1], [0, 0, 1]])")),
              invalid("cameraMatrix row must have 3 columns"));
    EXPECT_EQ(parseFailure(withCamera(res + R"("cameraMatrix": [[1, 0, 0], 5, [0, 0, 1]])")),
              shape("JSON value has no size"));
    EXPECT_EQ(
        parseFailure(withCamera(res + R"("cameraMatrix": [[1, 0, 0], {"a": 1, "b": 2, "c": 3}, [0, 0, 1]])")),
        shape("JSON value is not an array"));
    EXPECT_EQ(parseFailure(withCamera(res + R"("cameraMatrix": [[1, 0, 0], [0, 1e999, 0], [0, 0, 1]])")),
              invalid("cameraMatrix must be finite"));
    EXPECT_EQ(parseFailure(withCamera(res + R"("cameraMatrix": [[1, 0, 0], [0, "1", 0], [0, 0, 1]])")),
              shape("JSON value is not a number"));
    EXPECT_EQ(parseFailure(withCamera(res + R"("distortion": [0.1, -1e999])")),
              invalid("distortion must be finite"));
    EXPECT_EQ(parseFailure(withCamera(res + R"("distortion": 0.1)")), shape("JSON value is not an array"));
    EXPECT_EQ(parseFailure(withCamera(res + R"("hfovDeg": 1e999)")), invalid("hfovDeg must be finite"));
    EXPECT_EQ(parseFailure(withCamera(res + R"("vfovDeg": -1e999)")), invalid("vfovDeg must be finite"));
    EXPECT_EQ(parseFailure(withRoot(R"(, "camera": [])")), shape("JSON value is not an object"));
}

std::string withFir(const std::string& body) { return withRoot(", \"fir\": {" + body + "}"); }

std::string coefficients(int count) {
    std::string out = "[";
    for (int i = 0; i < count; ++i) out += (i ? ", " : "") + std::to_string(i - count / 2);
    return out + "]";
}

TEST(DeviceProfileFir, ReadsPresetsInOrder) {
    const DeviceProfile p = parseDeviceProfile(withFir(
        R"("sampleRateHz": 48000, "taps": 4, "presets": [
            {"id": "a", "bandLowHz": 100.5, "bandHighHz": 8000, "factory": true, "coefficients": [1, -2, 2.9, -3.7]},
            {"id": "b", "bandLowHz": 0, "bandHighHz": 1, "factory": false, "coefficients": [2147483647.9, -2147483648.9, -0.5, 0]}])"));
    ASSERT_TRUE(p.fir.has_value());
    EXPECT_EQ(p.fir->sampleRateHz, 48000u);
    EXPECT_EQ(p.fir->taps, 4u);
    ASSERT_EQ(p.fir->presets.size(), 2u);
    EXPECT_EQ(p.fir->presets[0], (FirPreset{"a", 100.5, 8000.0, true, {1, -2, 2, -3}}));
    // Coefficients are truncated toward zero; the ends of the 32-bit range are kept.
    EXPECT_EQ(p.fir->presets[1].coefficients, (std::vector<std::int32_t>{INT32_MAX, INT32_MIN, 0, 0}));
    EXPECT_FALSE(p.fir->presets[1].factory);

    const DeviceProfile empty = parseDeviceProfile(withFir(R"("sampleRateHz": 1, "taps": 1, "presets": [])"));
    EXPECT_TRUE(empty.fir->presets.empty());
}

TEST(DeviceProfileFir, Rules) {
    EXPECT_EQ(parseFailure(withFir(R"("sampleRateHz": 0, "taps": 32, "presets": [])")),
              invalid("FIR sample rate and taps must be positive"));
    EXPECT_EQ(parseFailure(withFir(R"("sampleRateHz": 48000, "taps": 0, "presets": [])")),
              invalid("FIR sample rate and taps must be positive"));
    EXPECT_EQ(parseFailure(withFir(R"("sampleRateHz": 48000, "taps": 32)")),
              shape("JSON object has no key: presets"));
    const std::string head = R"("sampleRateHz": 48000, "taps": 32, "presets": [)";
    EXPECT_EQ(parseFailure(withFir(head + R"({"id": "x", "bandLowHz": 1, "bandHighHz": 2, "factory": true,
                                             "coefficients": )" +
                                   coefficients(31) + "}]")),
              invalid("FIR preset coefficient count does not match declared taps"));
    EXPECT_EQ(parseFailure(withFir(head + R"({"id": "x", "bandLowHz": 1, "bandHighHz": 2, "factory": 1,
                                             "coefficients": []}])")),
              shape("JSON value is not a bool"));
    EXPECT_EQ(parseFailure(withFir(head + R"({"bandLowHz": 1}])")), shape("JSON object has no key: id"));
    EXPECT_EQ(parseFailure(withFir(head + "3]")), shape("JSON value is not an object"));
    EXPECT_EQ(parseFailure(withFir(head + R"({"id": "x", "bandLowHz": 1, "bandHighHz": 2, "factory": true,
                                             "coefficients": ["1", )" +
                                   coefficients(31).substr(1) + "}]")),
              shape("JSON value is not a number"));
    // Read as its low 32 bits, so a stored Measurement holding one still reads; an import or a write
    // to the device is refused through the flag.
    const std::vector<std::tuple<const char*, std::int32_t>> wide{{"4294967297", 1},
                                                                  {"-4294967297", -1},
                                                                  {"2147483648", INT32_MIN},
                                                                  {"-2147483649", INT32_MAX},
                                                                  {"1e999", -1}};
    for (const auto& [text, lowBits] : wide) {
        const DeviceProfile p = parseDeviceProfile(withFir(R"("sampleRateHz": 48000, "taps": 2, "presets": [
            {"id": "x", "bandLowHz": 1, "bandHighHz": 2, "factory": true, "coefficients": [3, )" +
                                                           std::string(text) + R"(]},
            {"id": "y", "bandLowHz": 1, "bandHighHz": 2, "factory": true, "coefficients": [3, 4]}])"));
        EXPECT_EQ(p.fir->presets[0].coefficients, (std::vector<std::int32_t>{3, lowBits})) << text;
        EXPECT_FALSE(p.fir->presets[0].coefficientsInRange) << text;
        EXPECT_TRUE(p.fir->presets[1].coefficientsInRange) << text;
        try {
            requireFirCoefficientsInRange(p);
            ADD_FAILURE() << text << " passed";
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), "FIR preset coefficient outside the signed 32-bit range");
        }
    }
    const DeviceProfile edges = parseDeviceProfile(
        withFir(R"("sampleRateHz": 48000, "taps": 2, "presets": [{"id": "x", "bandLowHz": 1,
                "bandHighHz": 2, "factory": true, "coefficients": [2147483647, -2147483648]}])"));
    EXPECT_TRUE(edges.fir->presets[0].coefficientsInRange);
    EXPECT_NO_THROW(requireFirCoefficientsInRange(edges));
}

// The example profiles shipped beside the executable must pass the validator.
TEST(DeviceProfileExamples, LargeArrayLoads) {
    const DeviceProfile p =
        loadDeviceProfile(std::filesystem::path(ZK_PROFILES_DIR) / "TM27-128-H1.6.2.device.json");
    EXPECT_TRUE(p.isValid());
    EXPECT_EQ(p.profileId, "TM27-128-H1.6.2");
    EXPECT_EQ(p.channelCount, 128u);
    EXPECT_EQ(p.wireChannelCount, 128u);
    EXPECT_EQ(p.sampleRateHz, 48000u);
    ASSERT_TRUE(p.udp.has_value());
    EXPECT_EQ(p.udp->datagramBytes, 128u * 2u * p.udp->samplesPerDatagram);
    std::set<std::uint32_t> wires(p.logicalToWire.begin(), p.logicalToWire.end());
    EXPECT_EQ(wires.size(), 128u);
    double maxRadius = 0.0;
    for (std::size_t i = 0; i < p.microphones.size(); ++i) {
        const MicrophoneChannel& m = p.microphones[i];
        EXPECT_EQ(m.logicalChannel, i);
        EXPECT_EQ(m.z, 0.0);
        maxRadius = std::max(maxRadius, std::hypot(m.x, m.y));
        for (std::size_t j = 0; j < i; ++j) {
            EXPECT_GT(std::hypot(m.x - p.microphones[j].x, m.y - p.microphones[j].y), 0.005) << i << " " << j;
        }
    }
    EXPECT_NEAR(maxRadius, 0.30, 1e-3);
    ASSERT_TRUE(p.camera.has_value());
    EXPECT_EQ(p.camera->width, 1920u);
    EXPECT_EQ(p.camera->cameraMatrix.size(), 9u);
    EXPECT_GT(p.camera->hfovDeg, p.camera->vfovDeg);
    ASSERT_TRUE(p.fir.has_value());
    for (const FirPreset& preset : p.fir->presets) EXPECT_EQ(preset.coefficients.size(), p.fir->taps);
}

TEST(DeviceProfileExamples, SmallArrayLoads) {
    const DeviceProfile p = loadDeviceProfile(std::filesystem::path(ZK_PROFILES_DIR) / "small-4.device.json");
    EXPECT_TRUE(p.isValid());
    EXPECT_EQ(p.channelCount, 4u);
    EXPECT_FALSE(p.camera.has_value());
}

}  // namespace
}  // namespace zk::core
