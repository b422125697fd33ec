#include "core/storage/analysis_map.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis_test_support.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/file_io.h"
#include "core/storage/fnv1a.h"
#include "storage_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::expectThrowExactly;
using zk::test::outcome;

// Little-endian bytes assembled field by field from IEEE-754 bit patterns worked out by hand.
struct HandBytes {
    std::string bytes;
    HandBytes& text(const char* magic) {
        bytes.append(magic, 8);
        return *this;
    }
    HandBytes& u64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        return *this;
    }
    HandBytes& u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        return *this;
    }
};

// Bit patterns of the doubles of the 3 x 2 map below.
constexpr std::uint64_t kMinus10 = 0xC024000000000000, kZero = 0, kPlus10 = 0x4024000000000000;
constexpr std::uint64_t kMinus5 = 0xC014000000000000, kPlus5 = 0x4014000000000000;
constexpr std::uint64_t kMinus3 = 0xC008000000000000, kMinus1p5 = 0xBFF8000000000000;
constexpr std::uint64_t kMinus6 = 0xC018000000000000, kMinus12 = 0xC028000000000000;
constexpr std::uint64_t kMinus0p25 = 0xBFD0000000000000, kPlus12 = 0x4028000000000000;
constexpr std::uint64_t k42p5 = 0x4045400000000000, k1000 = 0x408F400000000000;
constexpr std::uint64_t k984p375 = 0x408EC30000000000, k1031p25 = 0x40901D0000000000;

static_assert(std::bit_cast<std::uint64_t>(-10.0) == kMinus10 &&
              std::bit_cast<std::uint64_t>(-0.25) == kMinus0p25 &&
              std::bit_cast<std::uint64_t>(42.5) == k42p5 &&
              std::bit_cast<std::uint64_t>(984.375) == k984p375 &&
              std::bit_cast<std::uint64_t>(1031.25) == k1031p25 &&
              std::bit_cast<std::uint64_t>(1000.0) == k1000);

// Peak in row 0, column 2 (index 2): the cell at azimuth 10, elevation -5.
HeatmapGrid threeByTwo() {
    HeatmapGrid g;
    g.width = 3;
    g.height = 2;
    g.azimuthDeg = {-10.0, 0.0, 10.0};
    g.elevationDeg = {-5.0, 5.0};
    g.relativeDb = {-3.0, -1.5, 0.0, -6.0, -12.0, -0.25};
    g.power = {1, 2, 3, 4, 5, 6};  // never stored
    g.db = {9, 9, 9, 9, 9, 9};     // never stored
    g.peakIndex = 2;
    g.peakAzimuthDeg = 10.0;
    g.peakElevationDeg = -5.0;
    g.peakRelativeDb = 0.0;
    g.peakDb = 42.5;
    g.minRelativeDb = -12.0;
    g.dynamicRangeDb = 12.0;
    g.representativeFrequencyHz = 1000.0;
    g.firstFrequencyHz = 984.375;
    g.lastFrequencyHz = 1031.25;
    g.binCount = 2;
    g.parametersRevision = 7;
    g.algorithmId = 3;
    g.estimatedSourceCount = 1;
    return g;
}

std::string handWithoutTrailer() {
    HandBytes b;
    b.text("ZKMAP002").u64(3).u64(2).u64(2).u64(kPlus10).u64(kMinus5).u64(kZero);
    b.u64(kMinus10).u64(kZero).u64(kPlus10);
    b.u64(kMinus5).u64(kPlus5);
    b.u64(kMinus3).u64(kMinus1p5).u64(kZero).u64(kMinus6).u64(kMinus12).u64(kMinus0p25);
    return b.bytes;
}

std::string handWithTrailer() {
    HandBytes b{handWithoutTrailer()};
    b.text("ZKMETA01").u64(k42p5).u64(kMinus12).u64(kPlus12).u64(k1000).u64(k984p375).u64(k1031p25);
    b.u64(2).u64(7).u32(3).u32(1);
    return b.bytes;
}

class AnalysisMap : public ::testing::Test {
  protected:
    fs::path file(const std::string& bytes, const std::string& name = "map.bin") {
        test::writeText(folder / name, bytes);
        return folder / name;
    }
    zk::test::TempFolder folder;
};

TEST_F(AnalysisMap, WritesTheLayoutByteForByte) {
    ASSERT_EQ(handWithTrailer().size(), 224u);  // 136 + 8 x (3 + 2 + 6)
    // The returned checksum is that of the bytes on disk.
    EXPECT_EQ(formatHash64(writeAnalysisMap(folder / "map.bin", threeByTwo())),
              test::naiveFnv1a64Hex(handWithTrailer()));
    EXPECT_EQ(test::fileText(folder / "map.bin"), handWithTrailer());

    HeatmapGrid one;
    one.width = one.height = 1;
    one.azimuthDeg = {0.0};
    one.elevationDeg = {0.0};
    one.relativeDb = {0.0};
    writeAnalysisMap(folder / "one.bin", one);
    EXPECT_EQ(fs::file_size(folder / "one.bin"), 160u);
}

TEST_F(AnalysisMap, ReadsTheTrailerAndRebuildsDb) {
    const HeatmapGrid g = readAnalysisMap(file(handWithTrailer()));
    const HeatmapGrid want = threeByTwo();
    EXPECT_EQ(g.width, 3u);
    EXPECT_EQ(g.height, 2u);
    EXPECT_EQ(g.azimuthDeg, want.azimuthDeg);
    EXPECT_EQ(g.elevationDeg, want.elevationDeg);
    EXPECT_EQ(g.relativeDb, want.relativeDb);
    EXPECT_EQ(g.db, (std::vector<double>{39.5, 41.0, 42.5, 36.5, 30.5, 42.25}));
    EXPECT_TRUE(g.power.empty());
    EXPECT_EQ(g.peakIndex, 2u);
    EXPECT_EQ(g.peakAzimuthDeg, 10.0);
    EXPECT_EQ(g.peakElevationDeg, -5.0);
    EXPECT_EQ(g.peakRelativeDb, 0.0);
    EXPECT_EQ(g.peakDb, 42.5);
    EXPECT_EQ(g.minRelativeDb, -12.0);
    EXPECT_EQ(g.dynamicRangeDb, 12.0);
    EXPECT_EQ(g.representativeFrequencyHz, 1000.0);
    EXPECT_EQ(g.firstFrequencyHz, 984.375);
    EXPECT_EQ(g.lastFrequencyHz, 1031.25);
    EXPECT_EQ(g.binCount, 2u);
    EXPECT_EQ(g.parametersRevision, 7u);
    EXPECT_EQ(g.algorithmId, 3u);
    EXPECT_EQ(g.estimatedSourceCount, 1u);
}

// A file written while floored cells still counted stores a range down to the -240 dB floor (here the
// cell at -282.5 dB relative, 242.5 dB below a 42.5 dB peak); read back, the range spans the cells that
// hold a level, and a map written now stores that range itself.
TEST_F(AnalysisMap, FlooredCellsLeaveTheRangeOfAnOlderFile) {
    std::string bytes = handWithTrailer();
    const auto put = [&](std::size_t offset, double value) {
        const auto bits = std::bit_cast<std::uint64_t>(value);
        for (int i = 0; i < 8; ++i) bytes[offset + i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    };
    put(56 + 8 * (3 + 2 + 4), -282.5);  // relativeDb of cell 4, after both axes
    put(56 + 8 * 11 + 8 + 8, -282.5);   // stored minRelativeDb
    put(56 + 8 * 11 + 8 + 16, 282.5);   // stored dynamicRangeDb
    const HeatmapGrid g = readAnalysisMap(file(bytes));
    EXPECT_EQ(g.relativeDb[4], -282.5);
    EXPECT_FALSE(cellHoldsLevel(g, 4));
    EXPECT_EQ(g.minRelativeDb, -6.0);
    EXPECT_EQ(g.dynamicRangeDb, 6.0);
    writeAnalysisMap(folder / "again.bin", g);
    EXPECT_EQ(readAnalysisMap(folder / "again.bin").dynamicRangeDb, 6.0);
}

TEST_F(AnalysisMap, FileWithoutTrailerRebuildsTheRangeFromTheValues) {
    for (const std::string& tail : {std::string(), std::string("ZKMETA0"), std::string("XXXXXXXXjunk")}) {
        // Stored peakRelativeDb 7 is replaced by the largest value.
        std::string bytes = handWithoutTrailer();
        const std::uint64_t seven = std::bit_cast<std::uint64_t>(7.0);
        for (int i = 0; i < 8; ++i) bytes[48 + i] = static_cast<char>((seven >> (8 * i)) & 0xFF);
        const HeatmapGrid g = readAnalysisMap(file(bytes + tail));
        EXPECT_EQ(g.relativeDb, threeByTwo().relativeDb) << tail;
        EXPECT_EQ(g.minRelativeDb, -12.0);
        EXPECT_EQ(g.peakRelativeDb, 0.0);
        EXPECT_EQ(g.dynamicRangeDb, 12.0);
        EXPECT_EQ(g.peakDb, -240.0);
        EXPECT_TRUE(g.db.empty());
        EXPECT_EQ(g.binCount, 1u);
        EXPECT_EQ(g.algorithmId, 1u);
        EXPECT_EQ(g.representativeFrequencyHz, 0.0);
        EXPECT_EQ(g.peakAzimuthDeg, 10.0);
    }
}

// Every prefix of a valid file fails with the text of the section it ends in, or reads as a file
// without trailer when it ends before a whole trailer magic.
TEST_F(AnalysisMap, TruncatedAtEveryByteFailsWithItsText) {
    const std::string whole = handWithTrailer();
    for (std::size_t n = 0; n <= whole.size(); ++n) {
        const fs::path path = file(whole.substr(0, n));
        if (n == 144 || (n > 144 && n < 152) || n == whole.size()) {
            EXPECT_NO_THROW(readAnalysisMap(path)) << n;
            continue;
        }
        const char* text = n < 8     ? "unsupported Analysis map format"
                           : n < 56  ? "truncated Analysis map"
                           : n < 144 ? "Analysis map payload is invalid"
                                     : "truncated Analysis map";
        expectThrowExactly<std::runtime_error>([&] { readAnalysisMap(path); }, text);
    }
}

TEST_F(AnalysisMap, FlippedBitsFailWithAMapTextOrReadBack) {
    const std::string whole = handWithTrailer();
    const std::vector<std::string> texts = {"unsupported Analysis map format", "truncated Analysis map",
                                            "Analysis map dimensions are unsafe",
                                            "Analysis map payload is invalid"};
    int failures = 0;
    // Every bit of the header, then one bit of each later byte (a file write per case is slow).
    std::vector<std::size_t> bits;
    for (std::size_t bit = 0; bit < 56 * 8; ++bit) bits.push_back(bit);
    for (std::size_t byte = 56; byte < whole.size(); ++byte) bits.push_back(byte * 8 + byte % 8);
    for (const std::size_t bit : bits) {
        std::string bytes = whole;
        bytes[bit / 8] = static_cast<char>(bytes[bit / 8] ^ (1 << (bit % 8)));
        try {
            const HeatmapGrid g = readAnalysisMap(file(bytes));
            EXPECT_EQ(g.relativeDb.size(), g.width * g.height);
        } catch (const std::runtime_error& e) {
            ++failures;
            EXPECT_NE(std::find(texts.begin(), texts.end(), e.what()), texts.end())
                << bit << ": " << e.what();
        }
    }
    EXPECT_GT(failures, 64);  // every flip in the magic at least
}

TEST_F(AnalysisMap, HeaderCountsAreBoundedBeforeAnyValueIsRead) {
    const auto header = [](std::uint64_t w, std::uint64_t h, std::uint64_t peak) {
        return HandBytes{}.text("ZKMAP002").u64(w).u64(h).u64(peak).u64(0).u64(0).u64(0).bytes;
    };
    const char* unsafe = "Analysis map dimensions are unsafe";
    for (const auto& [w, h] :
         std::vector<std::pair<std::uint64_t, std::uint64_t>>{{5000, 3000},
                                                              {0, 1},
                                                              {1, 0},
                                                              {10'000'001, 1},
                                                              {1, 10'000'001},
                                                              {~0ull, ~0ull},
                                                              {1ull << 32, 1ull << 32}}) {
        expectThrowExactly<std::runtime_error>([&] { readAnalysisMap(file(header(w, h, 0))); }, unsafe);
    }
    // Accepted sizes still claim far more values than the file holds.
    expectThrowExactly<std::runtime_error>([&] { readAnalysisMap(file(header(10000, 1000, 0))); },
                                           "Analysis map payload is invalid");
    expectThrowExactly<std::runtime_error>([&] { readAnalysisMap(file(header(10'000'000, 1, 0))); },
                                           "Analysis map payload is invalid");

    std::string peakOutside = handWithTrailer();
    peakOutside[24] = 6;  // peakIndex = W x H
    expectThrowExactly<std::runtime_error>([&] { readAnalysisMap(file(peakOutside)); },
                                           "Analysis map payload is invalid");
    peakOutside[24] = 5;
    EXPECT_EQ(readAnalysisMap(file(peakOutside)).peakIndex, 5u);
}

TEST_F(AnalysisMap, OpenAndShapeFailures) {
    expectThrowExactly<std::runtime_error>([&] { readAnalysisMap(folder / "absent.bin"); },
                                           "cannot open Analysis map");
    fs::create_directories(folder / "dir.bin");
    expectThrowExactly<std::runtime_error>([&] { readAnalysisMap(folder / "dir.bin"); },
                                           "cannot open Analysis map");
    expectThrowExactly<std::runtime_error>(
        [&] { readAnalysisMap(file("ZKMAP001" + std::string(300, '\0'))); },
        "unsupported Analysis map format");

    for (int field = 0; field < 5; ++field) {
        HeatmapGrid bad = threeByTwo();
        if (field == 0) bad.relativeDb.pop_back();
        if (field == 1) bad.azimuthDeg.push_back(20.0);
        if (field == 2) bad.elevationDeg.clear();
        if (field == 3) bad.width = 0;
        if (field == 4) bad.height = 3;
        expectThrowExactly<std::invalid_argument>([&] { writeAnalysisMap(folder / "bad.bin", bad); },
                                                  "Analysis map dimensions are invalid");
        EXPECT_FALSE(fs::exists(folder / "bad.bin")) << field;
    }
    expectThrowExactly<std::runtime_error>(
        [&] { writeAnalysisMap(folder / "missing" / "map.bin", threeByTwo()); }, "cannot write Analysis map");
}

// A full disk shows only when the buffered bytes go out, at the latest in the close.
TEST_F(AnalysisMap, FullDiskFailsWithTheFinalizeText) {
    HeatmapGrid big = threeByTwo();
    big.width = 200;
    big.height = 100;
    big.azimuthDeg.assign(200, 1.0);
    big.elevationDeg.assign(100, 2.0);
    big.relativeDb.assign(20000, -3.0);
    const HeatmapGrid small = threeByTwo();
    for (const auto& [limit, grid] : std::vector<std::pair<std::uint64_t, const HeatmapGrid*>>{
             {0, &small}, {100, &small}, {223, &small}, {0, &big}, {65536, &big}}) {
        EXPECT_EQ(test::runWithFileSizeLimit(
                      limit, [&] { return outcome([&] { writeAnalysisMap(folder / "full.bin", *grid); }); }),
                  "runtime_error: cannot finalize Analysis map")
            << limit;
    }
    EXPECT_EQ(test::runWithFileSizeLimit(
                  224, [&] { return outcome([&] { writeAnalysisMap(folder / "fits.bin", threeByTwo()); }); }),
              "ok");
    EXPECT_EQ(readAnalysisMap(folder / "fits.bin").peakDb, 42.5);
}

TEST_F(AnalysisMap, RunWithoutResultFileHasNoMap) {
    AnalysisRunRecord run;
    run.directory = folder.path();
    EXPECT_FALSE(loadAnalysisRunMap(run).has_value());
    run.resultFile = "map.bin";
    expectThrowExactly<std::runtime_error>([&] { loadAnalysisRunMap(run); }, "cannot open Analysis map");
    file(handWithTrailer());
    EXPECT_EQ(loadAnalysisRunMap(run)->relativeDb, threeByTwo().relativeDb);
}

// What loading the map of a damaged run gives.
enum class MapLoad { Saved, Damaged, Mismatch };

// One kind of damage to a saved run with the 3 x 2 map (224 bytes).
struct RunMapDamage {
    const char* name;
    std::function<void(const fs::path& manifest, const fs::path& map)> apply;
    MapLoad load;
};

std::function<void(const fs::path&, const fs::path&)> flipMapByte(std::size_t offset) {
    return [offset](const fs::path&, const fs::path& map) {
        std::string bytes = test::fileText(map);
        bytes[offset] ^= 0x04;
        test::writeText(map, bytes);
    };
}

void dropHashLine(const fs::path& manifest) {
    std::string text = test::fileText(manifest);
    const std::size_t at = text.find("  \"resultFileHash\": ");
    ASSERT_NE(at, std::string::npos);
    test::writeText(manifest, text.erase(at, text.find('\n', at) + 1 - at));
}

TEST_F(AnalysisMap, RunMapIsCheckedAgainstItsRecordedChecksum) {
    using enum MapLoad;
    const std::vector<RunMapDamage> table = {
        {"intact", [](const fs::path&, const fs::path&) {}, Saved},
        {"flipped byte in the peak direction", flipMapByte(43), Mismatch},
        {"flipped byte in a relative level", flipMapByte(56 + 8 * 5 + 3), Mismatch},
        {"flipped byte in the trailer", flipMapByte(224 - 3), Mismatch},
        {"flipped byte in the trailer magic", flipMapByte(144 + 2), Mismatch},
        {"bytes after the trailer, which are not read",
         [](const fs::path&, const fs::path& map) { test::writeText(map, test::fileText(map) + "tail"); },
         Saved},
        {"analysis.json holding another checksum",
         [](const fs::path& manifest, const fs::path& map) {
             std::string text = test::fileText(manifest);
             const std::string hash = test::naiveFnv1a64Hex(test::fileText(map));
             test::writeText(manifest, text.replace(text.find(hash), hash.size(), "0123456789abcdef"));
         },
         Mismatch},
        // A run saved before maps had a checksum loads its map as it always did, damaged or not.
        {"analysis.json written before the checksum",
         [](const fs::path& manifest, const fs::path&) { dropHashLine(manifest); }, Saved},
        {"analysis.json written before the checksum, map damaged",
         [](const fs::path& manifest, const fs::path& map) {
             dropHashLine(manifest);
             flipMapByte(56 + 8 * 5 + 3)(manifest, map);
         },
         Damaged},
    };
    const HeatmapGrid saved = threeByTwo();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const RunMapDamage& damage = table[i];
        SCOPED_TRACE(damage.name);
        const AnalysisRunRecord run =
            createAnalysisRun(folder.path(), "m1", "run-" + std::to_string(i), test::sampleParameters(), 10.0,
                              -5.0, 0.0, "1.2.2", test::sampleProvenance(), saved);
        damage.apply(run.directory / "analysis.json", run.directory / "map.bin");
        const AnalysisRunRecord read = readAnalysisRun(run.directory);
        if (damage.load == Mismatch) {
            expectThrowExactly<std::runtime_error>([&] { loadAnalysisRunMap(read); },
                                                   "Analysis map checksum mismatch");
            continue;
        }
        const std::optional<HeatmapGrid> map = loadAnalysisRunMap(read);
        ASSERT_TRUE(map.has_value());
        EXPECT_EQ(map->peakDb, saved.peakDb);
        EXPECT_EQ(map->relativeDb == saved.relativeDb, damage.load == Saved);
    }
}

}  // namespace
}  // namespace zk::core
