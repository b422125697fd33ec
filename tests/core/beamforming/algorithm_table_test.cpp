// The one validity rule: isValid and every algorithm's map entry accept and refuse the same values at
// the limits of every descriptor the panel shows.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/beamforming_parameters.h"
#include "core/beamforming/compute_beamforming_map.h"
#include "steering_test_model.h"
#include "test_support.h"

namespace zk::core {
namespace {

using namespace testmodel;

constexpr double kSpeed = 343.0;

// The text each entry gives for an out-of-range value of a key.
std::string messageFor(std::int32_t id, const std::string& key) {
    if (key.ends_with("_iterations") && id >= 10) return "invalid deconvolution parameters";
    if (key.ends_with("_stride")) return "invalid deconvolution parameters";
    static const std::map<std::int32_t, std::string> kById = {
        {2, "invalid Functional parameters"},    {3, "invalid Capon parameters"},
        {4, "invalid Capon parameters"},         {6, "invalid MUSIC parameters"},
        {7, "invalid Orthogonal parameters"},    {8, "invalid PHAT parameters"},
        {9, "invalid CLEAN-SC parameters"},      {10, "invalid DAMAS relaxation"},
        {11, "invalid DAMAS-FISTA tolerance"},   {12, "invalid NNLS tolerance"},
        {13, "invalid Sparse-FISTA parameters"}, {14, "invalid SBL parameters"},
    };
    if (id == 5)
        return key == "music_source_count" ? "invalid MUSIC source count" : "invalid MUSIC parameters";
    return kById.at(id);
}

struct Probe {
    double value;
    bool inRange;
};

// Each limit and the nearest value beyond it: the next double for reals, the next whole number for
// integers.
std::vector<Probe> probesOf(const BeamformingParameterDescriptor& d) {
    if (d.kind == BeamformingParameterDescriptor::kInteger) {
        return {{d.minimum, true}, {d.maximum, true}, {d.minimum - 1.0, false}, {d.maximum + 1.0, false}};
    }
    constexpr double kInf = std::numeric_limits<double>::infinity();
    return {{d.minimum, true},
            {d.maximum, true},
            {std::nextafter(d.minimum, -kInf), false},
            {std::nextafter(d.maximum, kInf), false}};
}

TEST(AlgorithmTable, IsValidAndEveryEntryAgreeAtEveryLimit) {
    const std::vector<MicrophonePosition> mics = scatteredArray(6);
    const Beamformer beamformer(mics, kSpeed);
    // A positive definite band: one source plus noise, so the Functional map's PSD test always passes.
    FrequencyBand band;
    band.binFrequenciesHz = {2000.0, 2500.0};
    std::vector<MatrixRows> matrices;
    for (double f : band.binFrequenciesHz) {
        matrices.push_back(mixture({{steeringToward(mics, kSpeed, 2.0, -2.0, f), 1.0}}, 0.5, mics.size()));
    }
    int probed = 0;
    for (std::int32_t id = 1; id <= 14; ++id) {
        for (const BeamformingParameterDescriptor& d : parameterDescriptors(id)) {
            if (d.kind == BeamformingParameterDescriptor::kFlag) continue;
            for (const Probe& probe : probesOf(d)) {
                BeamformingParameters p;
                p.algorithm = id;
                ASSERT_TRUE(p.setByKey(d.key, probe.value)) << d.key;
                const auto run = [&] {
                    computeBeamformingMap(beamformer, matrices, band, p, 10, 8.0, 8.0, 2.0);
                };
                SCOPED_TRACE(d.key + " = " + std::to_string(probe.value));
                EXPECT_EQ(p.isValid(mics.size()), probe.inRange);
                if (probe.inRange) {
                    EXPECT_NO_THROW(run());
                } else {
                    zk::test::expectThrowExactly<std::invalid_argument>(run, messageFor(id, d.key));
                }
                ++probed;
            }
        }
    }
    // Four probes for each of the 38 descriptors that are not flags.
    EXPECT_EQ(probed, 4 * 38);
}

}  // namespace
}  // namespace zk::core
