#pragma once

#include <cstdint>

#include "core/beamforming/beamforming_parameters.h"
#include "core/signal/frequency_band.h"

namespace zk::core {

/// The streaming engine's configuration, copied into the engine by configure.
struct StreamingEngineConfig {
    std::uint64_t frameSize = 256;  // samples per FFT frame
    std::uint64_t hopSize = 128;    // samples between frame starts
    double frequencyHz = 1000.0;    // band centre when band.centerHz is not positive
    FrequencyBandParameters band{0, 1, 0.0, 2000.0, 0};
    double csmTauSeconds = 0.5;        // averaging time constant
    std::int64_t mapIntervalMs = 100;  // minimum gap between two maps
    bool asyncMaps = false;            // hand maps to a map thread instead of rendering on the producer
    bool useBinRotation = false;       // render rotatable algorithms through a BinRotationMap
    std::int32_t dasMaxThreads = 4;    // bound of the streaming DAS update's OpenMP team
    BeamformingParameters beamforming;
};

}  // namespace zk::core
