#pragma once

// Shared by the AnalysisRun, map and export tests.

#include <cstdint>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "core/beamforming/heatmap_grid.h"
#include "core/storage/analysis_run_store.h"

namespace zk::test {

// "ok" when fn returns, else the exception's exact type and text ("runtime_error: ..."), so a child
// process can hand both back as one line.
template <typename Fn>
std::string outcome(Fn&& fn) {
    try {
        fn();
        return "ok";
    } catch (const std::filesystem::filesystem_error& e) {
        return std::string("filesystem_error: ") + e.what();
    } catch (const std::exception& e) {
        const char* type = typeid(e) == typeid(std::runtime_error)      ? "runtime_error: "
                           : typeid(e) == typeid(std::invalid_argument) ? "invalid_argument: "
                                                                        : "other exception: ";
        return type + std::string(e.what());
    }
}

// True for "YYYY-MM-DDTHH:MM:SSZ".
inline bool isUtcTimestamp(const std::string& text) {
    const std::string shape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == 'd' ? !digit : text[i] != shape[i]) return false;
    }
    return true;
}

// Parameters of a third-octave MVDR run over a window.
inline core::AnalysisRunParameters sampleParameters() {
    // Built by designated initialisers: assigning literals here trips a false -Wrestrict of GCC 12.
    return {
        .algorithmId = "MVDR",
        .algorithmVersion = "1",
        .frequencyHz = 8000.0,
        .frequencyBin = 171,
        .bandMode = "1/3-octave",
        .bandLowHz = 7127.19,
        .bandHighHz = 8979.7,
        .bandBinCount = 32,
        .removeCsmDiagonal = true,
        .algorithmParams = R"({"focus_distance_m":"infinity","speed_of_sound_mps":343,"mvdr_loading":0.001})",
        .frameSize = 1024,
        .hopSize = 512,
        .azimuthBeginDeg = -32.0,
        .azimuthEndDeg = 32.0,
        .azimuthCount = 65,
        .elevationBeginDeg = -24.0,
        .elevationEndDeg = 24.0,
        .elevationCount = 49,
        .windowStartSeconds = 0.25,
        .windowEndSeconds = 1.5};
}

inline core::AnalysisRunProvenance sampleProvenance() {
    return {"full", "0123456789abcdef", "fedcba9876543210", "profile-x", 48000, 92};
}

// A finalised width x height map whose values depend on seed.
inline core::HeatmapGrid sampleMap(std::uint64_t width, std::uint64_t height, double seed) {
    core::HeatmapGrid g;
    g.width = width;
    g.height = height;
    for (std::uint64_t c = 0; c < width; ++c) g.azimuthDeg.push_back(-32.0 + static_cast<double>(c));
    for (std::uint64_t r = 0; r < height; ++r) g.elevationDeg.push_back(-24.0 + static_cast<double>(r));
    std::vector<double> power;
    for (std::uint64_t i = 0; i < width * height; ++i)
        power.push_back(1.0 + static_cast<double>((i * 7919 + static_cast<std::uint64_t>(seed)) % 1000));
    g.representativeFrequencyHz = seed;
    return core::finalizeHeatmap(g, power);
}

}  // namespace zk::test
