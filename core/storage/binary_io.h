#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/storage/fnv1a.h"

namespace zk::core {

// Every magic of the binary files is eight ASCII characters ("ZKMAP002", "ZKCSM001", ...).
inline constexpr std::size_t kBinaryMagicBytes = 8;

// Reads little-endian fields from a byte span or from an open file, whatever the host's byte order.
// Every read is checked against the bytes that remain before anything is read or allocated, so a
// short or hostile input fails with std::runtime_error (the truncation text) instead of reading past
// the end or asking for memory the input cannot fill. A throw ends the read: the position is then
// unspecified. Not shared between threads.
class BinaryReader {
  public:
    static constexpr const char* kDefaultTruncatedText = "truncated binary data";

    // Reads the bytes (not copied; they must outlive the reader).
    explicit BinaryReader(std::span<const std::byte> bytes,
                          std::string truncatedText = kDefaultTruncatedText);
    explicit BinaryReader(std::string_view bytes, std::string truncatedText = kDefaultTruncatedText);
    // Reads at most sizeBytes from the file's current position (the file is not owned); callers pass
    // regularFileSize (file_io.h) for a freshly opened file, and 0 for one that is not regular.
    BinaryReader(std::FILE* file, std::uint64_t sizeBytes, std::string truncatedText = kDefaultTruncatedText);

    // The text of every later short read; a format gives its header, payload and trailer their own.
    void setTruncatedText(std::string text) { truncatedText_ = std::move(text); }

    std::uint64_t remaining() const { return remaining_; }
    std::uint64_t position() const { return position_; }
    // FNV-1a 64 of every byte consumed so far (skipped ones included), so a format checks its payload
    // against a recorded checksum in the same pass that reads it.
    std::uint64_t hash() const { return hash_; }

    std::uint32_t u32();
    std::uint64_t u64();
    std::int32_t i32();
    std::int64_t i64();
    float f32();
    double f64();

    // Reads kBinaryMagicBytes and tells whether they equal the magic; false, consuming nothing, when
    // fewer remain. std::invalid_argument as BinaryWriter::magic gives for a malformed magic.
    bool matchMagic(std::string_view magic);

    // Reads a u64 count; std::runtime_error(unsafeText) when it lies outside [minCount, maxCount].
    std::uint64_t count(std::uint64_t minCount, std::uint64_t maxCount, const std::string& unsafeText);

    // `count` values, allocated once only after the input is known to hold them all.
    std::vector<double> f64Array(std::uint64_t count);
    std::vector<float> f32Array(std::uint64_t count);
    // Fills the caller's storage (such as the doubles of a complex row) without allocating.
    void readInto(std::span<double> out);
    void readInto(std::span<float> out);

    void skip(std::uint64_t bytes);

  private:
    // Throws the truncation text unless `bytes` remain, or `count` elements of `elementBytes` do.
    void require(std::uint64_t bytes) const;
    void requireElements(std::uint64_t count, std::size_t elementBytes) const;
    void readRaw(void* out, std::size_t bytes);
    template <typename T>
    T readScalar();
    template <typename T>
    void readArray(std::span<T> out);

    std::span<const std::byte> bytes_;
    std::FILE* file_ = nullptr;
    std::uint64_t remaining_ = 0;
    std::uint64_t position_ = 0;
    std::uint64_t hash_ = kFnv1a64OffsetBasis;
    std::string truncatedText_;
};

// Appends little-endian fields, whatever the host's byte order, to its own buffer or, through a
// buffer of kFileChunkBytes, to an open file. File write failures are sticky and reported by flush,
// so a format checks once after writing everything. Not shared between threads.
class BinaryWriter {
  public:
    BinaryWriter() = default;
    // Writes to the file (not owned) from its current position; the caller closes it after flush.
    explicit BinaryWriter(std::FILE* file) : file_(file) {}
    // Writes out what is still buffered, as a stream would: a format that stops half way (a size
    // check failing between records) leaves on disk what it wrote before.
    ~BinaryWriter();
    BinaryWriter(const BinaryWriter&) = delete;
    BinaryWriter& operator=(const BinaryWriter&) = delete;

    BinaryWriter& u32(std::uint32_t value);
    BinaryWriter& u64(std::uint64_t value);
    BinaryWriter& i32(std::int32_t value);
    BinaryWriter& i64(std::int64_t value);
    BinaryWriter& f32(float value);
    BinaryWriter& f64(double value);
    // std::invalid_argument unless the magic is kBinaryMagicBytes printable ASCII characters.
    BinaryWriter& magic(std::string_view magic);
    BinaryWriter& f64Array(std::span<const double> values);
    BinaryWriter& f32Array(std::span<const float> values);

    // Everything written so far when writing to the buffer; the unflushed part when writing to a file.
    const std::vector<std::byte>& buffer() const { return buffer_; }
    // FNV-1a 64 of every byte appended so far: the checksum a format records beside what it wrote.
    std::uint64_t hash() const { return hash_; }

    // Writes out what is buffered and flushes the file; false when any write to the file has failed.
    // Always true when writing to the buffer.
    bool flush();

  private:
    void append(const void* data, std::size_t bytes);
    template <typename T>
    void appendScalar(T value);
    template <typename T>
    void appendArray(std::span<const T> values);
    void writeOut(const void* data, std::size_t bytes);

    std::FILE* file_ = nullptr;
    std::vector<std::byte> buffer_;
    std::uint64_t hash_ = kFnv1a64OffsetBasis;
    bool failed_ = false;
};

}  // namespace zk::core
