#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/storage/lock_wait.h"

namespace zk::core {

// The averaged cross-spectral matrix of a quiet scene, one full Hermitian M x M matrix per FFT bin
// 0 .. fftSize/2, kept with a Project and subtracted from live and recomputed matrices. Built once
// and then shared read-only; move-only so that the matrices are never copied by accident.
struct NoiseFloorProfile {
    std::string profileHash;  // hash text of the DeviceProfile it was measured with
    std::uint32_t sampleRateHz = 0;
    std::uint64_t channelCount = 0;  // M
    std::uint64_t fftSize = 0;
    std::uint64_t averagedFrames = 0;
    double subtractBeta = 0.8;  // scale of the subtracted noise
    double psdFloor = 1e-10;    // relative eigenvalue floor of the positive-semidefinite repair
    std::string createdAtUtc;   // ISO 8601 UTC text
    bool enabled = false;       // the user's choice to apply it
    std::vector<MatrixRows> matrices;

    NoiseFloorProfile() = default;
    NoiseFloorProfile(NoiseFloorProfile&&) = default;
    NoiseFloorProfile& operator=(NoiseFloorProfile&&) = default;
    NoiseFloorProfile(const NoiseFloorProfile&) = delete;
    NoiseFloorProfile& operator=(const NoiseFloorProfile&) = delete;

    // channelCount, fftSize and averagedFrames are not 0 and there are fftSize/2 + 1 matrices.
    bool isValid() const;
};

// The largest counts a noise floor file may declare: anything beyond them is refused before memory
// is asked for it.
inline constexpr std::uint64_t kMaxNoiseFloorChannels = 1024;
inline constexpr std::uint64_t kMaxNoiseFloorFftSize = 65536;
// The most memory a load may ask for the matrices, far above any real noise floor (128 channels at
// FFT 1024 take 134 MB).
inline constexpr std::uint64_t kMaxNoiseFloorBytes = std::uint64_t{2} << 30;

// d/noise_floor/noise_floor.json and d/noise_floor/noise_floor.bin for a Project directory d.
std::filesystem::path noiseFloorManifestPath(const std::filesystem::path& directory);
std::filesystem::path noiseFloorPayloadPath(const std::filesystem::path& directory);

// True when both files exist (any kind of entry); never throws.
bool noiseFloorProfileExists(const std::filesystem::path& directory);

// Writes both files, the manifest with the FNV-1a 64 checksum of the payload ("payloadHash"), so that
// a crash at any moment leaves the old pair or the new one whole: the pair
// is built in a hidden staging directory beside noise_floor, flushed, and swapped in for the whole
// directory. Saves and rewrites of one directory wait for each other, until `deadline`, through the
// lock file d/.noise_floor.lock (takeLockFile), then throw EntryUnavailable (Held). Throws
// std::invalid_argument "cannot persist an invalid noise floor", std::runtime_error "cannot write
// noise floor payload" / "failed to write noise floor payload" and the same for the manifest, "<key>
// must be finite" (std::invalid_argument) for a non-finite subtractBeta or psdFloor, EntryUnavailable
// (Project, Gone) when the Project folder no longer exists (it is never made again), and
// std::filesystem::filesystem_error from the directory work.
void saveNoiseFloorProfile(const std::filesystem::path& directory, const NoiseFloorProfile& profile,
                           const LockDeadline& deadline = {});

// Reads both files of one directory (a save swapping the directory meanwhile gives the old or the new
// pair, never a mix). std::runtime_error "noise floor manifest is missing", "noise floor payload is
// missing", "noise floor payload is truncated", "noise floor payload checksum mismatch" (a manifest
// written before the checksum existed loads unchecked), "noise floor profile failed validation", the
// JSON reader's and accessors' texts, "noise floor manifest exceeds 1 MiB", "noise floor <field> must
// be a non-negative integer" / "... must be finite" for values the writer could not have written,
// "noise floor channelCount must be at most 1024" / "noise floor fftSize must be a power of two up to
// 65536" for counts that cannot be real, and "noise floor needs more than 2 GiB of memory" past
// kMaxNoiseFloorBytes. Extra bytes after the last bin are ignored.
NoiseFloorProfile loadNoiseFloorProfile(const std::filesystem::path& directory);

// Reads noise_floor.json as loadNoiseFloorProfile does (without the payload) and writes it again,
// durably, with "enabled" set to the given value; the payload is untouched. Waits for a save as
// saveNoiseFloorProfile does. Throws as the load does, and "cannot write noise floor manifest" /
// "failed to write noise floor manifest".
void rewriteNoiseFloorManifestEnabled(const std::filesystem::path& directory, bool enabled,
                                      const LockDeadline& deadline = {});

}  // namespace zk::core
