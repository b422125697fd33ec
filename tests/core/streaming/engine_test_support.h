#pragma once

// Small device profiles, wire-order sample blocks and map-thread helpers for the streaming engine tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <mutex>
#include <numbers>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/storage/device_profile.h"
#include "core/streaming/streaming_acoustic_engine.h"
#include "steering_test_model.h"

namespace zk::test {

using core::DeviceProfile;
using core::StreamingAcousticEngine;
using core::StreamingEngineConfig;

// M microphones on a spiral of the given radius; logical channel l travels on wire channel M - 1 - l,
// so a missing gather shows. fov 0 leaves the camera block out (the engine then uses 64 x 48 degrees).
inline DeviceProfile spiralProfile(std::uint32_t mics, double radiusM, double hfovDeg, double vfovDeg,
                                   std::uint32_t sampleRateHz = 48000) {
    DeviceProfile p;
    p.schemaVersion = 2;
    p.profileId = "engine-test";
    p.channelCount = p.wireChannelCount = mics;
    p.sampleRateHz = sampleRateHz;
    const auto positions = core::testmodel::spiralArray(mics, radiusM);
    for (std::uint32_t l = 0; l < mics; ++l) {
        p.microphones.push_back({l, mics - 1 - l, positions[l].x, positions[l].y, positions[l].z});
        p.logicalToWire.push_back(mics - 1 - l);
    }
    if (hfovDeg > 0.0) {
        core::CameraCalibration camera;
        camera.width = 640;
        camera.height = 480;
        camera.hfovDeg = hfovDeg;
        camera.vfovDeg = vfovDeg;
        p.camera = camera;
    }
    return p;
}

inline std::vector<core::MicrophonePosition> positionsOf(const DeviceProfile& p) {
    std::vector<core::MicrophonePosition> out;
    for (const auto& m : p.microphones) out.push_back({m.x, m.y, m.z});
    return out;
}

// Logical-order frames (M samples each) rearranged into the profile's wire order.
inline std::vector<std::int16_t> toWire(const DeviceProfile& p, const std::vector<std::int16_t>& logical) {
    const std::size_t m = p.channelCount;
    std::vector<std::int16_t> wire(logical.size() / m * p.wireChannelCount, 0);
    for (std::size_t f = 0; f < logical.size() / m; ++f) {
        for (std::size_t l = 0; l < m; ++l)
            wire[f * p.wireChannelCount + p.logicalToWire[l]] = logical[f * m + l];
    }
    return wire;
}

// Deterministic noise-like logical samples, M per frame, different on every channel.
inline std::vector<std::int16_t> noiseSamples(std::size_t mics, std::size_t frames, unsigned seed = 5) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> value(-2000, 2000);
    std::vector<std::int16_t> out(mics * frames);
    for (auto& s : out) s = static_cast<std::int16_t>(value(rng));
    return out;
}

// Pushes logical-order samples through the wire path in blocks of blockFrames frames.
inline void pushLogical(StreamingAcousticEngine& engine, const DeviceProfile& p,
                        const std::vector<std::int16_t>& logical, std::size_t blockFrames = 0) {
    const auto wire = toWire(p, logical);
    const std::size_t frames = wire.size() / p.wireChannelCount;
    const std::size_t block = blockFrames == 0 ? frames : blockFrames;
    for (std::size_t f = 0; f < frames; f += block) {
        const std::size_t n = std::min(block, frames - f);
        engine.pushWireFrames(
            std::span<const std::int16_t>(wire).subspan(f * p.wireChannelCount, n * p.wireChannelCount));
    }
}

// Frame 1024, hop 512 and an async map every minute (so only the first one comes by itself).
inline StreamingEngineConfig liveConfig(std::int32_t algorithm, core::FrequencyBandParameters band) {
    StreamingEngineConfig c;
    c.frameSize = 1024;
    c.hopSize = 512;
    c.band = band;
    c.mapIntervalMs = 60000;
    c.asyncMaps = true;
    c.beamforming.algorithm = algorithm;
    return c;
}

// liveConfig's rotation refreshes one band bin a hop, and a delay-and-sum map waits until each bin holds
// a frame: this many frames reach every bin of a band of up to 16 bins.
inline constexpr std::size_t kDasFirstMapFrames = 1024 + 512 * 15;

inline core::FrequencyBandParameters customBand(double centreHz, double bandwidthHz,
                                                std::uint64_t revision = 0, std::uint64_t binLimit = 0) {
    return {revision, 3, centreHz, bandwidthHz, binLimit};
}

// Calls renderPendingMap in a loop (2 ms apart after a miss) until stopped; counts stored maps and
// keeps the last exception text instead of letting it leave the thread.
class MapThread {
  public:
    explicit MapThread(StreamingAcousticEngine& engine)
        : thread_([this, &engine] {
              while (!stop_.load()) {
                  bool stored = false;
                  try {
                      stored = engine.renderPendingMap();
                  } catch (const std::exception& e) {
                      failures_.fetch_add(1);
                      const std::lock_guard lock(mutex_);
                      lastFailure_ = e.what();
                  }
                  if (stored) {
                      stored_.fetch_add(1);
                  } else {
                      std::this_thread::sleep_for(std::chrono::milliseconds(2));
                  }
              }
          }) {}
    ~MapThread() { stop(); }
    MapThread(const MapThread&) = delete;
    MapThread& operator=(const MapThread&) = delete;

    void stop() {
        stop_.store(true);
        if (thread_.joinable()) thread_.join();
    }
    std::uint64_t stored() const { return stored_.load(); }
    std::uint64_t failures() const { return failures_.load(); }
    std::string lastFailure() const {
        const std::lock_guard lock(mutex_);
        return lastFailure_;
    }

    // Waits until more than `count` maps were stored; false after the limit.
    bool waitForMoreThan(std::uint64_t count,
                         std::chrono::milliseconds limit = std::chrono::seconds(60)) const {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (stored_.load() <= count) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

  private:
    std::atomic<bool> stop_{false};           // set by stop, read by the loop
    std::atomic<std::uint64_t> stored_{0};    // maps stored, written by the loop
    std::atomic<std::uint64_t> failures_{0};  // exceptions caught, written by the loop
    mutable std::mutex mutex_;                // guards lastFailure_
    std::string lastFailure_;
    std::thread thread_;
};

}  // namespace zk::test
