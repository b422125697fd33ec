// Device profile import through the profile store, and the profile information properties.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointF>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUuid>
#include <atomic>
#include <string>
#include <thread>

#include "app/ui_controller.h"
#include "app_test_support.h"
#include "core/storage/fnv1a.h"

namespace zk::app::test {
namespace {

using ProfileImport = ControllerSettingsTest;

QJsonObject readJson(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QJsonDocument::fromJson(file.readAll()).object();
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

// Writes the JSON under a name no other test process uses, so copies into the shared store never meet.
QString writeProfile(const QTemporaryDir& dir, const QJsonObject& profile) {
    const QString path = dir.filePath(
        QStringLiteral("test-%1.device.json").arg(QUuid::createUuid().toString(QUuid::WithoutBraces)));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(profile).toJson());
    return path;
}

QString lastEventText(const UiController& ui) { return ui.eventLog().back().mid(10); }

// Plays the writer of a named pipe: whenever a reader waits in its open, it opens and closes the write
// end, so an import that opened the pipe ends at once (at end of file) instead of hanging, and is seen.
class PipeWriterWatch {
  public:
    explicit PipeWriterWatch(const QString& pipe)
        : thread_([this, path = pipe.toStdString()](std::stop_token stop) {
              while (!stop.stop_requested()) {
                  const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                  if (fd >= 0) {
                      opened_.store(true);
                      ::close(fd);
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
          }) {}
    bool readerOpened() const { return opened_.load(); }

  private:
    std::atomic<bool> opened_{false};  // set by the watch thread, read by the test after the import
    std::jthread thread_;
};

TEST_F(ProfileImport, TheShippedProfileBecomesLiveFromItsStoreCopy) {
    UiController ui;
    QSignalSpy state(&ui, &UiController::uiStateChanged);
    QSignalSpy path(&ui, &UiController::profilePathChanged);
    QSignalSpy info(&ui, &UiController::profileInfoChanged);
    const QString source = shippedProfile("TM27-128-H1.6.2.device.json");
    ui.importProfile(source);

    const QJsonObject json = readJson(source);
    const QJsonObject device = json.value(QStringLiteral("device")).toObject();
    EXPECT_EQ(ui.profileInfo(), QStringLiteral("%1 | %2 logical / %3 wire | %4\u00a0Hz")
                                    .arg(json.value(QStringLiteral("profileId")).toString())
                                    .arg(device.value(QStringLiteral("channelCount")).toInt())
                                    .arg(device.value(QStringLiteral("wireChannelCount")).toInt())
                                    .arg(device.value(QStringLiteral("sampleRateHz")).toInt()));
    EXPECT_TRUE(ui.hasProfile());
    EXPECT_EQ(ui.sessionState(), QStringLiteral("Ready"));
    EXPECT_TRUE(ui.canImportProfile());
    EXPECT_EQ(state.count(), 1);
    EXPECT_EQ(path.count(), 1);
    EXPECT_EQ(info.count(), 1);

    // The path in use is the store's copy, byte for byte the source, and it is remembered.
    EXPECT_EQ(ui.profilesDir(), QCoreApplication::applicationDirPath() + QStringLiteral("/profiles"));
    EXPECT_EQ(QFileInfo(ui.profilePath()).absolutePath(), QDir(ui.profilesDir()).absolutePath());
    EXPECT_EQ(readBytes(ui.profilePath()), readBytes(source));
    EXPECT_EQ(QSettings().value(QStringLiteral("profilePath")).toString(), ui.profilePath());
    EXPECT_EQ(ui.activeProfileHash(),
              QString::fromStdString(core::formatHash64(core::fnv1a64(
                  readBytes(source).constData(), static_cast<std::size_t>(readBytes(source).size())))));

    const QJsonObject camera = json.value(QStringLiteral("camera")).toObject();
    const QJsonObject resolution = camera.value(QStringLiteral("resolution")).toObject();
    const int width = resolution.value(QStringLiteral("width")).toInt();
    const int height = resolution.value(QStringLiteral("height")).toInt();
    EXPECT_EQ(ui.profileCameraResolution(), QStringLiteral("%1x%2").arg(width).arg(height));
    EXPECT_DOUBLE_EQ(ui.profileCameraAspect(), static_cast<double>(width) / height);

    const QJsonArray mics =
        json.value(QStringLiteral("array")).toObject().value(QStringLiteral("microphones")).toArray();
    const QVariantList geometry = ui.profileGeometry();
    ASSERT_EQ(geometry.size(), mics.size());
    for (qsizetype i = 0; i < mics.size(); ++i) {
        const QJsonObject mic = mics[i].toObject();
        const QPointF point = geometry[i].toPointF();
        EXPECT_DOUBLE_EQ(point.x(), mic.value(QStringLiteral("x")).toDouble()) << i;
        EXPECT_DOUBLE_EQ(point.y(), mic.value(QStringLiteral("y")).toDouble()) << i;
    }

    ASSERT_NE(ui.activeProfile(), nullptr);
    EXPECT_EQ(ui.activeProfile()->channelCount, static_cast<std::uint32_t>(mics.size()));
    EXPECT_EQ(ui.statusText(), QStringLiteral("Device Profile validated; system ready to start"));
    EXPECT_EQ(lastEventText(ui), ui.statusText());
    const QString trail = ui.diagnosticsLog().back().mid(10);
    EXPECT_TRUE(trail.startsWith(QStringLiteral("profile import ok in "))) << trail.toStdString();
    EXPECT_TRUE(trail.endsWith(QStringLiteral(" ms: ") + ui.profilePath())) << trail.toStdString();
}

TEST_F(ProfileImport, AQuotedPathWithBlanksImports) {
    UiController ui;
    ui.importProfile(QStringLiteral("  \" \"%1\" \"  ").arg(shippedProfile("small-4.device.json")));
    EXPECT_TRUE(ui.hasProfile());
    EXPECT_TRUE(ui.profileInfo().startsWith(QStringLiteral("SMALL-4 | 4 logical / 4 wire | 16000\u00a0Hz")));
    EXPECT_EQ(ui.profileCameraResolution(), QString());  // no camera calibration
    EXPECT_EQ(ui.profileCameraAspect(), 0.0);
}

TEST_F(ProfileImport, AnEmptyPathDoesNothing) {
    UiController ui;
    const QStringList before = ui.diagnosticsLog();
    ui.importProfile(QStringLiteral("   "));
    ui.importProfile(QStringLiteral("\"\""));
    EXPECT_EQ(ui.diagnosticsLog(), before);
    EXPECT_FALSE(ui.hasProfile());
}

TEST_F(ProfileImport, BrokenFilesAreReportedAndLeaveTheSessionWithoutAProfile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString notJson = dir.filePath(QStringLiteral("broken.device.json"));
    {
        QFile file(notJson);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("this is { not json");
    }
    QJsonObject noChannels = readJson(shippedProfile("small-4.device.json"));
    QJsonObject device = noChannels.value(QStringLiteral("device")).toObject();
    device.insert(QStringLiteral("channelCount"), 0);
    noChannels.insert(QStringLiteral("device"), device);
    const QString invalid = writeProfile(dir, noChannels);

    for (const QString& path : {notJson, invalid, dir.filePath(QStringLiteral("missing.device.json"))}) {
        UiController ui;
        QSignalSpy state(&ui, &UiController::uiStateChanged);
        ui.importProfile(path);
        EXPECT_FALSE(ui.hasProfile()) << path.toStdString();
        EXPECT_EQ(ui.sessionState(), QStringLiteral("NoProfile"));
        EXPECT_EQ(state.count(), 0);
        EXPECT_EQ(ui.profilePath(), QString());
        EXPECT_EQ(ui.profileInfo(), QString());
        EXPECT_TRUE(ui.statusText().startsWith(QStringLiteral("Profile validation failed: ")))
            << ui.statusText().toStdString();
        EXPECT_GT(ui.statusText().size(), QStringLiteral("Profile validation failed: ").size());
        EXPECT_EQ(lastEventText(ui), ui.statusText());
        EXPECT_TRUE(
            ui.diagnosticsLog().back().mid(10).startsWith(QStringLiteral("profile import failed in ")));
        EXPECT_FALSE(QSettings().contains(QStringLiteral("profilePath")));
    }
    UiController ui;
    ui.importProfile(dir.filePath(QStringLiteral("missing.device.json")));
    EXPECT_EQ(ui.statusText(), QStringLiteral("Profile validation failed: cannot open Device Profile"));
}

// The parser takes the coefficient (a stored Measurement must still read), the import does not.
TEST_F(ProfileImport, AFirCoefficientOutsideTheSigned32BitRangeIsRefused) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QJsonObject profile = readJson(shippedProfile("small-4.device.json"));
    const auto withCoefficient = [&profile](double value) {
        QJsonObject preset{{QStringLiteral("id"), QStringLiteral("p")},
                           {QStringLiteral("bandLowHz"), 10},
                           {QStringLiteral("bandHighHz"), 20},
                           {QStringLiteral("factory"), true},
                           {QStringLiteral("coefficients"), QJsonArray{3, value}}};
        profile.insert(QStringLiteral("fir"), QJsonObject{{QStringLiteral("sampleRateHz"), 16000},
                                                          {QStringLiteral("taps"), 2},
                                                          {QStringLiteral("presets"), QJsonArray{preset}}});
        return profile;
    };
    UiController ui;
    ui.importProfile(writeProfile(dir, withCoefficient(4294967297.0)));
    EXPECT_FALSE(ui.hasProfile());
    EXPECT_EQ(
        ui.statusText(),
        QStringLiteral("Profile validation failed: FIR preset coefficient outside the signed 32-bit range"));
    ui.importProfile(writeProfile(dir, withCoefficient(-2147483648.0)));
    EXPECT_TRUE(ui.hasProfile()) << ui.statusText().toStdString();
}

TEST_F(ProfileImport, AFailedImportKeepsThePreviousProfile) {
    QTemporaryDir dir;
    UiController ui;
    importShippedProfile(ui, "small-4.device.json");
    const QString pathBefore = ui.profilePath();
    const QString infoBefore = ui.profileInfo();
    ui.importProfile(dir.filePath(QStringLiteral("missing.device.json")));
    EXPECT_TRUE(ui.hasProfile());
    EXPECT_EQ(ui.profilePath(), pathBefore);
    EXPECT_EQ(ui.profileInfo(), infoBefore);
    EXPECT_EQ(ui.sessionState(), QStringLiteral("Ready"));
}

TEST_F(ProfileImport, ALowerSampleRateLimitsTheFrequencyAndTheBandwidth) {
    QTemporaryDir dir;
    QJsonObject profile = readJson(shippedProfile("small-4.device.json"));  // 16000 Hz
    QSettings().setValue(QStringLiteral("frequency"), 10000.0);
    QSettings().setValue(QStringLiteral("bandwidthHz"), 30000.0);
    UiController ui;
    QSignalSpy frequency(&ui, &UiController::frequencyChanged);
    QSignalSpy band(&ui, &UiController::frequencyBandChanged);
    ui.importProfile(writeProfile(dir, profile));
    // The bin below Nyquist: a real signal has no power on the Nyquist bin itself.
    EXPECT_EQ(ui.frequency(), 7984.375);
    EXPECT_EQ(QSettings().value(QStringLiteral("frequency")).toDouble(), 7984.375);
    EXPECT_EQ(ui.bandwidthHz(), 16000.0);
    EXPECT_EQ(frequency.count(), 1);
    EXPECT_EQ(band.count(), 1);
    QFile::remove(ui.profilePath());
}

TEST_F(ProfileImport, WritingTheProfilePathStoresItsAbsoluteFormWithoutImporting) {
    UiController ui;
    QSignalSpy path(&ui, &UiController::profilePathChanged);
    ui.setProperty("profilePath", QStringLiteral("some/relative.device.json"));
    const QString absolute = QDir::current().absoluteFilePath(QStringLiteral("some/relative.device.json"));
    EXPECT_EQ(ui.profilePath(), absolute);
    EXPECT_EQ(QSettings().value(QStringLiteral("profilePath")).toString(), absolute);
    EXPECT_FALSE(ui.hasProfile());
    ui.setProperty("profilePath", absolute);
    EXPECT_EQ(path.count(), 1);
}

TEST_F(ProfileImport, ATakenStoreNameGetsANumberedCopy) {
    QTemporaryDir first;
    QTemporaryDir second;
    QJsonObject profile = readJson(shippedProfile("small-4.device.json"));
    const QString a = writeProfile(first, profile);
    profile.insert(QStringLiteral("profileId"), QStringLiteral("SMALL-4-B"));
    const QString b = second.filePath(QFileInfo(a).fileName());
    {
        QFile file(b);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(profile).toJson());
    }
    UiController ui;
    ui.importProfile(a);
    const QString storedA = ui.profilePath();
    ui.importProfile(b);
    EXPECT_NE(ui.profilePath(), storedA);
    EXPECT_EQ(readBytes(ui.profilePath()), readBytes(b));
    EXPECT_EQ(readBytes(storedA), readBytes(a));
    EXPECT_TRUE(ui.profileInfo().startsWith(QStringLiteral("SMALL-4-B | ")));
    QFile::remove(storedA);
    QFile::remove(ui.profilePath());
}

TEST_F(ProfileImport, OnlyRegularFilesUpToFourMebibytesAreRead) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pipe = dir.filePath(QStringLiteral("pipe.device.json"));
    ASSERT_EQ(::mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    const QString large = dir.filePath(QStringLiteral("large.device.json"));
    {
        QFile file(large);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize((qint64{4} << 20) + 1));
    }
    const QString notRegular =
        QStringLiteral("Profile validation failed: Device Profile is not a regular file");
    const struct {
        QString path;
        QString message;
    } rows[] = {
        {pipe, notRegular},
        {QStringLiteral("/dev/zero"), notRegular},  // a device that never ends
        {dir.path(), notRegular},
        {large, QStringLiteral("Profile validation failed: device profile file exceeds 4 MiB")},
        {dir.filePath(QStringLiteral("missing.device.json")),
         QStringLiteral("Profile validation failed: cannot open Device Profile")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path.toStdString());
        UiController ui;
        {
            PipeWriterWatch watch(pipe);
            ui.importProfile(row.path);
            EXPECT_FALSE(watch.readerOpened());
        }
        EXPECT_EQ(ui.statusText().toStdString(), row.message.toStdString());
        EXPECT_FALSE(ui.hasProfile());
        EXPECT_EQ(ui.sessionState(), QStringLiteral("NoProfile"));
    }
}

TEST_F(ProfileImport, AProfileAlreadyInTheStoreIsRememberedByItsAbsolutePath) {
    QJsonObject profile = readJson(shippedProfile("small-4.device.json"));
    const QString name =
        QStringLiteral("in-store-%1.device.json").arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
    UiController ui;
    ASSERT_TRUE(QDir().mkpath(ui.profilesDir()));
    const QString stored = QDir(ui.profilesDir()).filePath(name);
    {
        QFile file(stored);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(profile).toJson());
    }
    // Named relative to the folder the program runs in, as a start command names it.
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QCoreApplication::applicationDirPath()));
    ui.importProfile(QStringLiteral("profiles/") + name);
    QDir::setCurrent(before);

    EXPECT_TRUE(ui.hasProfile()) << ui.statusText().toStdString();
    EXPECT_TRUE(QFileInfo(ui.profilePath()).isAbsolute()) << ui.profilePath().toStdString();
    EXPECT_EQ(QFileInfo(ui.profilePath()).canonicalFilePath(), QFileInfo(stored).canonicalFilePath());
    EXPECT_EQ(QSettings().value(QStringLiteral("profilePath")).toString(), ui.profilePath());
    EXPECT_FALSE(ui.activeProfileHash().isEmpty());  // still found from any folder
    QFile::remove(stored);
}

TEST_F(ProfileImport, AnIdentityHoldingPercentSignsIsShownAsItIs) {
    QTemporaryDir dir;
    QJsonObject profile = readJson(shippedProfile("small-4.device.json"));
    profile.insert(QStringLiteral("profileId"), QStringLiteral("ARRAY%2X%1%3"));
    UiController ui;
    ui.importProfile(writeProfile(dir, profile));
    EXPECT_EQ(ui.profileInfo(), QStringLiteral("ARRAY%2X%1%3 | 4 logical / 4 wire | 16000\u00a0Hz"));
    QFile::remove(ui.profilePath());
}

TEST_F(ProfileImport, TheStoredFrequencyTakesTheSettersRuleForTheNewRate) {
    // Whole bins of a 1024-point frame between 100 Hz and Nyquist, short of the Nyquist bin: 46.875 Hz at
    // 48 kHz, 15.625 at 16 kHz.
    const struct {
        double stored;
        const char* profile;
        double expected;
    } rows[] = {
        {1010.0, "TM27-128-H1.6.2.device.json", 1031.25},    {50.0, "TM27-128-H1.6.2.device.json", 93.75},
        {30000.0, "TM27-128-H1.6.2.device.json", 23953.125}, {1010.0, "small-4.device.json", 1015.625},
        {1031.25, "TM27-128-H1.6.2.device.json", 1031.25},   {8000.0, "small-4.device.json", 7984.375},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.profile) + " " + std::to_string(row.stored));
        QSettings().setValue(QStringLiteral("frequency"), row.stored);
        UiController ui;
        QSignalSpy frequency(&ui, &UiController::frequencyChanged);
        importShippedProfile(ui, row.profile);
        ASSERT_TRUE(ui.hasProfile());
        EXPECT_EQ(ui.frequency(), row.expected);
        EXPECT_EQ(QSettings().value(QStringLiteral("frequency")).toDouble(), row.expected);
        EXPECT_EQ(frequency.count(), row.expected == row.stored ? 0 : 1);
    }
}

}  // namespace
}  // namespace zk::app::test
