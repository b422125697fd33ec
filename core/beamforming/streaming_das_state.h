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
    std::vector<float> phasePlaneRe;  // F x M x G, index (b * M + m) * G + g
    std::vector<float> phasePlaneIm;
    // Set instead of the plane copies when the grid's steering entry holds no tables: each update
    // then builds its blocks' steering from the entry.
    std::shared_ptr<const CameraBandSteeringCache> blockedSteering;
    std::uint64_t gridPointCount = 0;
    std::uint64_t microphoneCount = 0;
    std::uint64_t updateCount = 0;
    CameraGridSpec key;
    // Per-thread beam rows of updateStreamingDas, kept between hops so that a hop allocates nothing.
    std::vector<float> beamScratch;

    void reset();
};

}  // namespace zk::core
