// Diagnostics bundles and settings backups in a Documents folder of the test's own.
#include "app/diagnostics_bundle.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdlib>
#include <optional>

#include "app/ui_controller.h"
#include "app_test_support.h"
#include "core/storage/json_reader.h"
#include "file_fault_support.h"

namespace zk::app::test {
namespace {

const char* const kProfile = "TM27-128-H1.6.2.device.json";

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString readText(const QString& path) { return QString::fromUtf8(readAll(path)); }

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// Qt finds the Documents folder under HOME; each test gets a home of its own. The settings store is
// placed first, so it stays in Qt's test location.
class BundleTest : public ControllerSettingsTest {
  protected:
    void SetUp() override {
        ControllerSettingsTest::SetUp();
        ASSERT_TRUE(home_.isValid());
        if (const char* home = std::getenv("HOME")) savedHome_ = QByteArray(home);
        qputenv("HOME", home_.path().toUtf8());
        documents_ = home_.filePath(QStringLiteral("Documents"));
        ASSERT_EQ(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), documents_);
        ASSERT_TRUE(QDir().mkpath(documents_));
    }
    void TearDown() override {
        if (savedHome_) qputenv("HOME", *savedHome_);
        ControllerSettingsTest::TearDown();
    }

    QString diagnosticsRoot() const {
        return QDir(documents_).filePath(QStringLiteral("Sorvanta Studio-diagnostics"));
    }
    QString backupRoot() const { return QDir(documents_).filePath(QStringLiteral("Sorvanta Studio-backup")); }

    // The folder name a bundle or backup made between the two times may take.
    static void expectFolderName(const QString& path, const QString& prefix, const QDateTime& before,
                                 const QDateTime& after) {
        const QString name = QFileInfo(path).fileName();
        const QRegularExpression form(QStringLiteral("^") + prefix +
                                      QStringLiteral("(\\d{8}_\\d{6})(_\\d+)?$"));
        const auto match = form.match(name);
        ASSERT_TRUE(match.hasMatch()) << name.toStdString();
        const QDateTime stamp = QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMdd_HHmmss"));
        EXPECT_GE(stamp.toSecsSinceEpoch(), before.toSecsSinceEpoch() - 1) << name.toStdString();
        EXPECT_LE(stamp.toSecsSinceEpoch(), after.toSecsSinceEpoch()) << name.toStdString();
    }

    QTemporaryDir home_;
    std::optional<QByteArray> savedHome_;
    QString documents_;
};

using DiagnosticsBundle = BundleTest;
using SettingsBackup = BundleTest;

TEST_F(DiagnosticsBundle, WritesEveryFileAndEachParses) {
    UiController ui;
    importShippedProfile(ui, kProfile);
    ui.setSource(QStringLiteral("Synthetic"));
    ui.setDynamicRange(35.5);
    QSignalSpy pathChanged(&ui, &UiController::lastDiagnosticsPathChanged);

    const QDateTime before = QDateTime::currentDateTime();
    const QString folder = ui.exportDiagnosticsBundle();
    const QDateTime after = QDateTime::currentDateTime();
    ASSERT_FALSE(folder.isEmpty()) << ui.statusText().toStdString();
    EXPECT_EQ(QFileInfo(folder).absolutePath(), diagnosticsRoot());
    expectFolderName(folder, QStringLiteral("diag_"), before, after);
    EXPECT_EQ(ui.lastDiagnosticsPath(), folder);
    EXPECT_EQ(pathChanged.count(), 1);
    EXPECT_EQ(ui.statusText(), QStringLiteral("Diagnostics bundle exported: ") + folder);

    const QDir bundle(folder);
    EXPECT_EQ(entries(folder), (QStringList{QString::fromLatin1(kProfile), QStringLiteral("events.txt"),
                                            QStringLiteral("metrics.txt"), QStringLiteral("settings.ini"),
                                            QStringLiteral("system.txt")}));

    // The profile copy is the file itself and reads as JSON.
    const QByteArray profile = readAll(bundle.filePath(QString::fromLatin1(kProfile)));
    EXPECT_EQ(profile, readAll(ui.profilePath()));
    EXPECT_EQ(profile, readAll(shippedProfile(kProfile)));
    EXPECT_NO_THROW(core::parseJsonDocument(std::string_view(profile.constData(), profile.size())));

    // The settings as the store holds them.
    QSettings stored(bundle.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    EXPECT_EQ(stored.status(), QSettings::NoError);
    QSettings store;
    EXPECT_EQ(stored.allKeys(), store.allKeys());
    EXPECT_EQ(stored.value(QStringLiteral("source")).toString(), QStringLiteral("Synthetic"));
    EXPECT_EQ(stored.value(QStringLiteral("dynamicRange")).toDouble(), 35.5);
    EXPECT_EQ(stored.value(QStringLiteral("profilePath")).toString(), ui.profilePath());

    const QStringList system = readText(bundle.filePath(QStringLiteral("system.txt"))).split(u'\n');
    ASSERT_EQ(system.size(), 7);
    EXPECT_EQ(system[0], QStringLiteral("Sorvanta Studio 1.2.2"));
    EXPECT_EQ(system[1], QStringLiteral("Qt ") + QString::fromLatin1(qVersion()));
    EXPECT_TRUE(system[2].startsWith(QStringLiteral("OS: ")));
    EXPECT_TRUE(system[2].endsWith(QSysInfo::currentCpuArchitecture()));
    EXPECT_EQ(system[3], QStringLiteral("Source: Synthetic"));
    EXPECT_EQ(system[4], QStringLiteral("Profile: ") + ui.profilePath());
    EXPECT_EQ(system[5], QStringLiteral("Project: ") + ui.projectPath());
    EXPECT_EQ(system[6], QString());

    // The diagnostics log up to the export; the export's own report came after.
    QStringList log = ui.diagnosticsLog();
    ASSERT_FALSE(log.isEmpty());
    EXPECT_TRUE(log.last().endsWith(ui.statusText()));
    log.removeLast();
    EXPECT_EQ(readText(bundle.filePath(QStringLiteral("events.txt"))), log.join(u'\n') + u'\n');
    EXPECT_TRUE(log.join(u'\n').contains(QStringLiteral("Device Profile validated")));

    // One "name: value" line per diagnostic row, a blank line, the live metrics.
    QStringList metrics = readText(bundle.filePath(QStringLiteral("metrics.txt"))).split(u'\n');
    const QVariantList rows = ui.diagnosticRows();
    ASSERT_EQ(metrics.size(), rows.size() + 3);
    for (int i = 0; i < rows.size(); ++i) {
        const QVariantMap row = rows[i].toMap();
        EXPECT_EQ(metrics[i], row[QStringLiteral("name")].toString() + QStringLiteral(": ") +
                                  row[QStringLiteral("value")].toString());
    }
    EXPECT_EQ(metrics[rows.size()], QString());
    EXPECT_EQ(metrics[rows.size() + 1], ui.liveMetrics());
    EXPECT_EQ(metrics.last(), QString());
}

TEST_F(DiagnosticsBundle, WithoutAProfileHoldsFourFilesAndAnEmptyProfileLine) {
    UiController ui;
    const QString folder = ui.exportDiagnosticsBundle();
    ASSERT_FALSE(folder.isEmpty()) << ui.statusText().toStdString();
    EXPECT_EQ(entries(folder), (QStringList{QStringLiteral("events.txt"), QStringLiteral("metrics.txt"),
                                            QStringLiteral("settings.ini"), QStringLiteral("system.txt")}));
    EXPECT_TRUE(readText(QDir(folder).filePath(QStringLiteral("system.txt")))
                    .contains(QStringLiteral("\nProfile: \n")));
}

TEST_F(DiagnosticsBundle, ExportsInTheSameSecondNeverShareAFolder) {
    UiController ui;
    importShippedProfile(ui, kProfile);
    const QString first = ui.exportDiagnosticsBundle();
    ASSERT_FALSE(first.isEmpty());
    const QByteArray firstEvents = readAll(QDir(first).filePath(QStringLiteral("events.txt")));
    const QString second = ui.exportDiagnosticsBundle();
    ASSERT_FALSE(second.isEmpty());
    EXPECT_NE(first, second);
    EXPECT_EQ(readAll(QDir(first).filePath(QStringLiteral("events.txt"))), firstEvents);
    EXPECT_EQ(entries(first).size(), 5);
    EXPECT_EQ(entries(second).size(), 5);
    EXPECT_EQ(entries(diagnosticsRoot()).size(), 2);
}

TEST_F(DiagnosticsBundle, FolderNamesOfOneSecondCountOnAndSkipWhatIsTaken) {
    const QString root = diagnosticsRoot();
    const QDateTime when(QDate(2024, 3, 9), QTime(14, 5, 7));
    const QString stem = QStringLiteral("diag_20240309_140507");
    EXPECT_EQ(createDatedFolder(root, QStringLiteral("diag_"), when), QDir(root).filePath(stem));
    EXPECT_EQ(createDatedFolder(root, QStringLiteral("diag_"), when), QDir(root).filePath(stem + "_2"));
    // A file and a link that leads outside take the next two names; neither is written through.
    QFile taken(QDir(root).filePath(stem + "_3"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();
    const QString outside = home_.filePath(QStringLiteral("outside"));
    ASSERT_TRUE(QDir().mkdir(outside));
    ASSERT_TRUE(QFile::link(outside, QDir(root).filePath(stem + "_4")));
    EXPECT_EQ(createDatedFolder(root, QStringLiteral("diag_"), when), QDir(root).filePath(stem + "_5"));
    EXPECT_TRUE(QFileInfo(QDir(root).filePath(stem + "_3")).isFile());
    EXPECT_TRUE(entries(outside).isEmpty());
    EXPECT_TRUE(QFileInfo(QDir(root).filePath(stem + "_5")).isDir());
}

TEST_F(SettingsBackup, RestoringTheBackupIntoAFreshStoreGivesTheSameSettings) {
    {
        UiController ui;
        importShippedProfile(ui, kProfile);
        ui.setSource(QStringLiteral("Synthetic"));
        ui.setDynamicRange(42.25);
        ui.setHeatmapColormap(2);
        ui.setCameraMirror(true);
        ui.setRecordingMaxDurationSeconds(42.0);
    }
    {
        // Keys of other parts of the application, with texts that a bare "key = text" line would mangle.
        QSettings other;
        other.setValue(QStringLiteral("recentProjects"),
                       QStringList{QStringLiteral("/p/a, first"), QStringLiteral("/p/\"b\"")});
        other.setValue(QStringLiteral("lastProjectPath"), QStringLiteral("  /p/with edges ; and more "));
        other.setValue(QStringLiteral("cameraFormat/usb-1:2/width"), 1280);
        other.setValue(QStringLiteral("cameraUvc/0123abcd/brightness_auto"), false);
    }
    UiController ui;
    QSignalSpy pathChanged(&ui, &UiController::lastBackupPathChanged);
    const QDateTime before = QDateTime::currentDateTime();
    const QString folder = ui.backupNow();
    const QDateTime after = QDateTime::currentDateTime();
    ASSERT_FALSE(folder.isEmpty()) << ui.statusText().toStdString();
    EXPECT_EQ(QFileInfo(folder).absolutePath(), backupRoot());
    expectFolderName(folder, QStringLiteral("backup_"), before, after);
    EXPECT_EQ(entries(folder), QStringList{QStringLiteral("settings.ini")});
    EXPECT_EQ(ui.lastBackupPath(), folder);
    EXPECT_EQ(pathChanged.count(), 1);
    EXPECT_EQ(ui.statusText(), QStringLiteral("Settings backup written: ") + folder);

    const QString backupFile = QDir(folder).filePath(QStringLiteral("settings.ini"));
    const QString text = readText(backupFile);
    EXPECT_TRUE(text.contains(QStringLiteral("\nsource = Synthetic\n"))) << text.toStdString();
    EXPECT_FALSE(text.contains(u'[')) << "plain lines, no INI sections";

    // Restore into a fresh store, then compare with the store as Qt reads it from its own file.
    QSettings backup(backupFile, QSettings::IniFormat);
    ASSERT_EQ(backup.status(), QSettings::NoError);
    const QString freshFile = home_.filePath(QStringLiteral("fresh.ini"));
    {
        QSettings fresh(freshFile, QSettings::IniFormat);
        for (const QString& key : backup.allKeys()) fresh.setValue(key, backup.value(key));
    }
    // Qt keeps the values of a store it wrote in memory; a copy of the file is read as Qt reads it.
    QSettings original;
    original.sync();
    const QString truthFile = home_.filePath(QStringLiteral("truth.ini"));
    ASSERT_TRUE(QFile::copy(original.fileName(), truthFile));
    QSettings truth(truthFile, QSettings::IniFormat);
    QSettings restored(freshFile, QSettings::IniFormat);
    ASSERT_FALSE(truth.allKeys().isEmpty());
    EXPECT_EQ(restored.allKeys(), truth.allKeys());
    for (const QString& key : truth.allKeys())
        EXPECT_EQ(restored.value(key), truth.value(key)) << key.toStdString();
    EXPECT_EQ(restored.value(QStringLiteral("recentProjects")).toStringList(),
              (QStringList{QStringLiteral("/p/a, first"), QStringLiteral("/p/\"b\"")}));
}

TEST_F(SettingsBackup, BackupsInTheSameSecondKeepEachOther) {
    UiController ui;
    ui.setDynamicRange(25.0);
    const QString first = ui.backupNow();
    ui.setDynamicRange(35.0);
    const QString second = ui.backupNow();
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());
    EXPECT_NE(first, second);
    EXPECT_EQ(QSettings(QDir(first).filePath(QStringLiteral("settings.ini")), QSettings::IniFormat)
                  .value(QStringLiteral("dynamicRange"))
                  .toDouble(),
              25.0);
    EXPECT_EQ(QSettings(QDir(second).filePath(QStringLiteral("settings.ini")), QSettings::IniFormat)
                  .value(QStringLiteral("dynamicRange"))
                  .toDouble(),
              35.0);
    EXPECT_EQ(ui.lastBackupPath(), second);
}

TEST_F(SettingsBackup, ReadOnlyDocumentsFailWithTheirTextAndWriteNothing) {
    UiController ui;
    QSignalSpy backupChanged(&ui, &UiController::lastBackupPathChanged);
    QSignalSpy bundleChanged(&ui, &UiController::lastDiagnosticsPathChanged);
    QString backup, bundle, backupText, bundleText;
    bool readOnly = false;
    {
        WithoutPermissionOverride asUser;
        readOnly = makeReadOnly(documents_);
        if (readOnly) {
            backup = ui.backupNow();
            backupText = ui.statusText();
            bundle = ui.exportDiagnosticsBundle();
            bundleText = ui.statusText();
        }
    }
    makeWritable(documents_);
    if (!readOnly) GTEST_SKIP() << "folder modes do not bind for this process";
    EXPECT_TRUE(backup.isEmpty());
    EXPECT_EQ(backupText, QStringLiteral("Backup failed: cannot create folder"));
    EXPECT_TRUE(bundle.isEmpty());
    EXPECT_EQ(bundleText, QStringLiteral("Diagnostics export failed: cannot create folder"));
    EXPECT_TRUE(entries(documents_).isEmpty());
    EXPECT_TRUE(ui.lastBackupPath().isEmpty());
    EXPECT_TRUE(ui.lastDiagnosticsPath().isEmpty());
    EXPECT_EQ(backupChanged.count(), 0);
    EXPECT_EQ(bundleChanged.count(), 0);

    // The roots exist but refuse new folders: the same refusal, nothing inside.
    ASSERT_TRUE(QDir().mkpath(backupRoot()));
    ASSERT_TRUE(QDir().mkpath(diagnosticsRoot()));
    {
        WithoutPermissionOverride asUser;
        ASSERT_TRUE(makeReadOnly(backupRoot()));
        ASSERT_TRUE(makeReadOnly(diagnosticsRoot()));
        EXPECT_TRUE(ui.backupNow().isEmpty());
        EXPECT_EQ(ui.statusText(), QStringLiteral("Backup failed: cannot create folder"));
        EXPECT_TRUE(ui.exportDiagnosticsBundle().isEmpty());
        EXPECT_EQ(ui.statusText(), QStringLiteral("Diagnostics export failed: cannot create folder"));
    }
    makeWritable(backupRoot());
    makeWritable(diagnosticsRoot());
    EXPECT_TRUE(entries(backupRoot()).isEmpty());
    EXPECT_TRUE(entries(diagnosticsRoot()).isEmpty());
}

TEST_F(SettingsBackup, AWriteThatStopsShortIsReportedAndLeavesNoFile) {
    UiController ui;
    // A value far past the file size limit below; the other bundle files stay well under it.
    QSettings().setValue(QStringLiteral("notes"), QString(200000, u'n'));
    QSettings().sync();
    QString backup, backupText, bundle, bundleText;
    {
        FileSizeLimit limit(64 * 1024);
        ASSERT_TRUE(limit.active());
        backup = ui.backupNow();
        backupText = ui.statusText();
        bundle = ui.exportDiagnosticsBundle();
        bundleText = ui.statusText();
    }
    EXPECT_TRUE(backup.isEmpty());
    EXPECT_TRUE(backupText.startsWith(QStringLiteral("Backup failed: cannot write settings.ini: ")))
        << backupText.toStdString();
    EXPECT_TRUE(ui.lastBackupPath().isEmpty());
    EXPECT_TRUE(entries(backupRoot()).isEmpty()) << "the empty backup folder is not left behind";

    EXPECT_TRUE(bundle.isEmpty());
    EXPECT_TRUE(
        bundleText.startsWith(QStringLiteral("Diagnostics export failed: cannot write settings.ini: ")))
        << bundleText.toStdString();
    EXPECT_TRUE(ui.lastDiagnosticsPath().isEmpty());
    const QStringList folders = entries(diagnosticsRoot());
    ASSERT_EQ(folders.size(), 1);
    // The files that fit are whole; the one that did not is absent, with no temporary file left.
    const QString folder = QDir(diagnosticsRoot()).filePath(folders.first());
    EXPECT_EQ(entries(folder), (QStringList{QStringLiteral("events.txt"), QStringLiteral("metrics.txt"),
                                            QStringLiteral("system.txt")}));
    EXPECT_TRUE(readText(QDir(folder).filePath(QStringLiteral("system.txt")))
                    .endsWith(QStringLiteral("Project: ") + ui.projectPath() + u'\n'));
}

// Receives the URLs the desktop is asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public slots:
    void open(const QUrl& url) { urls.append(url); }
};

TEST_F(DiagnosticsBundle, OpeningTheFolderBeforeAnyExportCreatesTheEmptyRoot) {
    UiController ui;
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    ui.openDiagnosticsFolder();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(recorder.urls.size(), 1);
    EXPECT_EQ(recorder.urls.first(), QUrl::fromLocalFile(diagnosticsRoot()));
    EXPECT_TRUE(QFileInfo(diagnosticsRoot()).isDir());
    EXPECT_TRUE(entries(diagnosticsRoot()).isEmpty());
}

TEST(MetricRows, RowsAreNameValueMapsInOrder) {
    QVariantList rows;
    appendMetricRow(rows, QStringLiteral("Blocks"), QStringLiteral("12"));
    appendMetricRow(rows, QStringLiteral("Queue"), QStringLiteral("0 / 64"));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].toMap(), (QVariantMap{{QStringLiteral("name"), QStringLiteral("Queue")},
                                            {QStringLiteral("value"), QStringLiteral("0 / 64")}}));
    EXPECT_EQ(metricsFileText(rows, QStringLiteral("Live stopped")),
              QStringLiteral("Blocks: 12\nQueue: 0 / 64\n\nLive stopped\n"));
    // The resident size of a running process is neither zero nor beyond this machine's memory.
    const double mib = processWorkingSetMiB();
    EXPECT_GT(mib, 1.0);
    EXPECT_LT(mib, 1024.0 * 1024.0);
}

}  // namespace
}  // namespace zk::app::test

#include "diagnostics_bundle_test.moc"
