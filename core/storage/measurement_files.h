#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/storage/measurement_store.h"

namespace zk::core {

// The one check that a Measurement's frozen files are the ones its manifest describes, used by the
// recovery, the Replay and the Full Recompute.
enum class MeasurementFiles { Match, RawSizeDiffers, RawDiffers, ProfileDiffers };

// Hashes the raw file and the frozen profile the manifest names inside the Measurement directory and
// compares them with the manifest's hashes, the raw file first; a raw file whose whole frames are not
// the manifest's totalFrames (when it names any) is RawSizeDiffers before any of it is read.
// `keepGoing` (may be empty) is asked before every chunk read: nothing is returned once it says no.
// `rawHash`, when given, receives the raw file's hash text. std::runtime_error "cannot open file for
// hashing: " + path (or "cannot read ...") when a file cannot be read.
std::optional<MeasurementFiles> compareMeasurementFiles(const MeasurementRecord& record,
                                                        const std::function<bool()>& keepGoing = {},
                                                        std::string* rawHash = nullptr);

// Throws std::runtime_error "raw file size does not match " + manifestName, "raw integrity hash does
// not match " + manifestName, or "frozen Profile hash does not match " + manifestName, for a mismatch;
// returns for Match. The Replay and the recovery name the "manifest", the Full Recompute the
// "Measurement manifest".
void requireMatchingFiles(MeasurementFiles result, std::string_view manifestName);

// The FNV-1a hash text of the file, read in 1 MiB chunks with `keepGoing` asked before each; nothing
// once it says no. Errors as compareMeasurementFiles.
std::optional<std::string> hashFileUnlessStopped(const std::filesystem::path& path,
                                                 const std::function<bool()>& keepGoing);

}  // namespace zk::core
