#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/storage/fnv1a.h"

namespace zk::app {

// The store's file hash as the manifest writes it, read in 1 MiB chunks with `keepGoing` asked before
// each, so a stop or cancel is heard while a long raw file is read; empty when it said no.
template <class KeepGoing>
std::optional<std::string> hashFileUnlessStopped(const std::filesystem::path& path, KeepGoing&& keepGoing) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open file for hashing: " + path.string());
    std::vector<char> chunk(std::size_t{1} << 20);
    std::uint64_t hash = core::kFnv1a64OffsetBasis;
    while (in) {
        if (!keepGoing()) return std::nullopt;
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const std::streamsize got = in.gcount();
        if (in.bad()) throw std::runtime_error("cannot read file for hashing: " + path.string());
        hash = core::fnv1a64Append(
            hash, std::as_bytes(std::span<const char>(chunk.data(), static_cast<std::size_t>(got))));
    }
    return core::formatHash64(hash);
}

}  // namespace zk::app
