#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/beamforming/band_matrix.h"

namespace zk::core {

// Everything that determines a BandMatrix of a Measurement window; it keys a cache entry, the pair
// derived/csm_<key>.bin (the matrices) and derived/csm_<key>.json (these fields) in the Measurement
// directory.
struct DerivedMatrixKey {
    std::uint64_t frameSize = 0;
    std::uint64_t hopSize = 0;
    std::int32_t bandMode = 2;  // FrequencyBandParameters::mode
    double centerFrequencyHz = 8000.0;
    double customBandwidthHz = 2000.0;
    std::uint64_t targetBinCount = 0;  // the band's bin limit, 0 = none
    std::string rawHash;               // of the Measurement's raw.int16
    std::string profileHash;           // of the device profile used
    std::uint64_t windowStartFrame = 0;
    std::uint64_t windowFrameCount = 0;  // 0 = to the end
};

// The sidecar as read back.
struct DerivedMatrixMetadata {
    std::uint64_t frameSize = 0;
    std::uint64_t hopSize = 0;
    std::string bandMode;
    double centerFrequencyHz = 0.0;
    double customBandwidthHz = 0.0;
    std::uint64_t targetBinCount = 0;
    std::string rawHash;
    std::string profileHash;
    std::uint64_t windowStartFrame = 0;
    std::uint64_t windowFrameCount = 0;
    std::string dataHash;  // FNV-1a 64 of the data file; empty in a sidecar written before it existed
};

// The most memory readDerivedMatrix may ask for, far above any real entry; a header that would need
// more is refused before anything is allocated.
inline constexpr std::uint64_t kMaxDerivedMatrixBytes = std::uint64_t{2} << 30;

// formatHash64 of the FNV-1a hash of the key text (the ten fields joined by "|", the mode by its name,
// reals as printf "%.17g" writes them in the C locale): 16 lower-case hexadecimal digits.
std::string derivedMatrixKey(const DerivedMatrixKey& key);

std::filesystem::path derivedMatrixDataPath(const std::filesystem::path& measurementDirectory,
                                            const DerivedMatrixKey& key);
std::filesystem::path derivedMatrixMetadataPath(const std::filesystem::path& measurementDirectory,
                                                const DerivedMatrixKey& key);

// True when both files are regular files and the sidecar reads back with all ten fields equal to the
// key's (reals compared exactly) and records the data file's checksum; an entry written before the
// checksum existed is thus a miss, recomputed and rewritten once. The data file is not opened, so a
// caller that then fails to read it treats the entry as a miss. Never throws.
bool derivedMatrixExists(const std::filesystem::path& measurementDirectory, const DerivedMatrixKey& key);

// Throws std::runtime_error "cannot open derived matrix metadata", "derived matrix metadata exceeds
// 1 MiB", "derived matrix <field> must be a non-negative integer" for a count and "... must be finite"
// for a real that the writer could not have written, and the JSON reader's and accessors' texts.
DerivedMatrixMetadata readDerivedMatrixMetadata(const std::filesystem::path& measurementDirectory,
                                                const DerivedMatrixKey& key);

// The stored matrices with the stored band frequencies and bins (default band parameters). Every count
// is checked against the file's size and against kMaxDerivedMatrixBytes ("derived matrix needs more
// than 2 GiB of memory") before memory is asked for it, and the bytes read against the sidecar's
// checksum ("derived matrix checksum is missing" / "derived matrix checksum mismatch"), so a damaged
// entry is never returned. Throws std::runtime_error.
BandMatrix readDerivedMatrix(const std::filesystem::path& measurementDirectory, const DerivedMatrixKey& key);

// Writes the data file, then the sidecar, each to a temporary file renamed over its target once it is
// complete and flushed, so that at any moment the pair is the old entry, the new one (an old sidecar of
// the same key has the new one's text) or data without a sidecar. Throws std::invalid_argument for an
// inconsistent or misshapen matrix and std::runtime_error when a file cannot be written, or
// "cannot create derived cache directory" when the Measurement folder does not exist.
void writeDerivedMatrix(const std::filesystem::path& measurementDirectory, const DerivedMatrixKey& key,
                        const BandMatrix& bandMatrix);

}  // namespace zk::core
