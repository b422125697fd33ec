#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/storage/file_io.h"
#include "core/storage/fnv1a.h"

namespace zk::app {

// The store's file hash as the manifest writes it, read in 1 MiB chunks with `keepGoing` asked before
// each, so a stop or cancel is heard while a long raw file is read; empty when it said no.
template <class KeepGoing>
std::optional<std::string> hashFileUnlessStopped(const std::filesystem::path& path, KeepGoing&& keepGoing) {
    // Regular files only: a named pipe in place of the file must never block the hashing thread.
    const core::FileHandle in = core::openFileForReading(path);
    if (!in) throw std::runtime_error("cannot open file for hashing: " + path.string());
    std::vector<char> chunk(std::size_t{1} << 20);
    std::uint64_t hash = core::kFnv1a64OffsetBasis;
    while (true) {
        if (!keepGoing()) return std::nullopt;
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), in.get());
        if (std::ferror(in.get())) throw std::runtime_error("cannot read file for hashing: " + path.string());
        hash = core::fnv1a64Append(hash, std::as_bytes(std::span<const char>(chunk.data(), got)));
        if (got < chunk.size()) return core::formatHash64(hash);
    }
}

}  // namespace zk::app
