#include "core/beamforming/derived_matrix_cache.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <complex>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "core/storage/fnv1a.h"
#include "storage/storage_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using test::expectThrowExactly;
using test::naiveFnv1a64Hex;

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string hashOf(const std::string& text) { return formatHash64(fnv1a64(text.data(), text.size())); }

DerivedMatrixKey exampleKey() {
    DerivedMatrixKey key;
    key.frameSize = 4096;
    key.hopSize = 2048;
    key.rawHash = "0123456789abcdef";
    key.profileHash = "fedcba9876543210";
    return key;
}

// C x C matrices of random bits-rich values (signed zeros, subnormals, a NaN payload, infinities among them).
BandMatrix randomBandMatrix(std::size_t channels, std::size_t bins, unsigned seed = 3) {
    std::mt19937_64 random(seed);
    BandMatrix m;
    m.inputFrames = 123456789012ULL;
    m.stftFrames = 987654321ULL;
    m.band.lowEdgeHz = 7127.0998;
    m.band.highEdgeHz = 8979.696;
    m.band.firstFrequencyHz = 7265.625;
    m.band.lastFrequencyHz = 8718.75;
    m.band.representativeFrequencyHz = 8015.625;
    for (std::size_t j = 0; j < bins; ++j) {
        m.band.binIndices.push_back(155 + j);
        m.band.binFrequenciesHz.push_back((155 + j) * 46.875);
        MatrixRows rows(channels, std::vector<std::complex<double>>(channels));
        for (auto& row : rows)
            for (auto& value : row)
                value = {std::bit_cast<double>(random()), std::bit_cast<double>(random())};
        m.matrices.push_back(std::move(rows));
    }
    m.matrices[0][0][0] = {-0.0, std::numeric_limits<double>::denorm_min()};
    return m;
}

bool sameBits(const std::vector<MatrixRows>& a, const std::vector<MatrixRows>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t j = 0; j < a.size(); ++j) {
        if (a[j].size() != b[j].size()) return false;
        for (std::size_t r = 0; r < a[j].size(); ++r) {
            if (a[j][r].size() != b[j][r].size() ||
                std::memcmp(a[j][r].data(), b[j][r].data(), a[j][r].size() * sizeof(std::complex<double>)) !=
                    0)
                return false;
        }
    }
    return true;
}

TEST(DerivedMatrixKey, IsTheFnvHashOfTheTenFieldsJoinedByBars) {
    DerivedMatrixKey key = exampleKey();
    EXPECT_EQ(derivedMatrixKey(key),
              hashOf("4096|2048|1/3-octave|8000|2000|0|0123456789abcdef|fedcba9876543210|0|0"));
    key.windowFrameCount = 1;
    EXPECT_NE(derivedMatrixKey(key), derivedMatrixKey(exampleKey()));

    key.bandMode = 1;
    key.centerFrequencyHz = 1000.5;
    key.customBandwidthHz = 1.0 / 3.0;
    key.targetBinCount = 7;
    key.windowStartFrame = 48000;
    key.rawHash = "r|a\"w";
    EXPECT_EQ(derivedMatrixKey(key),
              hashOf("4096|2048|single|1000.5|0.33333333333333331|7|r|a\"w|fedcba9876543210|48000|1"));
    key.bandMode = 9;
    key.centerFrequencyHz = 0.1;
    key.customBandwidthHz = -2.5e-7;
    EXPECT_EQ(derivedMatrixKey(key), hashOf("4096|2048|unknown|0.10000000000000001|-2.4999999999999999e-07|7|"
                                            "r|a\"w|fedcba9876543210|48000|1"));

    const std::string name = derivedMatrixKey(exampleKey());
    EXPECT_EQ(derivedMatrixDataPath("/m", exampleKey()), fs::path("/m/derived/csm_" + name + ".bin"));
    EXPECT_EQ(derivedMatrixMetadataPath("/m", exampleKey()), fs::path("/m/derived/csm_" + name + ".json"));
}

class DerivedMatrixCache : public ::testing::Test {
  protected:
    fs::path dataPath() const { return derivedMatrixDataPath(folder.path(), key); }
    fs::path sidecarPath() const { return derivedMatrixMetadataPath(folder.path(), key); }
    std::string readError() {
        return test::messageOf<std::runtime_error>([&] { readDerivedMatrix(folder.path(), key); });
    }

    test::TempFolder folder;
    DerivedMatrixKey key = exampleKey();
};

TEST_F(DerivedMatrixCache, DataFileHoldsTheLayoutAndReadsBackBitForBit) {
    const BandMatrix written = randomBandMatrix(2, 3);
    writeDerivedMatrix(folder.path(), key, written);
    const std::string bytes = fileText(dataPath());
    ASSERT_EQ(bytes.size(), 328u);  // 88 + 3 x (16 + 16 x 2 x 2)
    const auto u64At = [&](std::size_t offset) {
        std::uint64_t v = 0;
        for (int i = 7; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[offset + i]);
        return v;
    };
    EXPECT_EQ(bytes.substr(0, 8), "ZKCSM001");
    EXPECT_EQ(u64At(8), 1u);
    EXPECT_EQ(u64At(16), 2u);
    EXPECT_EQ(u64At(32), written.stftFrames);
    EXPECT_EQ(std::bit_cast<double>(u64At(72)), 8015.625);
    EXPECT_EQ(u64At(80), 3u);
    EXPECT_EQ(u64At(88), 155u);
    EXPECT_EQ(u64At(104), std::bit_cast<std::uint64_t>(-0.0));  // row 0, column 0: real, then imaginary
    EXPECT_EQ(u64At(112), 1u);
    EXPECT_EQ(std::bit_cast<double>(u64At(136)), written.matrices[0][1][0].real());

    const BandMatrix read = readDerivedMatrix(folder.path(), key);
    EXPECT_TRUE(sameBits(read.matrices, written.matrices));
    EXPECT_EQ(read.band.binIndices, written.band.binIndices);
    EXPECT_EQ(read.band.binFrequenciesHz, written.band.binFrequenciesHz);
    EXPECT_EQ(read.band.lowEdgeHz, written.band.lowEdgeHz);
    EXPECT_EQ(read.band.lastFrequencyHz, written.band.lastFrequencyHz);
    EXPECT_EQ(read.inputFrames, written.inputFrames);
    EXPECT_EQ(read.band.parameters.mode, 2);  // the band's own parameters are not stored
    EXPECT_EQ(read.band.parameters.centerHz, 8000.0);

    writeText(dataPath(), bytes + "tail");  // ignored after the last bin
    EXPECT_TRUE(sameBits(readDerivedMatrix(folder.path(), key).matrices, written.matrices));
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        writeText(dataPath(), bytes.substr(0, length));
        EXPECT_EQ(readError(),
                  length < 8 ? "unsupported derived matrix format" : "truncated derived matrix data")
            << length;
    }
    fs::remove(dataPath());
    EXPECT_EQ(readError(), "cannot open derived matrix data");
}

TEST_F(DerivedMatrixCache, RefusesUnsafeHeadersBeforeAllocating) {
    writeDerivedMatrix(folder.path(), key, randomBandMatrix(2, 3));
    const std::string bytes = fileText(dataPath());
    const auto withU64 = [&](std::initializer_list<std::pair<std::size_t, std::uint64_t>> fields) {
        std::string changed = bytes;
        for (const auto& [offset, value] : fields)
            for (int i = 0; i < 8; ++i) changed[offset + i] = static_cast<char>(value >> (8 * i));
        writeText(dataPath(), changed);
        return readError();
    };
    EXPECT_EQ(withU64({{0, 0x3230304D53434B5AULL}}), "unsupported derived matrix format");  // "ZKCSM002"
    EXPECT_EQ(withU64({{8, 2}}), "unsupported derived matrix schema version");
    EXPECT_EQ(withU64({{16, 0}}), "derived matrix channel count is unsafe");
    EXPECT_EQ(withU64({{16, 4097}}), "derived matrix channel count is unsafe");
    EXPECT_EQ(withU64({{80, 0}}), "derived matrix bin count is unsafe");
    EXPECT_EQ(withU64({{80, 65537}}), "derived matrix bin count is unsafe");
    // Counts within the bounds that the file cannot hold: 4096 channels and 65536 bins are 16 PiB.
    const test::AllocationCount used = test::allocationsDuring([&] {
        EXPECT_EQ(withU64({{16, 4096}, {80, 65536}}), "truncated derived matrix data");
    });
    EXPECT_LT(used.bytes, std::uint64_t{1} << 20);
}

TEST_F(DerivedMatrixCache, SidecarIsWrittenByteForByteAndReadBack) {
    key.bandMode = 3;
    key.centerFrequencyHz = 1000.5;
    key.customBandwidthHz = 0.1;
    key.targetBinCount = 12;
    key.rawHash = "a\"b\\c";
    key.windowStartFrame = 480;
    key.windowFrameCount = 96000;
    writeDerivedMatrix(folder.path(), key, randomBandMatrix(2, 1));
    EXPECT_EQ(fileText(sidecarPath()),
              "{\n  \"schemaVersion\": 1,\n  \"frameSize\": 4096,\n  \"hopSize\": 2048,\n"
              "  \"bandMode\": \"custom\",\n  \"centerFrequencyHz\": 1000.5,\n"
              "  \"customBandwidthHz\": 0.10000000000000001,\n  \"targetBinCount\": 12,\n"
              "  \"rawHash\": \"a\\\"b\\\\c\",\n  \"profileHash\": \"fedcba9876543210\",\n"
              "  \"windowStartFrame\": 480,\n  \"windowFrameCount\": 96000,\n"
              "  \"dataHash\": \"" +
                  test::naiveFnv1a64Hex(fileText(dataPath())) + "\"\n}\n");
    const DerivedMatrixMetadata read = readDerivedMatrixMetadata(folder.path(), key);
    EXPECT_EQ(read.bandMode, "custom");
    EXPECT_EQ(read.customBandwidthHz, 0.1);
    EXPECT_EQ(read.rawHash, "a\"b\\c");
    EXPECT_EQ(read.windowStartFrame, 480u);
    EXPECT_EQ(read.windowFrameCount, 96000u);
    EXPECT_EQ(read.dataHash, test::naiveFnv1a64Hex(fileText(dataPath())));
    EXPECT_TRUE(derivedMatrixExists(folder.path(), key));
}

TEST_F(DerivedMatrixCache, ExistsOnlyForAReadableMatchingSidecarBesideTheDataFile) {
    EXPECT_FALSE(derivedMatrixExists(folder.path(), key));
    writeDerivedMatrix(folder.path(), key, randomBandMatrix(2, 1));
    ASSERT_TRUE(derivedMatrixExists(folder.path(), key));

    // A sidecar without the window members reads them as 0, blanks may follow it.
    const std::string windowless = R"({"frameSize": 4096, "hopSize": 2048, "bandMode": "1/3-octave",
        "centerFrequencyHz": 8000, "customBandwidthHz": 2000, "targetBinCount": 0,
        "rawHash": "0123456789abcdef", "profileHash": "fedcba9876543210", "dataHash": ")" +
                                   test::naiveFnv1a64Hex(fileText(dataPath())) + "\"}";
    writeText(sidecarPath(), windowless + "\n \t\r\n");
    EXPECT_EQ(readDerivedMatrixMetadata(folder.path(), key).frameSize, 4096u);
    EXPECT_TRUE(derivedMatrixExists(folder.path(), key));
    writeText(sidecarPath(), windowless + " x");
    EXPECT_EQ(test::messageOf<std::runtime_error>([&] { readDerivedMatrixMetadata(folder.path(), key); }),
              "unexpected trailing JSON content");
    EXPECT_FALSE(derivedMatrixExists(folder.path(), key));
    writeText(sidecarPath(), R"({"frameSize": 1, "hopSize": 1, "bandMode": "single", "centerFrequencyHz": 1,
        "customBandwidthHz": 1, "targetBinCount": 1, "profileHash": "p"})");
    EXPECT_EQ(test::messageOf<std::runtime_error>([&] { readDerivedMatrixMetadata(folder.path(), key); }),
              "JSON object has no key: rawHash");

    // The files of another key holding this key's sidecar: the fields decide.
    DerivedMatrixKey other = key;
    other.windowStartFrame = 5;
    writeDerivedMatrix(folder.path(), key, randomBandMatrix(2, 1));
    fs::copy_file(dataPath(), derivedMatrixDataPath(folder.path(), other));
    fs::copy_file(sidecarPath(), derivedMatrixMetadataPath(folder.path(), other));
    EXPECT_FALSE(derivedMatrixExists(folder.path(), other));

    fs::remove(dataPath());
    EXPECT_FALSE(derivedMatrixExists(folder.path(), key));
    key.centerFrequencyHz = std::numeric_limits<double>::quiet_NaN();  // never found again
    writeDerivedMatrix(folder.path(), key, randomBandMatrix(2, 1));
    EXPECT_FALSE(derivedMatrixExists(folder.path(), key));
}

TEST_F(DerivedMatrixCache, WriteRefusesInconsistentMatricesAndUnwritableFolders) {
    const auto writeError = [&](const BandMatrix& m) {
        return test::messageOf([&] { writeDerivedMatrix(folder.path(), key, m); });
    };
    EXPECT_EQ(writeError(BandMatrix{}), "derived matrix result is inconsistent");
    BandMatrix m = randomBandMatrix(2, 3);
    m.band.binIndices.pop_back();
    EXPECT_EQ(writeError(m), "derived matrix result is inconsistent");
    m = randomBandMatrix(2, 3);
    m.matrices[0].clear();
    EXPECT_EQ(writeError(m), "derived matrix channel count is zero");
    m = randomBandMatrix(2, 3);
    m.matrices[2].pop_back();
    EXPECT_EQ(writeError(m), "derived matrix size mismatch");
    m = randomBandMatrix(2, 3);
    m.matrices[1][1].push_back({});
    EXPECT_EQ(writeError(m), "derived matrix row size mismatch");
    EXPECT_TRUE(fs::is_empty(folder / "derived"));  // no file and no temporary left behind

    writeText(folder / "blocked", "");
    expectThrowExactly<std::runtime_error>(
        [&] { writeDerivedMatrix(folder / "blocked", key, randomBandMatrix(2, 1)); },
        "cannot create derived cache directory");
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// One kind of damage to a written entry of 2 channels and 3 bins (328 data bytes), what
// derivedMatrixExists then answers and what readDerivedMatrix throws.
struct EntryDamage {
    const char* name;
    std::function<void(const fs::path& data, const fs::path& sidecar)> apply;
    bool exists;
    std::string readError;
    bool hugeSparse = false;  // read in a child whose address space is capped
};

void editText(const fs::path& path, const std::string& from, const std::string& to) {
    writeText(path, replaced(fileText(path), from, to));
}

std::function<void(const fs::path&, const fs::path&)> flipDataByte(std::ptrdiff_t offset) {
    return [offset](const fs::path& data, const fs::path&) {
        std::string bytes = fileText(data);
        bytes[static_cast<std::size_t>(offset < 0 ? static_cast<std::ptrdiff_t>(bytes.size()) + offset
                                                  : offset)] ^= 0x10;
        writeText(data, bytes);
    };
}

std::function<void(const fs::path&, const fs::path&)> editSidecar(std::string from, std::string to) {
    return [from, to](const fs::path&, const fs::path& sidecar) { editText(sidecar, from, to); };
}

// The written header with other counts, and a file size that holds their records as a hole: no byte
// of the records is on disk.
std::function<void(const fs::path&, const fs::path&)> sparseData(std::uint64_t channels, std::uint64_t bins) {
    return [channels, bins](const fs::path& data, const fs::path&) {
        std::string header = fileText(data).substr(0, 88);
        for (int i = 0; i < 8; ++i) {
            header[16 + i] = static_cast<char>(channels >> (8 * i));
            header[80 + i] = static_cast<char>(bins >> (8 * i));
        }
        writeText(data, header);
        fs::resize_file(data, 88 + bins * (16 + 16 * channels * channels));
    };
}

TEST_F(DerivedMatrixCache, DamagedEntriesAreMissesAndRewritingRepairsThem) {
    const std::string mismatch = "derived matrix checksum mismatch";
    const std::vector<EntryDamage> table = {
        {"flipped byte in a matrix value", flipDataByte(88 + 16 + 5), true, mismatch},
        {"flipped byte in a bin index", flipDataByte(88), true, mismatch},
        {"flipped byte in the last value", flipDataByte(-1), true, mismatch},
        {"flipped byte in a band frequency", flipDataByte(60), true, mismatch},
        {"sidecar holding another checksum",
         [](const fs::path& data, const fs::path& sidecar) {
             editText(sidecar, naiveFnv1a64Hex(fileText(data)), "0123456789abcdef");
         },
         true, mismatch},
        {"sidecar written before the checksum",
         [](const fs::path& data, const fs::path& sidecar) {
             editText(sidecar, ",\n  \"dataHash\": \"" + naiveFnv1a64Hex(fileText(data)) + "\"", "");
         },
         false, "derived matrix checksum is missing"},
        // 4096 channels of 8 bins are 2 GiB of matrices that a 100-byte file claims to hold.
        {"sparse data beyond the memory budget", sparseData(4096, 8), true,
         "derived matrix needs more than 2 GiB of memory", true},
        // Refused before anything is allocated: the file holds no data where the header counts records.
        {"sparse data within the memory budget", sparseData(256, 16), true, "truncated derived matrix data"},
        {"negative windowStartFrame", editSidecar("\"windowStartFrame\": 0", "\"windowStartFrame\": -1"),
         false, "derived matrix windowStartFrame must be a non-negative integer"},
        {"fractional frameSize", editSidecar("\"frameSize\": 4096", "\"frameSize\": 4096.5"), false,
         "derived matrix frameSize must be a non-negative integer"},
        {"negative targetBinCount", editSidecar("\"targetBinCount\": 0", "\"targetBinCount\": -3"), false,
         "derived matrix targetBinCount must be a non-negative integer"},
        {"centerFrequencyHz beyond the double range",
         editSidecar("\"centerFrequencyHz\": 8000", "\"centerFrequencyHz\": 1e400"), false,
         "derived matrix centerFrequencyHz must be finite"},
        {"customBandwidthHz beyond the double range",
         editSidecar("\"customBandwidthHz\": 2000", "\"customBandwidthHz\": -1e400"), false,
         "derived matrix customBandwidthHz must be finite"},
    };
    const BandMatrix written = randomBandMatrix(2, 3);
    for (const EntryDamage& damage : table) {
        SCOPED_TRACE(damage.name);
        writeDerivedMatrix(folder.path(), key, written);
        damage.apply(dataPath(), sidecarPath());
        EXPECT_EQ(derivedMatrixExists(folder.path(), key), damage.exists);
        if (!damage.hugeSparse) {
            EXPECT_EQ(readError(), damage.readError);
        } else {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
            // Sanitizers reserve terabytes of shadow memory and cannot run under the cap.
#else
            const std::string outcome = test::runWithAddressSpaceLimit(std::uint64_t{4} << 30, [&] {
                std::string message;
                const test::AllocationCount used = test::allocationsDuring([&] { message = readError(); });
                return message + (used.bytes < (1u << 20) ? ", little memory" : ", much memory");
            });
            EXPECT_EQ(outcome, damage.readError + ", little memory");
#endif
        }
        // What the caller does with a miss: recompute and write the entry again.
        writeDerivedMatrix(folder.path(), key, written);
        ASSERT_TRUE(derivedMatrixExists(folder.path(), key));
        EXPECT_TRUE(sameBits(readDerivedMatrix(folder.path(), key).matrices, written.matrices));
    }
}

// An entry that exists must read back: a rewrite that fails half way leaves the old pair whole.
TEST_F(DerivedMatrixCache, FailedRewriteLeavesTheOldEntryReadable) {
    const BandMatrix old = randomBandMatrix(8, 64, 1);
    writeDerivedMatrix(folder.path(), key, old);
    BandMatrix broken = randomBandMatrix(8, 64, 2);
    broken.matrices[40][3].pop_back();
    EXPECT_EQ(test::messageOf([&] { writeDerivedMatrix(folder.path(), key, broken); }),
              "derived matrix row size mismatch");
    ASSERT_TRUE(derivedMatrixExists(folder.path(), key));
    EXPECT_TRUE(sameBits(readDerivedMatrix(folder.path(), key).matrices, old.matrices));

    // A disk that fills up during the rewrite of the 66648-byte data file.
    const BandMatrix next = randomBandMatrix(8, 64, 4);
    EXPECT_EQ(test::runWithFileSizeLimit(20000,
                                         [&] {
                                             writeDerivedMatrix(folder.path(), key, next);
                                             return std::string("written");
                                         }),
              "cannot finalize derived matrix data");
    ASSERT_TRUE(derivedMatrixExists(folder.path(), key));
    EXPECT_TRUE(sameBits(readDerivedMatrix(folder.path(), key).matrices, old.matrices));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "derived"), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace zk::core
