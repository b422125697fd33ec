#pragma once

#include <filesystem>

namespace zk::core {

// True when the file is a whole MP4 (ISO base media) file: its top-level boxes tile the file exactly
// and include the "moov" box, which a recorder writes only when it finishes. A recorder that died
// leaves a file without it, or with a last box cut short.
bool isWholeMp4File(const std::filesystem::path& path);

}  // namespace zk::core
