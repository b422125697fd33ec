#include "core/storage/binary_io.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/storage/file_io.h"
#include "core/storage/fnv1a.h"
#include "storage_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::expectThrowExactly;

std::vector<std::byte> bytesOf(std::initializer_list<unsigned> values) {
    std::vector<std::byte> out;
    for (const unsigned v : values) out.push_back(static_cast<std::byte>(v));
    return out;
}

std::string fileContent(const fs::path& path) {
    std::string bytes;
    EXPECT_EQ(readFileBounded(path, std::size_t{1} << 30, bytes), FileReadStatus::Ok);
    return bytes;
}

void writeThroughFile(const fs::path& path, const std::function<void(BinaryWriter&)>& fields) {
    FileHandle file = openFileForWriting(path);
    ASSERT_TRUE(file);
    {
        BinaryWriter writer(file.get());
        fields(writer);
        ASSERT_TRUE(writer.flush());
    }
    ASSERT_TRUE(closeFile(file));
}

// IEEE-754 bit patterns worked out by hand: 1.0f = 0x3F800000, 0.1f = 0x3DCCCCCD,
// 1.0 = 0x3FF0000000000000, -2.5 = 0xC004000000000000, 0.1 = 0x3FB999999999999A.
const std::vector<std::byte> kHandBytes = bytesOf({
    'Z',  'K',  'M',  'A',  'P',  '0',  '0',  '2',   // magic
    0x04, 0x03, 0x02, 0x01,                          // u32 0x01020304
    0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,  // u64 0x0102030405060708
    0xFE, 0xFF, 0xFF, 0xFF,                          // i32 -2
    0xFD, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // i64 -3
    0x00, 0x00, 0x80, 0x3F, 0xCD, 0xCC, 0xCC, 0x3D,  // f32 1, 0.1
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F,  // f64 1
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0xC0,  // f64 -2.5
    0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xB9, 0x3F,  // f64 0.1
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80,  // f64 array: -0
    0x00, 0x00, 0x80, 0xBF,                          // f32 array: -1
});

void writeHandFields(BinaryWriter& w) {
    const double doubles[] = {-0.0};
    const float floats[] = {-1.0f};
    w.magic("ZKMAP002").u32(0x01020304u).u64(0x0102030405060708ull).i32(-2).i64(-3);
    w.f32(1.0f).f32(0.1f).f64(1.0).f64(-2.5).f64(0.1).f64Array(doubles).f32Array(floats);
}

TEST(BinaryIo, LayoutMatchesHandComputedBytes) {
    BinaryWriter buffered;
    writeHandFields(buffered);
    EXPECT_EQ(buffered.buffer(), kHandBytes);
    zk::test::TempFolder folder;
    writeThroughFile(folder / "hand.bin", writeHandFields);
    const std::string onDisk = fileContent(folder / "hand.bin");
    ASSERT_EQ(onDisk.size(), kHandBytes.size());
    EXPECT_EQ(std::memcmp(onDisk.data(), kHandBytes.data(), onDisk.size()), 0);

    BinaryReader in{std::span<const std::byte>(kHandBytes)};
    EXPECT_TRUE(in.matchMagic("ZKMAP002"));
    EXPECT_EQ(in.u32(), 0x01020304u);
    EXPECT_EQ(in.u64(), 0x0102030405060708ull);
    EXPECT_EQ(in.i32(), -2);
    EXPECT_EQ(in.i64(), -3);
    EXPECT_EQ(in.f32(), 1.0f);
    EXPECT_EQ(in.f32(), 0.1f);
    EXPECT_EQ(in.f64(), 1.0);
    EXPECT_EQ(in.f64(), -2.5);
    EXPECT_EQ(in.f64(), 0.1);
    const std::vector<double> negativeZero = in.f64Array(1);
    EXPECT_TRUE(std::signbit(negativeZero.at(0)) && negativeZero[0] == 0.0);
    EXPECT_EQ(in.f32Array(1), std::vector<float>{-1.0f});
    EXPECT_EQ(in.remaining(), 0u);
    EXPECT_EQ(in.position(), kHandBytes.size());
}

// The checksum the formats record: FNV-1a 64 of exactly the bytes written, or consumed so far.
TEST(BinaryIo, HashCoversEveryByteWrittenOrConsumed) {
    const std::string hand(reinterpret_cast<const char*>(kHandBytes.data()), kHandBytes.size());
    BinaryWriter buffered;
    writeHandFields(buffered);
    EXPECT_EQ(formatHash64(buffered.hash()), zk::test::naiveFnv1a64Hex(hand));
    zk::test::TempFolder folder;
    writeThroughFile(folder / "hand.bin", [&](BinaryWriter& w) {
        writeHandFields(w);
        EXPECT_EQ(formatHash64(w.hash()), zk::test::naiveFnv1a64Hex(hand));
    });

    const FileHandle file = openFileForReading(folder / "hand.bin");
    ASSERT_TRUE(file);
    BinaryReader fromSpan{std::span<const std::byte>(kHandBytes)};
    BinaryReader fromFile(file.get(), kHandBytes.size());
    for (BinaryReader* in : {&fromSpan, &fromFile}) {
        EXPECT_EQ(formatHash64(in->hash()), zk::test::naiveFnv1a64Hex(""));
        EXPECT_TRUE(in->matchMagic("ZKMAP002"));
        in->skip(12);
        EXPECT_EQ(formatHash64(in->hash()), zk::test::naiveFnv1a64Hex(hand.substr(0, 20)));
        in->f64Array(1);
        EXPECT_EQ(formatHash64(in->hash()), zk::test::naiveFnv1a64Hex(hand.substr(0, 28)));
    }
}

TEST(BinaryIo, MagicsAreEightPrintableCharacters) {
    BinaryWriter w;
    for (const char* bad : {"ZKMAP02", "ZKMAP0022", "ZKMAP\n02", ""}) {
        expectThrowExactly<std::invalid_argument>([&] { w.magic(bad); },
                                                  "binary magic must be 8 printable ASCII characters");
    }
    EXPECT_TRUE(w.buffer().empty());
    BinaryReader other(std::string_view("ZKMAP001rest"));
    EXPECT_FALSE(other.matchMagic("ZKMAP002"));
    EXPECT_EQ(other.remaining(), 4u);
    BinaryReader shortInput(std::string_view("ZKMAP00"));
    EXPECT_FALSE(shortInput.matchMagic("ZKMAP002"));
    EXPECT_EQ(shortInput.remaining(), 7u);  // nothing consumed
}

// Bit-exact round trip of every kind of value, arrays past the writer's chunk size included.
TEST(BinaryIo, RoundTripsThroughARealFile) {
    std::mt19937_64 random(11);
    std::vector<double> doubles(100'003);
    for (double& v : doubles) v = std::bit_cast<double>(random());  // every pattern, NaNs included
    const double specials[] = {std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(),
                               -std::numeric_limits<double>::infinity(), -0.0};
    std::vector<float> floats(70'001);
    for (float& v : floats) v = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
    const auto fields = [&](BinaryWriter& w) {
        w.magic("ZKCSM001").u64(std::numeric_limits<std::uint64_t>::max());
        w.i64(std::numeric_limits<std::int64_t>::min()).i32(std::numeric_limits<std::int32_t>::min());
        w.f64Array(doubles).f64Array(specials).u32(7).f32Array(floats).magic("ZKMETA01");
    };
    zk::test::TempFolder folder;
    const auto path = folder / "round.bin";
    writeThroughFile(path, fields);
    BinaryWriter buffered;
    fields(buffered);
    const std::string onDisk = fileContent(path);
    const std::uint64_t expectedSize = 8 + 8 + 8 + 4 + 8 * (doubles.size() + 4) + 4 + 4 * floats.size() + 8;
    ASSERT_EQ(onDisk.size(), expectedSize);
    ASSERT_EQ(buffered.buffer().size(), expectedSize);
    EXPECT_EQ(std::memcmp(onDisk.data(), buffered.buffer().data(), expectedSize), 0);

    const auto readBack = [&](BinaryReader& in) {
        EXPECT_TRUE(in.matchMagic("ZKCSM001"));
        EXPECT_EQ(in.u64(), std::numeric_limits<std::uint64_t>::max());
        EXPECT_EQ(in.i64(), std::numeric_limits<std::int64_t>::min());
        EXPECT_EQ(in.i32(), std::numeric_limits<std::int32_t>::min());
        const std::vector<double> d = in.f64Array(doubles.size());
        EXPECT_EQ(std::memcmp(d.data(), doubles.data(), d.size() * sizeof(double)), 0);
        double s[4];
        in.readInto(std::span<double>(s));
        EXPECT_EQ(std::memcmp(s, specials, sizeof s), 0);
        EXPECT_EQ(in.u32(), 7u);
        const std::vector<float> f = in.f32Array(floats.size());
        EXPECT_EQ(std::memcmp(f.data(), floats.data(), f.size() * sizeof(float)), 0);
        EXPECT_TRUE(in.matchMagic("ZKMETA01"));
        EXPECT_EQ(in.remaining(), 0u);
    };
    FileHandle file = openFileForReading(path);
    ASSERT_TRUE(file);
    BinaryReader fromFile(file.get(), regularFileSize(file.get()).value_or(0));
    readBack(fromFile);
    BinaryReader fromBytes{std::string_view(onDisk)};
    readBack(fromBytes);
}

// One field of each kind; a cut anywhere must fail exactly at the field it cuts.
const std::size_t kFieldBytes[] = {8, 4, 8, 4, 8, 4, 8, 8, 24, 8, 8};

// Fields read before the input ran out; the trailing magic counts as read only when it matched.
std::size_t readFields(BinaryReader& in) {
    std::size_t done = 0;
    try {
        if (!in.matchMagic("ZKMAP002")) return done;
        ++done;
        in.u32();
        ++done;
        in.u64();
        ++done;
        in.i32();
        ++done;
        in.i64();
        ++done;
        in.f32();
        ++done;
        in.f64();
        ++done;
        const std::uint64_t n = in.count(0, 3, "count is unsafe");
        ++done;
        in.f64Array(n);
        ++done;
        in.skip(8);
        ++done;
        if (in.matchMagic("ZKMETA01")) ++done;
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "cut here");
    }
    return done;
}

TEST(BinaryIo, TruncationAtEveryByteFailsAtTheCutField) {
    BinaryWriter w;
    const double three[] = {1, 2, 3};
    w.magic("ZKMAP002").u32(1).u64(2).i32(3).i64(4).f32(5).f64(6).u64(3).f64Array(three).u64(9);
    w.magic("ZKMETA01");
    const std::vector<std::byte>& full = w.buffer();
    ASSERT_EQ(full.size(), 92u);
    zk::test::TempFolder folder;
    const auto path = folder / "cut.bin";
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        std::size_t expected = 0;
        for (std::size_t end = 0; const std::size_t bytes : kFieldBytes) {
            end += bytes;
            if (end <= cut) ++expected;
        }
        BinaryReader fromBytes(std::span<const std::byte>(full.data(), cut), "cut here");
        EXPECT_EQ(readFields(fromBytes), expected) << "cut " << cut;

        ASSERT_EQ(writeWholeFile(path, std::span<const std::byte>(full.data(), cut)), FileWriteStatus::Ok);
        FileHandle file = openFileForReading(path);
        ASSERT_TRUE(file);
        BinaryReader fromFile(file.get(), regularFileSize(file.get()).value_or(0), "cut here");
        EXPECT_EQ(readFields(fromFile), expected) << "file cut " << cut;
        // A file that shrank after its size was taken fails the same way, at the read itself.
        std::rewind(file.get());
        BinaryReader stale(file.get(), full.size(), "cut here");
        EXPECT_EQ(readFields(stale), expected) << "stale cut " << cut;
    }
}

TEST(BinaryIo, CountsBeyondTheBoundOrTheInputAreRefusedBeforeAllocating) {
    BinaryWriter w;
    for (const std::uint64_t n : {0ull, 1ull, 4096ull, 4097ull, ~0ull}) w.u64(n);
    BinaryReader counts{std::span<const std::byte>(w.buffer())};
    const std::string unsafe = "derived matrix channel count is unsafe";
    expectThrowExactly<std::runtime_error>([&] { counts.count(1, 4096, unsafe); }, unsafe);
    EXPECT_EQ(counts.count(1, 4096, unsafe), 1u);
    EXPECT_EQ(counts.count(1, 4096, unsafe), 4096u);
    expectThrowExactly<std::runtime_error>([&] { counts.count(1, 4096, unsafe); }, unsafe);
    expectThrowExactly<std::runtime_error>([&] { counts.count(1, 4096, unsafe); }, unsafe);

    // 2^61 + 1 doubles are 8 bytes modulo 2^64: a multiplied check would let it through.
    const std::string sixteen(16, '\0');
    for (const std::uint64_t n : {3ull, 1ull << 40, (1ull << 61) + 1, ~0ull}) {
        BinaryReader in(std::string_view(sixteen), "payload is invalid");
        expectThrowExactly<std::runtime_error>([&] { in.f64Array(n); }, "payload is invalid");
        expectThrowExactly<std::runtime_error>([&] { in.f32Array(n * 2); }, "payload is invalid");
        EXPECT_EQ(in.f64Array(2).size(), 2u);
    }
    BinaryReader skipping(std::string_view(sixteen), "payload is invalid");
    expectThrowExactly<std::runtime_error>([&] { skipping.skip(17); }, "payload is invalid");
    expectThrowExactly<std::runtime_error>([&] { skipping.skip(~0ull); }, "payload is invalid");
    skipping.skip(16);
    EXPECT_EQ(skipping.remaining(), 0u);

    zk::test::TempFolder folder;
    ASSERT_EQ(writeWholeFile(folder / "small.bin", sixteen), FileWriteStatus::Ok);
    FileHandle small = openFileForReading(folder / "small.bin");
    BinaryReader fromFile(small.get(), regularFileSize(small.get()).value_or(0), "payload is invalid");
    expectThrowExactly<std::runtime_error>([&] { fromFile.f64Array(1ull << 40); }, "payload is invalid");
    // A device has no size: read as empty, it can never feed an allocation. (The stores' own open
    // refuses it before this point.)
    if (fs::exists("/dev/zero")) {
        EXPECT_FALSE(openFileForReading("/dev/zero"));
        FileHandle zero(std::fopen("/dev/zero", "rb"));
        ASSERT_TRUE(zero);
        EXPECT_FALSE(regularFileSize(zero.get()).has_value());
        BinaryReader endless(zero.get(), regularFileSize(zero.get()).value_or(0));
        expectThrowExactly<std::runtime_error>([&] { endless.u32(); }, "truncated binary data");
    }
}

TEST(BinaryIo, FileWriteFailuresAreReportedByFlush) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to fail a write";
    FileHandle full = openFileForWriting("/dev/full");
    ASSERT_TRUE(full);
    BinaryWriter w(full.get());
    const std::vector<double> large(kFileChunkBytes / 4, 1.0);  // past the buffer: written directly
    w.u64(1).f64Array(large).u32(2);
    EXPECT_FALSE(w.flush());
    EXPECT_FALSE(w.flush());  // sticky
}

}  // namespace
}  // namespace zk::core
