#include "core/storage/profile_store.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <system_error>

#include "core/platform/file_platform.h"
#include "core/storage/device_profile.h"
#include "core/storage/durable_file.h"
#include "core/storage/file_io.h"

namespace zk::core {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxStoreCandidates = 100;

fs::path candidateName(const fs::path& stem, const fs::path& extension, int attempt) {
    std::string number = " (";
    number += std::to_string(attempt + 1);
    number += ')';
    fs::path name = stem;
    name += number;
    name += extension;
    return name;
}

// A name in the store folder that no store listing matches (hidden, ".tmp"), unique per call.
fs::path temporaryNameFor(const fs::path& storeDir, const fs::path& finalName) {
    static std::atomic<std::uint64_t> counter{0};
    static const std::uint64_t processSalt = std::random_device{}();
    std::string suffix = ".";
    suffix += std::to_string(processSalt);
    suffix += '-';
    suffix += std::to_string(counter.fetch_add(1));
    suffix += ".tmp";
    fs::path name = ".";
    name += finalName;
    name += suffix;
    return storeDir / name;
}

enum class PublishResult { Published, Taken };

// Copies the source to a temporary name beside the candidate and renames it into place only when
// nothing has appeared there meanwhile; a failed copy removes its own temporary file.
PublishResult publishCopy(const fs::path& source, const fs::path& storeDir, const fs::path& candidate) {
    const fs::path temporary = temporaryNameFor(storeDir, candidate.filename());
    std::error_code error;
    if (!fs::copy_file(source, temporary, fs::copy_options::none, error)) {
        if (error != std::errc::file_exists) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
        }
        throw std::runtime_error("cannot copy into store: " + candidate.string());
    }
    // Flushed before it takes its name, so a power cut never leaves a published but empty profile.
    if (!syncPathToDisk(temporary, error)) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw std::runtime_error("cannot copy into store: " + candidate.string());
    }
    if (renameWithoutReplace(temporary, candidate, error)) {
        // The copy is in place either way; an unconfirmed name is no reason to report a failure.
        syncDirectoryToDisk(storeDir, error);
        return PublishResult::Published;
    }
    std::error_code ignored;
    fs::remove(temporary, ignored);
    if (error == std::errc::file_exists) return PublishResult::Taken;
    throw std::runtime_error("cannot copy into store: " + candidate.string());
}

fs::path withoutTrailingSeparators(fs::path path) {
    while (!path.has_filename() && path.has_relative_path()) path = path.parent_path();
    return path;
}

}  // namespace

fs::path copyIntoStore(const fs::path& source, const fs::path& storeDir) {
    std::error_code error;
    if (!fs::is_regular_file(source, error))
        throw std::runtime_error("store source missing: " + source.string());
    if (isDirectChildOf(source, storeDir)) return source;

    try {
        createDirectoriesDurably(storeDir);
    } catch (const fs::filesystem_error&) {
        throw std::runtime_error("cannot create store dir: " + storeDir.string());
    }

    const fs::path fileName = source.filename();
    const fs::path stem = fileName.stem();
    const fs::path extension = fileName.extension();
    for (int attempt = 0; attempt < kMaxStoreCandidates; ++attempt) {
        const fs::path candidate =
            storeDir / (attempt == 0 ? fileName : candidateName(stem, extension, attempt));
        std::error_code statusError;
        const fs::file_status status = fs::status(candidate, statusError);
        if (statusError || status.type() == fs::file_type::not_found) {
            if (publishCopy(source, storeDir, candidate) == PublishResult::Published) return candidate;
        }
        if (sameFileContent(candidate, source)) return candidate;
    }
    throw std::runtime_error("store name collision unresolved: " + source.string());
}

std::vector<fs::path> listFilesByExtension(const fs::path& folder, std::string_view suffix) {
    std::vector<fs::path> files;
    std::error_code error;
    if (!fs::is_directory(folder, error)) return files;
    // Stepping with an error code so that a failure carries one fixed operation name on every platform.
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const fs::directory_entry& entry = *it;
        std::error_code typeError;
        if (!entry.is_regular_file(typeError)) continue;
        std::string name;
        try {
            name = entry.path().filename().string();
        } catch (const std::system_error&) {
            continue;  // not expressible in the narrow code page; the store never creates such names
        }
        if (name.size() >= suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            files.push_back(entry.path());
        }
    }
    if (error) throw fs::filesystem_error("directory_iterator::operator++", folder, error);
    std::sort(files.begin(), files.end());
    return files;
}

std::string readWholeFile(const fs::path& path) {
    static_assert(kMaxDeviceProfileBytes == std::size_t{4} << 20, "the message names the bound");
    std::string bytes;
    switch (readFileBounded(path, kMaxDeviceProfileBytes, bytes)) {
        case FileReadStatus::Ok:
            return bytes;
        case FileReadStatus::CannotOpen:
            throw std::runtime_error("cannot open: " + path.string());
        case FileReadStatus::ReadFailed:
            // A failed read must not pass for a shorter file.
            throw std::runtime_error("cannot read: " + path.string());
        case FileReadStatus::TooLarge:
            break;
    }
    throw std::invalid_argument("file exceeds 4 MiB: " + path.string());
}

bool sameFileContent(const fs::path& a, const fs::path& b) {
    std::error_code error;
    const std::uintmax_t sizeA = fs::file_size(a, error);
    if (error) return false;
    const std::uintmax_t sizeB = fs::file_size(b, error);
    if (error || sizeA != sizeB) return false;
    // Compared chunk by chunk rather than through readWholeFile: same answer, in constant memory and
    // for files of any size.
    const FileHandle fileA = openFileForReading(a);
    const FileHandle fileB = openFileForReading(b);
    if (!fileA || !fileB) return false;
    std::vector<char> chunkA(kFileChunkBytes);
    std::vector<char> chunkB(kFileChunkBytes);
    while (true) {
        const std::size_t gotA = std::fread(chunkA.data(), 1, chunkA.size(), fileA.get());
        const std::size_t gotB = std::fread(chunkB.data(), 1, chunkB.size(), fileB.get());
        if (gotA != gotB || std::memcmp(chunkA.data(), chunkB.data(), gotA) != 0) return false;
        if (gotA < chunkA.size()) return !std::ferror(fileA.get()) && !std::ferror(fileB.get());
    }
}

bool isDirectChildOf(const fs::path& file, const fs::path& folder) {
    std::error_code error;
    const fs::path fileForm = fs::weakly_canonical(file, error);
    if (error) return false;
    const fs::path folderForm = fs::weakly_canonical(folder, error);
    if (error) return false;
    return withoutTrailingSeparators(fileForm.parent_path()) == withoutTrailingSeparators(folderForm);
}

}  // namespace zk::core
