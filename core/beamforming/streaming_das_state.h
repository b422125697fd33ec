#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/beamforming/camera_grid.h"
#include "core/beamforming/steering_cache.h"

namespace zk::core {

// Exponentially smoothed beam powers of the live delay-and-sum map, per bin and grid point. Owned and
// updated by one thread at a time.
struct StreamingDasState {
    std::vector<double> beamSums;      // F x G, index b * G + g
    std::vector<double> diagonalSums;  // F
    std::vector<double> frequencies;
    std::vector<double> horizontalAxis;
    std::vector<double> verticalAxis;
    // The grid's steering, never copied: the Beamformer's cached entry, or an entry of the state's own
    // with the planes alone (Beamformer::steeringPlanesFor). The updates read its planes, or build their
    // blocks' steering from it when it holds no tables.
    std::shared_ptr<const CameraBandSteeringCache> steering;
    std::uint64_t gridPointCount = 0;
    std::uint64_t microphoneCount = 0;
    std::uint64_t updateCount = 0;
    // Per bin: 1 once the bin was updated since the build or reset. A bin's first update takes its beam
    // power whole, so a bin first reached by a later hop does not start from 0.
    std::vector<std::uint8_t> binReached;  // F
    std::uint64_t binsReached = 0;         // bins with binReached set
    CameraGridSpec key;
    // Per-thread beam rows of updateStreamingDas, kept between hops so that a hop allocates nothing.
    std::vector<float> beamScratch;

    void reset();
};

}  // namespace zk::core
