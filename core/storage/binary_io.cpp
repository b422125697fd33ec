#include "core/storage/binary_io.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <type_traits>

#include "core/storage/file_io.h"

namespace zk::core {

namespace {

static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "the binary files hold IEEE-754 values");

template <typename T>
using BitsOf = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;

template <typename U>
void storeLittleEndian(U value, std::byte* out) {
    for (std::size_t i = 0; i < sizeof(U); ++i) out[i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
}

template <typename U>
U loadLittleEndian(const std::byte* in) {
    U value = 0;
    for (std::size_t i = 0; i < sizeof(U); ++i) value |= static_cast<U>(std::to_integer<U>(in[i]) << (8 * i));
    return value;
}

void checkMagic(std::string_view magic) {
    const bool printable =
        std::all_of(magic.begin(), magic.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
    if (magic.size() != kBinaryMagicBytes || !printable)
        throw std::invalid_argument("binary magic must be 8 printable ASCII characters");
}

}  // namespace

BinaryReader::BinaryReader(std::span<const std::byte> bytes, std::string truncatedText)
    : bytes_(bytes), remaining_(bytes.size()), truncatedText_(std::move(truncatedText)) {}

BinaryReader::BinaryReader(std::string_view bytes, std::string truncatedText)
    : BinaryReader(std::as_bytes(std::span<const char>(bytes.data(), bytes.size())),
                   std::move(truncatedText)) {}

BinaryReader::BinaryReader(std::FILE* file, std::uint64_t sizeBytes, std::string truncatedText)
    : file_(file), remaining_(sizeBytes), truncatedText_(std::move(truncatedText)) {}

void BinaryReader::require(std::uint64_t bytes) const {
    if (bytes > remaining_) throw std::runtime_error(truncatedText_);
}

void BinaryReader::requireElements(std::uint64_t count, std::size_t elementBytes) const {
    // Divided rather than multiplied: a count near 2^64 must not wrap into a small byte total.
    if (count > remaining_ / elementBytes || count > std::numeric_limits<std::size_t>::max() / elementBytes)
        throw std::runtime_error(truncatedText_);
}

void BinaryReader::readRaw(void* out, std::size_t bytes) {
    require(bytes);
    if (bytes == 0) return;
    if (file_ != nullptr) {
        // The file may have shrunk since its size was taken, or fail to read.
        if (std::fread(out, 1, bytes, file_) != bytes) throw std::runtime_error(truncatedText_);
    } else {
        std::memcpy(out, bytes_.data() + position_, bytes);
    }
    hash_ = fnv1a64Append(hash_, {static_cast<const std::byte*>(out), bytes});
    remaining_ -= bytes;
    position_ += bytes;
}

template <typename T>
T BinaryReader::readScalar() {
    std::array<std::byte, sizeof(T)> raw;
    readRaw(raw.data(), raw.size());
    return std::bit_cast<T>(loadLittleEndian<BitsOf<T>>(raw.data()));
}

template <typename T>
void BinaryReader::readArray(std::span<T> out) {
    requireElements(out.size(), sizeof(T));
    readRaw(out.data(), out.size_bytes());
    if constexpr (std::endian::native != std::endian::little) {
        for (T& value : out) {
            value = std::bit_cast<T>(loadLittleEndian<BitsOf<T>>(reinterpret_cast<const std::byte*>(&value)));
        }
    }
}

std::uint32_t BinaryReader::u32() { return readScalar<std::uint32_t>(); }
std::uint64_t BinaryReader::u64() { return readScalar<std::uint64_t>(); }
std::int32_t BinaryReader::i32() { return readScalar<std::int32_t>(); }
std::int64_t BinaryReader::i64() { return readScalar<std::int64_t>(); }
float BinaryReader::f32() { return readScalar<float>(); }
double BinaryReader::f64() { return readScalar<double>(); }

bool BinaryReader::matchMagic(std::string_view magic) {
    checkMagic(magic);
    if (remaining_ < kBinaryMagicBytes) return false;
    std::array<char, kBinaryMagicBytes> raw;
    readRaw(raw.data(), raw.size());
    return std::string_view(raw.data(), raw.size()) == magic;
}

std::uint64_t BinaryReader::count(std::uint64_t minCount, std::uint64_t maxCount,
                                  const std::string& unsafeText) {
    const std::uint64_t value = u64();
    if (value < minCount || value > maxCount) throw std::runtime_error(unsafeText);
    return value;
}

std::vector<double> BinaryReader::f64Array(std::uint64_t count) {
    requireElements(count, sizeof(double));
    std::vector<double> values(static_cast<std::size_t>(count));
    readArray(std::span<double>(values));
    return values;
}

std::vector<float> BinaryReader::f32Array(std::uint64_t count) {
    requireElements(count, sizeof(float));
    std::vector<float> values(static_cast<std::size_t>(count));
    readArray(std::span<float>(values));
    return values;
}

void BinaryReader::readInto(std::span<double> out) { readArray(out); }
void BinaryReader::readInto(std::span<float> out) { readArray(out); }

void BinaryReader::skip(std::uint64_t bytes) {
    require(bytes);
    if (file_ == nullptr) {
        hash_ = fnv1a64Append(
            hash_, bytes_.subspan(static_cast<std::size_t>(position_), static_cast<std::size_t>(bytes)));
        remaining_ -= bytes;
        position_ += bytes;
        return;
    }
    // Read and dropped rather than sought: fseek takes a long, too narrow for large files on some
    // platforms, and a pipe cannot seek.
    std::array<std::byte, 4096> scratch;
    while (bytes > 0) {
        const std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, scratch.size()));
        readRaw(scratch.data(), step);
        bytes -= step;
    }
}

BinaryWriter::~BinaryWriter() {
    if (file_ != nullptr) flush();
}

void BinaryWriter::writeOut(const void* data, std::size_t bytes) {
    if (!failed_ && bytes > 0 && std::fwrite(data, 1, bytes, file_) != bytes) failed_ = true;
}

void BinaryWriter::append(const void* data, std::size_t bytes) {
    const auto* first = static_cast<const std::byte*>(data);
    hash_ = fnv1a64Append(hash_, {first, bytes});
    if (file_ != nullptr && buffer_.size() + bytes > kFileChunkBytes) {
        writeOut(buffer_.data(), buffer_.size());
        buffer_.clear();
        // A large block goes straight to the file instead of through the buffer.
        if (bytes >= kFileChunkBytes) {
            writeOut(first, bytes);
            return;
        }
    }
    buffer_.insert(buffer_.end(), first, first + bytes);
}

template <typename T>
void BinaryWriter::appendScalar(T value) {
    std::array<std::byte, sizeof(T)> raw;
    storeLittleEndian(std::bit_cast<BitsOf<T>>(value), raw.data());
    append(raw.data(), raw.size());
}

template <typename T>
void BinaryWriter::appendArray(std::span<const T> values) {
    if constexpr (std::endian::native == std::endian::little) {
        append(values.data(), values.size_bytes());
    } else {
        for (const T value : values) appendScalar(value);
    }
}

BinaryWriter& BinaryWriter::u32(std::uint32_t value) {
    appendScalar(value);
    return *this;
}

BinaryWriter& BinaryWriter::u64(std::uint64_t value) {
    appendScalar(value);
    return *this;
}

BinaryWriter& BinaryWriter::i32(std::int32_t value) {
    appendScalar(value);
    return *this;
}

BinaryWriter& BinaryWriter::i64(std::int64_t value) {
    appendScalar(value);
    return *this;
}

BinaryWriter& BinaryWriter::f32(float value) {
    appendScalar(value);
    return *this;
}

BinaryWriter& BinaryWriter::f64(double value) {
    appendScalar(value);
    return *this;
}

BinaryWriter& BinaryWriter::magic(std::string_view magic) {
    checkMagic(magic);
    append(magic.data(), magic.size());
    return *this;
}

BinaryWriter& BinaryWriter::f64Array(std::span<const double> values) {
    appendArray(values);
    return *this;
}

BinaryWriter& BinaryWriter::f32Array(std::span<const float> values) {
    appendArray(values);
    return *this;
}

bool BinaryWriter::flush() {
    if (file_ == nullptr) return true;
    writeOut(buffer_.data(), buffer_.size());
    buffer_.clear();
    if (!failed_ && std::fflush(file_) != 0) failed_ = true;
    return !failed_;
}

}  // namespace zk::core
