#pragma once

#include <complex>
#include <cstdint>
#include <vector>

#include "core/beamforming/camera_grid.h"

namespace zk::core {

// Steering data of one grid, band, focus distance and speed of sound; never written again once
// published. Known as Beamformer::CameraBandSteeringCache.
//
// An entry whose tables would pass the memory budget of detail/steering_blocks.h holds no tables
// (tablesHeld false, the three table vectors empty) but the G x M path differences instead; the maps
// then build each block's steering from them through detail::SteeringBlocks, to the same floats.
//
// An entry made for the live delay-and-sum update alone (Beamformer::steeringPlanesFor) holds its
// planes but no phase terms; it never enters the cache, and only that update and projectBand read it.
struct CameraBandSteeringCache {
    CameraGridSpec key;
    std::vector<double> frequencies;
    std::vector<double> horizontalAxis;
    std::vector<double> verticalAxis;
    std::uint64_t gridPointCount = 0;
    std::vector<std::complex<float>> phaseTerms;  // F x G x M, index (f * G + g) * M + m
    std::vector<float> phasePlaneRe;              // F x M x G, index (f * M + m) * G + g
    std::vector<float> phasePlaneIm;
    double speedOfSound = 0.0;  // m/s the phases were built with; part of the key
    std::uint64_t microphoneCount = 0;
    bool tablesHeld = true;
    std::vector<double> pathDifferences;  // G x M metres, index g * M + m; only when !tablesHeld
};

}  // namespace zk::core
