// Diagnostics bundles and settings backups in a Documents folder of the test's own.
#include "app/diagnostics_bundle.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
QString readText(const QString& folder, const char* name) {
    return QString::fromUtf8(readAll(QDir(folder).filePath(QString::fromLatin1(name))));
}
QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}
QStringList names(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* name : list) out << QString::fromLatin1(name);
    return out;
}

// Qt finds the Documents folder under HOME, so each test gets a home of its own (after the settings
// store has been placed in Qt's test location).
class BundleTest : public ControllerSettingsTest {
  protected:
    void SetUp() override {
        ControllerSettingsTest::SetUp();
        ASSERT_TRUE(home_.isValid());
        if (const char* home = std::getenv("HOME")) savedHome_ = QByteArray(home);
        qputenv("HOME", home_.path().toUtf8());
        ASSERT_EQ(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), documents_);
        ASSERT_TRUE(QDir().mkpath(documents_));
    }
    void TearDown() override {
        if (savedHome_) qputenv("HOME", *savedHome_);
        ControllerSettingsTest::TearDown();
    }

    QTemporaryDir home_;
    std::optional<QByteArray> savedHome_;
    const QString documents_ = home_.filePath(QStringLiteral("Documents"));
    const QString diagnosticsRoot_ = documents_ + QStringLiteral("/Sorvanta Studio-diagnostics");
    const QString backupRoot_ = documents_ + QStringLiteral("/Sorvanta Studio-backup");
};

using DiagnosticsBundle = BundleTest;
using SettingsBackup = BundleTest;

TEST_F(DiagnosticsBundle, WritesEveryFileAndEachParses) {
    // Without a profile: four files and an empty profile line.
    QString bareFolder;
    {
        UiController bare;
        bareFolder = bare.exportDiagnosticsBundle();
    }
    ASSERT_FALSE(bareFolder.isEmpty());
    EXPECT_EQ(entries(bareFolder), names({"events.txt", "metrics.txt", "settings.ini", "system.txt"}));
    EXPECT_TRUE(readText(bareFolder, "system.txt").contains(QStringLiteral("\nProfile: \nProject: ")));

    UiController ui;
    importShippedProfile(ui, "TM27-128-H1.6.2.device.json");
    ui.setSource(QStringLiteral("Synthetic"));
    ui.setDynamicRange(35.5);
    QSignalSpy pathChanged(&ui, &UiController::lastDiagnosticsPathChanged);

    const QDateTime before = QDateTime::currentDateTime();
    const QString folder = ui.exportDiagnosticsBundle();
    ASSERT_FALSE(folder.isEmpty()) << ui.statusText().toStdString();
    EXPECT_EQ(QFileInfo(folder).absolutePath(), diagnosticsRoot_);
    // "diag_" and the local time, with "_2" when the export without a profile took the same second.
    const QString name = QFileInfo(folder).fileName();
    const QDateTime stamp = QDateTime::fromString(name.left(20), QStringLiteral("'diag_'yyyyMMdd_HHmmss"));
    ASSERT_TRUE(stamp.isValid()) << name.toStdString();
    EXPECT_LE(std::abs(stamp.secsTo(before)), 1);
    EXPECT_TRUE(name.size() == 20 || name.mid(20) == QLatin1String("_2")) << name.toStdString();
    EXPECT_EQ(ui.lastDiagnosticsPath(), folder);
    EXPECT_EQ(pathChanged.count(), 1);
    EXPECT_EQ(ui.statusText(), QStringLiteral("Diagnostics bundle exported: ") + folder);
    EXPECT_EQ(entries(folder), names({"TM27-128-H1.6.2.device.json", "events.txt", "metrics.txt",
                                      "settings.ini", "system.txt"}));

    const QByteArray profile = readAll(QDir(folder).filePath(QStringLiteral("TM27-128-H1.6.2.device.json")));
    EXPECT_EQ(profile, readAll(shippedProfile("TM27-128-H1.6.2.device.json")));
    EXPECT_NO_THROW(core::parseJsonDocument(std::string_view(profile.constData(), profile.size())));

    QSettings stored(QDir(folder).filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    EXPECT_EQ(stored.status(), QSettings::NoError);
    EXPECT_EQ(stored.allKeys(), QSettings().allKeys());
    EXPECT_EQ(stored.value(QStringLiteral("source")).toString(), QStringLiteral("Synthetic"));
    EXPECT_EQ(stored.value(QStringLiteral("dynamicRange")).toDouble(), 35.5);
    EXPECT_EQ(stored.value(QStringLiteral("profilePath")).toString(), ui.profilePath());

    EXPECT_EQ(readText(folder, "system.txt"),
              QStringLiteral(
                  "Sorvanta Studio 1.2.2\nQt %1\nOS: %2 %3\nSource: Synthetic\nProfile: %4\nProject: %5\n")
                  .arg(QString::fromLatin1(qVersion()), QSysInfo::prettyProductName(),
                       QSysInfo::currentCpuArchitecture(), ui.profilePath(), ui.projectPath()));
    // The diagnostics log up to the export, whose own report came after.
    QStringList log = ui.diagnosticsLog();
    log.removeLast();
    EXPECT_EQ(readText(folder, "events.txt"), log.join(u'\n') + u'\n');
    EXPECT_TRUE(readText(folder, "events.txt").contains(QStringLiteral("Device Profile validated")));
    EXPECT_TRUE(readText(folder, "metrics.txt").endsWith(QStringLiteral("\n") + ui.liveMetrics() + u'\n'));
    EXPECT_NE(folder, bareFolder) << "an export in the same second gets a folder of its own";
}

TEST_F(DiagnosticsBundle, FolderNamesOfOneSecondCountOnAndSkipWhatIsTaken) {
    const QDateTime when(QDate(2024, 3, 9), QTime(14, 5, 7));
    const QString stem = diagnosticsRoot_ + QStringLiteral("/diag_20240309_140507");
    EXPECT_EQ(createDatedFolder(diagnosticsRoot_, QStringLiteral("diag_"), when), stem);
    EXPECT_EQ(createDatedFolder(diagnosticsRoot_, QStringLiteral("diag_"), when), stem + "_2");
    // A file and a link that leads outside take the next two names; neither is written through.
    QFile taken(stem + "_3");
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();
    const QString outside = home_.filePath(QStringLiteral("outside"));
    ASSERT_TRUE(QDir().mkdir(outside));
    ASSERT_TRUE(QFile::link(outside, stem + "_4"));
    EXPECT_EQ(createDatedFolder(diagnosticsRoot_, QStringLiteral("diag_"), when), stem + "_5");
    EXPECT_TRUE(QFileInfo(stem + "_3").isFile());
    EXPECT_TRUE(entries(outside).isEmpty());
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
    EXPECT_EQ(recorder.urls, QList<QUrl>{QUrl::fromLocalFile(diagnosticsRoot_)});
    EXPECT_TRUE(QFileInfo(diagnosticsRoot_).isDir());
    EXPECT_TRUE(entries(diagnosticsRoot_).isEmpty());
}

TEST_F(SettingsBackup, RestoringTheBackupIntoAFreshStoreGivesTheSameSettings) {
    {
        UiController ui;
        ui.setSource(QStringLiteral("Synthetic"));
        ui.setHeatmapColormap(2);
        ui.setCameraMirror(true);
        QSettings other;  // keys of other parts, with texts that a bare "key = text" line would mangle
        other.setValue(QStringLiteral("recentProjects"),
                       QStringList{QStringLiteral("/p/a, first"), QStringLiteral("/p/\"b\"")});
        other.setValue(QStringLiteral("lastProjectPath"), QStringLiteral("  /p/edges ; more "));
        other.setValue(QStringLiteral("cameraFormat/usb-1:2/width"), 1280);
    }
    UiController ui;
    QSignalSpy pathChanged(&ui, &UiController::lastBackupPathChanged);
    const QString first = ui.backupNow();
    ASSERT_FALSE(first.isEmpty()) << ui.statusText().toStdString();
    EXPECT_EQ(QFileInfo(first).absolutePath(), backupRoot_);
    EXPECT_TRUE(QFileInfo(first).fileName().startsWith(QStringLiteral("backup_")));
    EXPECT_EQ(entries(first), names({"settings.ini"}));
    EXPECT_EQ(ui.statusText(), QStringLiteral("Settings backup written: ") + first);
    const QString text = readText(first, "settings.ini");
    EXPECT_TRUE(text.contains(QStringLiteral("\nsource = Synthetic\n"))) << text.toStdString();
    EXPECT_FALSE(text.contains(u'[')) << "plain lines, no INI sections";

    // Restored into a fresh store and compared with the store's own file as Qt reads it (under another
    // name: Qt keeps the values of a file it wrote in memory).
    const QString freshFile = home_.filePath(QStringLiteral("fresh.ini"));
    {
        QSettings backup(QDir(first).filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        ASSERT_EQ(backup.status(), QSettings::NoError);
        QSettings fresh(freshFile, QSettings::IniFormat);
        for (const QString& key : backup.allKeys()) fresh.setValue(key, backup.value(key));
    }
    QSettings().sync();
    const QString truthFile = home_.filePath(QStringLiteral("truth.ini"));
    ASSERT_TRUE(QFile::copy(QSettings().fileName(), truthFile));
    QSettings truth(truthFile, QSettings::IniFormat);
    QSettings restored(freshFile, QSettings::IniFormat);
    EXPECT_EQ(restored.allKeys(), truth.allKeys());
    for (const QString& key : truth.allKeys())
        EXPECT_EQ(restored.value(key), truth.value(key)) << key.toStdString();

    // A second backup in the same second keeps the first.
    ui.setDynamicRange(35.0);
    const QString second = ui.backupNow();
    ASSERT_FALSE(second.isEmpty());
    EXPECT_NE(second, first);
    EXPECT_EQ(readText(first, "settings.ini"), text);
    EXPECT_TRUE(readText(second, "settings.ini").contains(QStringLiteral("\ndynamicRange = 35\n")));
    EXPECT_EQ(ui.lastBackupPath(), second);
    EXPECT_EQ(pathChanged.count(), 2);
}

TEST_F(SettingsBackup, ReadOnlyDocumentsFailWithTheirTextAndWriteNothing) {
    UiController ui;
    QSignalSpy backupChanged(&ui, &UiController::lastBackupPathChanged);
    QSignalSpy bundleChanged(&ui, &UiController::lastDiagnosticsPathChanged);
    QString backup, bundle, backupText, bundleText;
    bool readOnly = false;
    {
        WithoutPermissionOverride asUser;
        if ((readOnly = makeReadOnly(documents_))) {
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
    EXPECT_EQ(backupChanged.count() + bundleChanged.count(), 0);
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
    EXPECT_TRUE(entries(backupRoot_).isEmpty()) << "the empty backup folder is not left behind";
    EXPECT_TRUE(bundle.isEmpty());
    EXPECT_TRUE(
        bundleText.startsWith(QStringLiteral("Diagnostics export failed: cannot write settings.ini: ")))
        << bundleText.toStdString();
    EXPECT_TRUE(ui.lastBackupPath().isEmpty() && ui.lastDiagnosticsPath().isEmpty());
    // The files that fit are whole; the one that did not is absent, with no temporary file left.
    const QStringList folders = entries(diagnosticsRoot_);
    ASSERT_EQ(folders.size(), 1);
    const QString folder = diagnosticsRoot_ + u'/' + folders.first();
    EXPECT_EQ(entries(folder), names({"events.txt", "metrics.txt", "system.txt"}));
    EXPECT_TRUE(
        readText(folder, "system.txt").endsWith(QStringLiteral("Project: ") + ui.projectPath() + u'\n'));
}

}  // namespace
}  // namespace zk::app::test

#include "diagnostics_bundle_test.moc"
