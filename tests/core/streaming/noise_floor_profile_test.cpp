#include "core/streaming/noise_floor_profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <limits>
#include <locale>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>

#include "allocation_counter.h"
#include "storage/other_program.h"
#include "storage/storage_test_support.h"
#include "streaming/noise_floor_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using zk::test::Complex;
using zk::test::entryNames;
using zk::test::expectThrowExactly;
using zk::test::fileText;
using zk::test::taggedProfile;
using zk::test::writeText;

const char* const kExpectedManifest =
    "{\n"
    "  \"schemaVersion\": 1,\n"
    "  \"profileHash\": \"a\\tb\\\"c\\\\d\\ne\\rf\",\n"
    "  \"sampleRateHz\": 48000,\n"
    "  \"channelCount\": 2,\n"
    "  \"fftSize\": 4,\n"
    "  \"averagedFrames\": 7,\n"
    "  \"subtractBeta\": 0.8,\n"
    "  \"psdFloor\": 1e-10,\n"
    "  \"enabled\": true,\n"
    "  \"createdAtUtc\": \"2024-05-06T07:08:09Z\",\n"
    "  \"payloadHash\": \"";

// The manifest of smallProfile, with the checksum of the payload as an independent FNV-1a gives it.
std::string expectedManifest(const fs::path& project) {
    return kExpectedManifest + zk::test::naiveFnv1a64Hex(fileText(noiseFloorPayloadPath(project))) +
           "\"\n}\n";
}

NoiseFloorProfile smallProfile() {
    NoiseFloorProfile profile = taggedProfile(2, 4, 7);
    profile.profileHash = "a\tb\"c\\d\ne\rf";
    profile.enabled = true;
    return profile;
}

// A manifest with the given members between the braces, one per line.
std::string manifestWith(const std::string& members) { return "{\n" + members + "\n}\n"; }

const std::string kRequiredMembers =
    "\"sampleRateHz\": 48000, \"channelCount\": 2, \"fftSize\": 4, \"averagedFrames\": 7, "
    "\"subtractBeta\": 0.8, \"psdFloor\": 1e-10";

void expectSameProfile(const NoiseFloorProfile& a, const NoiseFloorProfile& b) {
    EXPECT_EQ(a.profileHash, b.profileHash);
    EXPECT_EQ(a.sampleRateHz, b.sampleRateHz);
    EXPECT_EQ(a.channelCount, b.channelCount);
    EXPECT_EQ(a.fftSize, b.fftSize);
    EXPECT_EQ(a.averagedFrames, b.averagedFrames);
    EXPECT_EQ(a.subtractBeta, b.subtractBeta);
    EXPECT_EQ(a.psdFloor, b.psdFloor);
    EXPECT_EQ(a.createdAtUtc, b.createdAtUtc);
    EXPECT_EQ(a.enabled, b.enabled);
    EXPECT_EQ(a.matrices, b.matrices);
}

TEST(NoiseFloorProfileFiles, WritesTheExactManifestAndPayloadAndReadsThemBack) {
    zk::test::TempFolder project;
    const NoiseFloorProfile profile = smallProfile();
    saveNoiseFloorProfile(project.path(), profile);

    EXPECT_EQ(noiseFloorManifestPath(project.path()), project / "noise_floor" / "noise_floor.json");
    EXPECT_EQ(noiseFloorPayloadPath(project.path()), project / "noise_floor" / "noise_floor.bin");
    EXPECT_EQ(fileText(noiseFloorManifestPath(project.path())), expectedManifest(project.path()));
    EXPECT_EQ(entryNames(project / "noise_floor"),
              (std::vector<std::string>{"noise_floor.bin", "noise_floor.json"}));

    // 3 bins of 2 x 2 elements, each two little-endian float32 (real, imaginary), row by row.
    const std::string payload = fileText(noiseFloorPayloadPath(project.path()));
    ASSERT_EQ(payload.size(), 3u * 8 * 2 * 2);
    const auto floatAt = [&payload](std::size_t index) {
        std::uint32_t bits = 0;
        for (int b = 3; b >= 0; --b) bits = (bits << 8) | static_cast<unsigned char>(payload[4 * index + b]);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return static_cast<double>(value);
    };
    for (std::size_t k = 0; k < 3; ++k)
        for (std::size_t r = 0; r < 2; ++r)
            for (std::size_t c = 0; c < 2; ++c) {
                const std::size_t element = (k * 2 + r) * 2 + c;
                EXPECT_EQ(floatAt(2 * element), profile.matrices[k][r][c].real());
                EXPECT_EQ(floatAt(2 * element + 1), profile.matrices[k][r][c].imag());
            }

    EXPECT_TRUE(noiseFloorProfileExists(project.path()));
    expectSameProfile(loadNoiseFloorProfile(project.path()), profile);
}

TEST(NoiseFloorProfileFiles, NumbersIgnoreTheGlobalLocaleAndValuesAreNarrowedToFloat) {
    zk::test::TempFolder project;
    NoiseFloorProfile profile = smallProfile();
    profile.subtractBeta = 0.123456789;
    profile.psdFloor = 2.5e-7;
    profile.matrices[1][0][1] = Complex(0.1, -1.0 / 3.0);
    std::locale german;
    try {
        german = std::locale("de_DE.utf8");
    } catch (const std::runtime_error&) {
        GTEST_SKIP() << "the de_DE.utf8 locale is not installed";
    }
    const std::locale previous = std::locale::global(german);
    try {
        saveNoiseFloorProfile(project.path(), profile);
    } catch (...) {
        std::locale::global(previous);
        throw;
    }
    std::locale::global(previous);
    const std::string manifest = fileText(noiseFloorManifestPath(project.path()));
    EXPECT_NE(manifest.find("  \"subtractBeta\": 0.123457,\n  \"psdFloor\": 2.5e-07,\n"), std::string::npos)
        << manifest;
    const NoiseFloorProfile loaded = loadNoiseFloorProfile(project.path());
    EXPECT_EQ(loaded.subtractBeta, 0.123457);
    EXPECT_EQ(loaded.matrices[1][0][1], Complex(static_cast<float>(0.1), static_cast<float>(-1.0 / 3.0)));
}

TEST(NoiseFloorProfileFiles, PayloadOneByteShortIsTruncatedAndExtraBytesAreIgnored) {
    zk::test::TempFolder project;
    const NoiseFloorProfile profile = smallProfile();
    saveNoiseFloorProfile(project.path(), profile);
    const fs::path payload = noiseFloorPayloadPath(project.path());
    const std::string bytes = fileText(payload);

    writeText(payload, bytes + "extra");
    expectSameProfile(loadNoiseFloorProfile(project.path()), profile);
    writeText(payload, bytes.substr(0, bytes.size() - 1));
    expectThrowExactly<std::runtime_error>([&] { loadNoiseFloorProfile(project.path()); },
                                           "noise floor payload is truncated");
}

TEST(NoiseFloorProfileFiles, ManifestKeysAndTypesFollowTheReader) {
    zk::test::TempFolder project;
    saveNoiseFloorProfile(project.path(), smallProfile());
    const fs::path manifest = noiseFloorManifestPath(project.path());
    const auto loadWith = [&](const std::string& members) {
        writeText(manifest, manifestWith(members));
        return loadNoiseFloorProfile(project.path());
    };

    // Without the optional keys: enabled false and empty texts.
    const NoiseFloorProfile bare = loadWith(kRequiredMembers);
    EXPECT_FALSE(bare.enabled);
    EXPECT_EQ(bare.profileHash, "");
    EXPECT_EQ(bare.createdAtUtc, "");
    EXPECT_EQ(bare.averagedFrames, 7u);

    expectThrowExactly<std::runtime_error>([&] { loadWith(kRequiredMembers + ", \"enabled\": 1"); },
                                           "JSON value is not a bool");
    expectThrowExactly<std::runtime_error>([&] { loadWith(kRequiredMembers + ", \"profileHash\": 5"); },
                                           "JSON value is not a string");
    expectThrowExactly<std::runtime_error>(
        [&] { loadWith("\"sampleRateHz\": \"48000\", " + kRequiredMembers.substr(23)); },
        "JSON value is not a number");
    expectThrowExactly<std::runtime_error>(
        [&] {
            loadWith(
                "\"sampleRateHz\": 48000, \"channelCount\": 2, \"averagedFrames\": 7, "
                "\"subtractBeta\": 0.8, \"psdFloor\": 1e-10");
        },
        "JSON object has no key: fftSize");
    expectThrowExactly<std::runtime_error>(
        [&] {
            loadWith(
                "\"sampleRateHz\": 48000, \"channelCount\": 2, \"fftSize\": 4, \"averagedFrames\": 0, "
                "\"subtractBeta\": 0.8, \"psdFloor\": 1e-10");
        },
        "noise floor profile failed validation");
    // Counts are whole: 2.9 channels cannot have been written.
    expectThrowExactly<std::runtime_error>([&] { loadWith("\"channelCount\": 2.9, " + kRequiredMembers); },
                                           "noise floor channelCount must be a non-negative integer");
}

// Counts that no array has must fail at once, before the payload could size an allocation: with the
// payload read as written, the largest accepted counts ask for 32769 x 1024^2 matrix elements.
TEST(NoiseFloorProfileFiles, HostileCountsFailBeforeAnythingIsAllocated) {
    zk::test::TempFolder project;
    saveNoiseFloorProfile(project.path(), smallProfile());
    const fs::path manifest = noiseFloorManifestPath(project.path());
    const auto withCounts = [&](const std::string& channels, const std::string& fft) {
        writeText(manifest,
                  manifestWith("\"sampleRateHz\": 48000, \"channelCount\": " + channels + ", \"fftSize\": " +
                               fft + ", \"averagedFrames\": 7, \"subtractBeta\": 0.8, \"psdFloor\": 1e-10"));
    };
    const std::string channelText = "noise floor channelCount must be at most 1024";
    const std::string fftText = "noise floor fftSize must be a power of two up to 65536";
    for (const auto& [channels, fft, text] :
         {std::tuple{"1025", "4", channelText}, std::tuple{"1e12", "4", channelText},
          std::tuple{"-1", "4", std::string("noise floor channelCount must be a non-negative integer")},
          std::tuple{"2", "131072", fftText}, std::tuple{"2", "1000", fftText},
          std::tuple{"2", "-4", std::string("noise floor fftSize must be a non-negative integer")}}) {
        withCounts(channels, fft);
        expectThrowExactly<std::runtime_error>([&] { loadNoiseFloorProfile(project.path()); }, text);
    }
    // In a child whose address space is capped, so that a regression fails there with bad_alloc
    // instead of driving the machine out of memory. Sanitizers reserve terabytes of shadow memory and
    // cannot run under such a cap; the plain build covers this case.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the largest counts run only without sanitizers";
#else
    withCounts("1024", "65536");
    const std::string outcome = zk::test::runWithAddressSpaceLimit(std::uint64_t{4} << 30, [&] {
        std::string message;
        const auto used = zk::test::allocationsDuring([&] {
            try {
                loadNoiseFloorProfile(project.path());
            } catch (const std::exception& e) {
                message = e.what();
            }
        });
        return message + (used.bytes < (1u << 20) ? ", little memory" : ", much memory");
    });
    EXPECT_EQ(outcome, "noise floor payload is truncated, little memory");
#endif
}

// One kind of damage to the saved pair of smallProfile and what the load then throws (empty: it loads
// the saved profile).
struct PairDamage {
    const char* name;
    std::function<void(const fs::path& manifest, const fs::path& payload)> apply;
    std::string loadError;
    bool hugeSparse = false;  // loaded in a child whose address space is capped
};

void editText(const fs::path& path, const std::string& from, const std::string& to) {
    std::string text = fileText(path);
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    writeText(path, text.replace(at, from.size(), to));
}

std::function<void(const fs::path&, const fs::path&)> editManifest(std::string from, std::string to) {
    return [from, to](const fs::path& manifest, const fs::path&) { editText(manifest, from, to); };
}

std::function<void(const fs::path&, const fs::path&)> flipPayloadByte(std::size_t offset) {
    return [offset](const fs::path&, const fs::path& payload) {
        std::string bytes = fileText(payload);
        bytes[offset] ^= 0x01;
        writeText(payload, bytes);
    };
}

// Counts the manifest declares, with a payload whose apparent size holds them and nothing on disk.
std::function<void(const fs::path&, const fs::path&)> sparsePayload(std::uint64_t channels,
                                                                    std::uint64_t fft) {
    return [channels, fft](const fs::path& manifest, const fs::path& payload) {
        editText(manifest, "\"channelCount\": 2,", "\"channelCount\": " + std::to_string(channels) + ",");
        editText(manifest, "\"fftSize\": 4,", "\"fftSize\": " + std::to_string(fft) + ",");
        writeText(payload, "");
        fs::resize_file(payload, (fft / 2 + 1) * 8 * channels * channels);
    };
}

TEST(NoiseFloorProfileFiles, DamagedPairsFailWithTheirTextAndOlderManifestsStillLoad) {
    const std::string mismatch = "noise floor payload checksum mismatch";
    const std::vector<PairDamage> table = {
        {"flipped byte in the first value", flipPayloadByte(1), mismatch},
        {"flipped byte in the last bin", flipPayloadByte(3 * 8 * 2 * 2 - 1), mismatch},
        {"manifest holding another checksum",
         [](const fs::path& manifest, const fs::path& payload) {
             editText(manifest, zk::test::naiveFnv1a64Hex(fileText(payload)), "0123456789abcdef");
         },
         mismatch},
        {"manifest written before the checksum",
         [](const fs::path& manifest, const fs::path& payload) {
             editText(manifest,
                      ",\n  \"payloadHash\": \"" + zk::test::naiveFnv1a64Hex(fileText(payload)) + "\"", "");
         },
         ""},
        // 1024 channels at FFT 65536 are a 256 GiB payload that takes no byte on disk.
        {"sparse payload beyond the memory budget", sparsePayload(1024, 65536),
         "noise floor needs more than 2 GiB of memory", true},
        // Refused before anything is allocated: the file holds no data where the header counts bins.
        {"sparse payload within the memory budget", sparsePayload(64, 1024),
         "noise floor payload is truncated"},
        {"negative averagedFrames", editManifest("\"averagedFrames\": 7", "\"averagedFrames\": -7"),
         "noise floor averagedFrames must be a non-negative integer"},
        {"fractional averagedFrames", editManifest("\"averagedFrames\": 7", "\"averagedFrames\": 7.5"),
         "noise floor averagedFrames must be a non-negative integer"},
        {"negative sampleRateHz", editManifest("\"sampleRateHz\": 48000", "\"sampleRateHz\": -48000"),
         "noise floor sampleRateHz must be a non-negative integer"},
        {"sampleRateHz beyond 32 bits", editManifest("\"sampleRateHz\": 48000", "\"sampleRateHz\": 5e9"),
         "noise floor sampleRateHz must be at most 4294967295"},
        {"subtractBeta beyond the double range",
         editManifest("\"subtractBeta\": 0.8", "\"subtractBeta\": 1e400"),
         "noise floor subtractBeta must be finite"},
        {"psdFloor beyond the double range", editManifest("\"psdFloor\": 1e-10", "\"psdFloor\": -1e400"),
         "noise floor psdFloor must be finite"},
    };
    for (const PairDamage& damage : table) {
        SCOPED_TRACE(damage.name);
        zk::test::TempFolder project;
        const NoiseFloorProfile saved = smallProfile();
        saveNoiseFloorProfile(project.path(), saved);
        damage.apply(noiseFloorManifestPath(project.path()), noiseFloorPayloadPath(project.path()));
        const auto load = [&] { return loadNoiseFloorProfile(project.path()); };
        if (damage.loadError.empty()) {
            expectSameProfile(load(), saved);
        } else if (!damage.hugeSparse) {
            expectThrowExactly<std::runtime_error>(load, damage.loadError);
        } else {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
            // Sanitizers reserve terabytes of shadow memory and cannot run under the cap.
#else
            const std::string outcome = zk::test::runWithAddressSpaceLimit(std::uint64_t{4} << 30, [&] {
                std::string message;
                const auto used = zk::test::allocationsDuring([&] {
                    try {
                        load();
                    } catch (const std::exception& e) {
                        message = e.what();
                    }
                });
                return message + (used.bytes < (1u << 20) ? ", little memory" : ", much memory");
            });
            EXPECT_EQ(outcome, damage.loadError + ", little memory");
#endif
        }
    }

    // Switching an older noise floor on or off keeps it older: its payload is not read to checksum it.
    zk::test::TempFolder project;
    saveNoiseFloorProfile(project.path(), smallProfile());
    const fs::path manifest = noiseFloorManifestPath(project.path());
    editText(manifest,
             ",\n  \"payloadHash\": \"" +
                 zk::test::naiveFnv1a64Hex(fileText(noiseFloorPayloadPath(project.path()))) + "\"",
             "");
    const std::string older = fileText(manifest);
    rewriteNoiseFloorManifestEnabled(project.path(), true);
    EXPECT_EQ(fileText(manifest), older);
}

TEST(NoiseFloorProfileFiles, MissingFilesAndExistence) {
    zk::test::TempFolder project;
    EXPECT_FALSE(noiseFloorProfileExists(project.path()));
    expectThrowExactly<std::runtime_error>([&] { loadNoiseFloorProfile(project.path()); },
                                           "noise floor manifest is missing");
    saveNoiseFloorProfile(project.path(), smallProfile());
    const fs::path manifest = noiseFloorManifestPath(project.path());
    const fs::path payload = noiseFloorPayloadPath(project.path());
    const std::string manifestBytes = fileText(manifest);

    fs::remove(payload);
    EXPECT_FALSE(noiseFloorProfileExists(project.path()));
    expectThrowExactly<std::runtime_error>([&] { loadNoiseFloorProfile(project.path()); },
                                           "noise floor payload is missing");
    fs::remove(manifest);
    writeText(payload, "");
    EXPECT_FALSE(noiseFloorProfileExists(project.path()));
    expectThrowExactly<std::runtime_error>([&] { loadNoiseFloorProfile(project.path()); },
                                           "noise floor manifest is missing");
    // Any kind of entry counts for existence; one that cannot be read is not called missing.
    fs::create_directory(manifest);
    EXPECT_TRUE(noiseFloorProfileExists(project.path()));
    expectThrowExactly<std::runtime_error>([&] { loadNoiseFloorProfile(project.path()); },
                                           "noise floor manifest cannot be read");
    fs::remove(manifest);
    writeText(manifest, manifestBytes);
    fs::remove(payload);
    ASSERT_EQ(::mkfifo(payload.c_str(), 0600), 0);
    expectThrowExactly<std::runtime_error>([&] { loadNoiseFloorProfile(project.path()); },
                                           "noise floor payload cannot be read");
}

TEST(NoiseFloorProfileFiles, InvalidProfilesAreRefusedBeforeTheDiskIsTouched) {
    zk::test::TempFolder parent;
    const fs::path project = parent / "project";
    std::vector<NoiseFloorProfile> invalid;
    invalid.push_back(taggedProfile(2, 4, 0));  // averagedFrames 0
    invalid.push_back(taggedProfile(2, 4, 3));
    invalid.back().matrices.pop_back();
    invalid.push_back(taggedProfile(2, 4, 3));
    invalid.back().matrices[2][1].pop_back();  // a short row would be read past its end
    invalid.push_back(taggedProfile(0, 4, 3));
    for (const NoiseFloorProfile& profile : invalid) {
        expectThrowExactly<std::invalid_argument>([&] { saveNoiseFloorProfile(project, profile); },
                                                  "cannot persist an invalid noise floor");
    }
    NoiseFloorProfile notFinite = taggedProfile(2, 4, 3);
    notFinite.psdFloor = std::numeric_limits<double>::infinity();
    expectThrowExactly<std::invalid_argument>([&] { saveNoiseFloorProfile(project, notFinite); },
                                              "psdFloor must be finite");
    EXPECT_FALSE(fs::exists(project));
}

TEST(NoiseFloorProfileFiles, RewriteChangesOnlyEnabled) {
    zk::test::TempFolder project;
    saveNoiseFloorProfile(project.path(), smallProfile());
    const std::string payload = fileText(noiseFloorPayloadPath(project.path()));
    const auto payloadTime = fs::last_write_time(noiseFloorPayloadPath(project.path()));

    rewriteNoiseFloorManifestEnabled(project.path(), false);
    std::string expected = expectedManifest(project.path());
    expected.replace(expected.find("\"enabled\": true"), 15, "\"enabled\": false");
    EXPECT_EQ(fileText(noiseFloorManifestPath(project.path())), expected);
    rewriteNoiseFloorManifestEnabled(project.path(), true);
    EXPECT_EQ(fileText(noiseFloorManifestPath(project.path())), expectedManifest(project.path()));
    EXPECT_EQ(fileText(noiseFloorPayloadPath(project.path())), payload);
    EXPECT_EQ(fs::last_write_time(noiseFloorPayloadPath(project.path())), payloadTime);
    EXPECT_EQ(entryNames(project / "noise_floor"),
              (std::vector<std::string>{"noise_floor.bin", "noise_floor.json"}));

    writeText(noiseFloorManifestPath(project.path()), manifestWith(kRequiredMembers + ", \"enabled\": 1"));
    expectThrowExactly<std::runtime_error>([&] { rewriteNoiseFloorManifestEnabled(project.path(), true); },
                                           "JSON value is not a bool");
    zk::test::TempFolder empty;
    expectThrowExactly<std::runtime_error>([&] { rewriteNoiseFloorManifestEnabled(empty.path(), true); },
                                           "noise floor manifest is missing");
}

// A disk that fills up during a save must leave the old pair whole, not a truncated payload.
TEST(NoiseFloorProfileFiles, FullDiskKeepsTheOldPair) {
    zk::test::TempFolder project;
    saveNoiseFloorProfile(project.path(), taggedProfile(4, 64, 1));
    const std::string result = zk::test::runWithFileSizeLimit(2000, [&] {
        saveNoiseFloorProfile(project.path(), taggedProfile(4, 64, 2));
        return std::string("saved");
    });
    EXPECT_EQ(result, "failed to write noise floor payload");
    const NoiseFloorProfile loaded = loadNoiseFloorProfile(project.path());
    EXPECT_EQ(loaded.averagedFrames, 1u);
    EXPECT_TRUE(zk::test::matricesMatchTag(loaded));
    EXPECT_EQ(entryNames(project.path()), (std::vector<std::string>{".noise_floor.lock", "noise_floor"}));
}

// What a crashed save leaves beside the pair is cleared by the next save and never read by a load.
TEST(NoiseFloorProfileFiles, LeftoversOfACrashedSaveDoNotTripTheNextOne) {
    zk::test::TempFolder project;
    saveNoiseFloorProfile(project.path(), taggedProfile(2, 8, 1));
    for (const char* leftover : {".noise_floor.staging", ".noise_floor.retired"}) {
        fs::create_directories(project / leftover);
        writeText(project / leftover / "noise_floor.json", "{");
        writeText(project / leftover / "noise_floor.bin", "x");
    }
    EXPECT_EQ(loadNoiseFloorProfile(project.path()).averagedFrames, 1u);
    saveNoiseFloorProfile(project.path(), taggedProfile(2, 8, 2));
    EXPECT_EQ(loadNoiseFloorProfile(project.path()).averagedFrames, 2u);
    EXPECT_EQ(entryNames(project.path()), (std::vector<std::string>{".noise_floor.lock", "noise_floor"}));
}

// The savers' lock file is the Project's whatever stands at its name: made with the umask's
// permissions like every other file (so each user of a shared Project can take it), a folder there is
// locked as it is, and a link there is replaced, never followed out of the Project. A save another
// program holds refuses once its wait is over and changes nothing.
TEST(NoiseFloorProfileFiles, TheLockFileIsMadeInTheProjectWhateverStandsAtItsName) {
    struct Case {
        const char* name;
        const char* outside;  // the file a link names, before and after; null: none, ever
        bool folder;
        fs::file_type type;  // of the entry at the lock's name after the save
    };
    const Case cases[] = {
        {"nothing", nullptr, false, fs::file_type::regular},
        {"a folder", nullptr, true, fs::file_type::directory},
        {"a dangling link", nullptr, false, fs::file_type::regular},
        {"a link to a file outside", "not the Project's", false, fs::file_type::regular},
    };
    for (const Case& c : cases) {
        zk::test::TempFolder project;
        zk::test::TempFolder elsewhere;
        const fs::path lock = project / ".noise_floor.lock";
        const fs::path target = elsewhere / "target";
        if (c.folder) fs::create_directory(lock);
        if (c.outside != nullptr) writeText(target, c.outside);
        if (std::string_view(c.name).find("link") != std::string_view::npos) fs::create_symlink(target, lock);
        const ::mode_t umask = ::umask(002);
        saveNoiseFloorProfile(project.path(), taggedProfile(2, 8, 3), std::chrono::milliseconds(0));
        rewriteNoiseFloorManifestEnabled(project.path(), false, std::chrono::milliseconds(0));
        ::umask(umask);
        EXPECT_EQ(loadNoiseFloorProfile(project.path()).averagedFrames, 3u) << c.name;
        EXPECT_EQ(fs::symlink_status(lock).type(), c.type) << c.name;
        if (c.type == fs::file_type::regular) {
            EXPECT_EQ(fs::status(lock).permissions(), fs::perms(0664)) << c.name;
        }
        // Nothing made or changed outside the Project.
        EXPECT_EQ(fs::exists(target) ? fileText(target) : "", c.outside != nullptr ? c.outside : "")
            << c.name;
        EXPECT_EQ(fs::exists(target), c.outside != nullptr) << c.name;
    }
    {
        // A folder that takes no locks saves unguarded, as every other entry there.
        zk::test::TempFolder unguarded;
        const zk::test::LocksFail noLocks;
        saveNoiseFloorProfile(unguarded.path(), taggedProfile(2, 8, 3), std::chrono::milliseconds(0));
        EXPECT_EQ(loadNoiseFloorProfile(unguarded.path()).averagedFrames, 3u);
    }

    zk::test::TempFolder project;
    saveNoiseFloorProfile(project.path(), taggedProfile(2, 8, 1));
    zk::test::OtherProgram saver(
        [&] {
            auto* held = new EntryLock;  // held until the child ends
            if (EntryLock::take(project / ".noise_floor.lock", *held) != EntryLock::Take::Taken)
                throw std::runtime_error("not taken");
        },
        zk::test::OtherProgram::After::Stop);
    ASSERT_TRUE(saver.ready());
    const std::string manifest = fileText(noiseFloorManifestPath(project.path()));
    for (const std::chrono::milliseconds wait :
         {std::chrono::milliseconds(0), std::chrono::milliseconds(30)}) {
        expectThrowExactly<EntryUnavailable>(
            [&] { saveNoiseFloorProfile(project.path(), taggedProfile(2, 8, 2), wait); },
            "another program is saving the noise floor");
        expectThrowExactly<EntryUnavailable>(
            [&] { rewriteNoiseFloorManifestEnabled(project.path(), false, wait); },
            "another program is saving the noise floor");
    }
    EXPECT_EQ(fileText(noiseFloorManifestPath(project.path())), manifest);
    EXPECT_EQ(entryNames(project.path()), (std::vector<std::string>{".noise_floor.lock", "noise_floor"}));

    // A Project another program deleted is never made again.
    expectThrowExactly<EntryUnavailable>(
        [&] { saveNoiseFloorProfile(project / "deleted", taggedProfile(2, 8, 2)); },
        "the Project no longer exists");
    EXPECT_FALSE(fs::exists(project / "deleted"));
}

// Loads running beside two saving threads see one whole profile each time, its manifest with its own
// payload; the savers wait for each other instead of sharing a staging directory.
TEST(NoiseFloorProfileFiles, ConcurrentSavesAndLoadsNeverMixPairs) {
    zk::test::TempFolder project;
    saveNoiseFloorProfile(project.path(), taggedProfile(3, 32, 1));
    std::atomic<bool> saving{true};  // cleared by the test thread once both savers have finished
    std::atomic<int> loads{0};       // loads the reader thread completed
    std::atomic<int> faults{0};      // loads that failed or came back mixed, saves that threw
    std::thread reader([&] {
        while (saving.load()) {
            try {
                const NoiseFloorProfile profile = loadNoiseFloorProfile(project.path());
                if (!zk::test::matricesMatchTag(profile) ||
                    profile.profileHash != "hash-" + std::to_string(profile.averagedFrames))
                    faults.fetch_add(1);
            } catch (const std::exception&) {
                faults.fetch_add(1);
            }
            loads.fetch_add(1);
        }
    });
    const auto saver = [&](std::uint64_t firstTag) {
        try {
            for (std::uint64_t tag = firstTag; tag < firstTag + 20; ++tag) {
                saveNoiseFloorProfile(project.path(), taggedProfile(3, 32, tag));
                rewriteNoiseFloorManifestEnabled(project.path(), tag % 2 == 0);
            }
        } catch (const std::exception&) {
            faults.fetch_add(1);
        }
    };
    std::thread first(saver, 2);
    std::thread second(saver, 100);
    first.join();
    second.join();
    saving.store(false);
    reader.join();
    EXPECT_EQ(faults.load(), 0) << "of " << loads.load() << " loads";
    EXPECT_GT(loads.load(), 0);
}

}  // namespace
}  // namespace zk::core
