#include "core/streaming/synthetic_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

#include "streaming/source_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

using zk::test::expectThrowExactly;
using zk::test::sourceProfile;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr const char* kPositive = "synthetic source frequency and speed of sound must be positive";
constexpr const char* kFinite = "synthetic source amplitude and direction must be finite";

SyntheticSourceSettings wave(double frequencyHz, double amplitude) {
    SyntheticSourceSettings s;
    s.frequencyHz = frequencyHz;
    s.speedOfSoundMps = 343.0;
    s.amplitude = amplitude;
    return s;
}

// Four microphones off every axis, carried by wire channels 3, 0, 4, 1 of 5; wire 2 carries none.
DeviceProfile scatteredProfile() {
    return sourceProfile({{0, 0, 0.03, -0.02, 0.01},
                          {1, 0, -0.11, 0.07, 0.0},
                          {2, 0, 0.05, 0.13, -0.04},
                          {3, 0, -0.08, -0.09, 0.02}},
                         5, {3, 0, 4, 1});
}

// The expected sample of microphone (x, y, z) at frame n, computed in long double from the arrival
// direction; `ambiguous` is set when the value lies so close to an integer that rounding may tip it.
std::int16_t expectedSample(const SyntheticSourceSettings& s, const MicrophoneChannel& mic, std::uint64_t n,
                            double sampleRateHz, bool& ambiguous) {
    const long double pi = 3.141592653589793238462643383279502884L;
    long double ux, uy, uz;
    if (s.tangentPlane) {
        const long double a = std::tan(pi * s.tangentAngleXDeg / 180.0L);
        const long double b = std::tan(pi * s.tangentAngleYDeg / 180.0L);
        const long double norm = std::sqrt(a * a + b * b + 1.0L);
        ux = a / norm;
        uy = b / norm;
        uz = 1.0L / norm;
    } else {
        const long double az = pi * s.azimuthDeg / 180.0L;
        const long double el = pi * s.elevationDeg / 180.0L;
        ux = std::cos(el) * std::cos(az);
        uy = std::cos(el) * std::sin(az);
        uz = std::sin(el);
    }
    // Arrival delay in seconds ahead of the origin, then the phase at that time.
    const long double lead = (ux * mic.x + uy * mic.y + uz * mic.z) / s.speedOfSoundMps;
    const long double t = static_cast<long double>(n) / sampleRateHz + lead;
    const long double value = s.amplitude * std::sin(2.0L * pi * s.frequencyHz * t);
    ambiguous = std::abs(value - std::round(value)) < 1e-6L;
    if (value >= 32767.0L) return 32767;
    if (value <= -32768.0L) return -32768;
    return static_cast<std::int16_t>(std::trunc(value));
}

void expectClosedForm(const SyntheticSourceSettings& s, const DeviceProfile& profile, std::uint64_t frames) {
    SyntheticSource source(s);
    source.configure(profile);
    const std::vector<std::int16_t> samples = source.readFrames(frames);
    ASSERT_EQ(samples.size(), frames * profile.wireChannelCount);
    int exact = 0;
    for (std::uint64_t n = 0; n < frames; ++n) {
        EXPECT_EQ(samples[n * 5 + 2], 0) << "frame " << n;  // no microphone on wire 2
        for (std::size_t m = 0; m < profile.microphones.size(); ++m) {
            bool ambiguous = false;
            const std::int16_t expected =
                expectedSample(s, profile.microphones[m], n, profile.sampleRateHz, ambiguous);
            const std::int16_t got = samples[n * 5 + profile.logicalToWire[m]];
            if (ambiguous) {
                EXPECT_LE(std::abs(got - expected), 1) << "frame " << n << " microphone " << m;
            } else {
                EXPECT_EQ(got, expected) << "frame " << n << " microphone " << m;
                ++exact;
            }
        }
    }
    EXPECT_GT(exact, static_cast<int>(frames * 4 * 9 / 10));
}

TEST(SyntheticSource, RefusesBadAndNonFiniteSettings) {
    for (const double f : {0.0, -5.0, kNaN, kInf}) {
        expectThrowExactly<std::invalid_argument>([&] { SyntheticSource{wave(f, 100.0)}; }, kPositive);
    }
    for (const double c : {0.0, -343.0, kNaN, kInf}) {
        SyntheticSourceSettings s = wave(1000.0, 100.0);
        s.speedOfSoundMps = c;
        expectThrowExactly<std::invalid_argument>([&] { SyntheticSource{s}; }, kPositive);
    }
    for (double SyntheticSourceSettings::*field :
         {&SyntheticSourceSettings::amplitude, &SyntheticSourceSettings::azimuthDeg,
          &SyntheticSourceSettings::elevationDeg, &SyntheticSourceSettings::tangentAngleXDeg,
          &SyntheticSourceSettings::tangentAngleYDeg}) {
        for (const double bad : {kNaN, kInf, -kInf}) {
            SyntheticSourceSettings s = wave(1000.0, 100.0);
            s.*field = bad;
            expectThrowExactly<std::invalid_argument>([&] { SyntheticSource{s}; }, kFinite);
        }
    }
    EXPECT_EQ(SyntheticSource(wave(1000.0, -100.0)).kind(), SourceKind::Synthetic);
}

TEST(SyntheticSource, WaveformMatchesTheClosedFormInBothDirectionModes) {
    SyntheticSourceSettings s = wave(1234.5, 12000.0);
    s.azimuthDeg = 30.0;
    s.elevationDeg = 20.0;
    expectClosedForm(s, scatteredProfile(), 400);

    s.tangentPlane = true;
    s.tangentAngleXDeg = -17.0;
    s.tangentAngleYDeg = 8.0;
    expectClosedForm(s, scatteredProfile(), 400);
}

TEST(SyntheticSource, ZeroTangentAnglesGiveEqualSamplesAcrossThePlaneZeroAndOthersElsewhere) {
    SyntheticSourceSettings s = wave(2000.0, 10000.0);
    s.tangentPlane = true;
    const DeviceProfile profile = sourceProfile(
        {{0, 0, 0.0, 0.0, 0.0}, {1, 0, 0.2, -0.1, 0.0}, {2, 0, -0.3, 0.25, 0.0}, {3, 0, 0.0, 0.0, 0.04}}, 4);
    SyntheticSource source(s);
    source.configure(profile);
    const std::vector<std::int16_t> samples = source.readFrames(200);
    bool offPlaneDiffers = false;
    for (std::size_t n = 0; n < 200; ++n) {
        EXPECT_EQ(samples[n * 4 + 1], samples[n * 4]);
        EXPECT_EQ(samples[n * 4 + 2], samples[n * 4]);
        offPlaneDiffers |= samples[n * 4 + 3] != samples[n * 4];
    }
    EXPECT_TRUE(offPlaneDiffers);
}

TEST(SyntheticSource, AmplitudeBeyondFullScaleClipsAtBothEnds) {
    // A quarter of the sample rate puts the samples at phases 0, pi/2, pi and 3 pi/2.
    const DeviceProfile profile = sourceProfile({{0, 0, 0.0, 0.0, 0.0}}, 1);
    for (const double amplitude : {40000.0, -40000.0}) {
        SyntheticSource source(wave(12000.0, amplitude));
        source.configure(profile);
        const std::int16_t high = amplitude > 0 ? 32767 : -32768;
        const std::int16_t low = amplitude > 0 ? -32768 : 32767;
        EXPECT_EQ(source.readFrames(8), (std::vector<std::int16_t>{0, high, 0, low, 0, high, 0, low}));
    }
    // Inside the range values are truncated toward zero, not rounded or floored.
    SyntheticSource source(wave(12000.0, 100.7));
    source.configure(profile);
    EXPECT_EQ(source.readFrames(4), (std::vector<std::int16_t>{0, 100, 0, -100}));
}

TEST(SyntheticSource, PhaseRunsOnAcrossReadsAndRestartsAtConfigure) {
    SyntheticSourceSettings s = wave(997.0, 9000.0);
    s.azimuthDeg = -40.0;
    SyntheticSource source(s);
    source.configure(scatteredProfile());
    std::vector<std::int16_t> split = source.readFrames(128);
    const std::vector<std::int16_t> second = source.readFrames(128);
    split.insert(split.end(), second.begin(), second.end());
    EXPECT_EQ(source.producedFrames(), 256u);

    source.configure(scatteredProfile());
    EXPECT_EQ(source.producedFrames(), 0u);
    EXPECT_EQ(source.readFrames(256), split);
    EXPECT_TRUE(source.readFrames(0).empty());
}

TEST(SyntheticSource, RefusesToReadWithoutAUsableProfile) {
    SyntheticSource source(wave(1000.0, 100.0));
    constexpr const char* kText = "synthetic source requires a valid profile";
    expectThrowExactly<std::logic_error>([&] { (void)source.readFrames(4); }, kText);

    // Both pass isValid, but one would write past the frame and the other would write NaN.
    DeviceProfile pastTheFrame = scatteredProfile();
    pastTheFrame.logicalToWire[2] = 5;
    source.configure(pastTheFrame);
    expectThrowExactly<std::logic_error>([&] { (void)source.readFrames(4); }, kText);
    DeviceProfile nowhere = scatteredProfile();
    nowhere.microphones[1].y = kInf;
    source.configure(nowhere);
    expectThrowExactly<std::logic_error>([&] { (void)source.readFrames(4); }, kText);

    source.configure(scatteredProfile());
    EXPECT_EQ(source.readFrames(4).size(), 20u);
}

}  // namespace
}  // namespace zk::core
