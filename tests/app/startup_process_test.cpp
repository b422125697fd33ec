#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>

#include "app/application_identity.h"

namespace {

const QString kShipped = QStringLiteral("TM27-128-H1.6.2.device.json");
const QString kSmall = QStringLiteral("small-4.device.json");

// A private installation of the real executable: its own folder with a profile store beside it, and a
// home, configuration and temporary folder of its own, so no run sees a user's settings or another
// run's files.
class Installation {
  public:
    Installation() {
        QDir(root_.path()).mkpath("bin/profiles");
        QDir(root_.path()).mkpath("home/config");
        QDir(root_.path()).mkpath("tmp");
        QDir(root_.path()).mkpath("runtime");
        QFile::setPermissions(root_.path() + "/runtime",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString exe = binDir() + "/sorvanta";
        // A hard link where the file system allows it, else a copy: the executable finds its store
        // through its own real path, so a symbolic link would not do.
        if (link(QFile::encodeName(ZK_SORVANTA_EXE).constData(), QFile::encodeName(exe).constData()) != 0) {
            QFile::copy(ZK_SORVANTA_EXE, exe);
        }
        QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString binDir() const { return root_.path() + "/bin"; }
    QString storeDir() const { return binDir() + "/profiles"; }
    QString settingsPath() const {
        return root_.path() + "/home/config/" + zk::app::organizationName() + "/" +
               zk::app::applicationName() + ".conf";
    }
    std::unique_ptr<QSettings> settings() const {
        return std::make_unique<QSettings>(settingsPath(), QSettings::IniFormat);
    }
    void remember(const QString& key, const QString& value) const {
        auto s = settings();
        s->setValue(key, value);
        s->sync();
    }
    void shipToStore(const QString& shippedName, const QString& storeName) const {
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(ZK_PROFILES_DIR "/") + shippedName, storeDir() + "/" + storeName));
    }

    // A qt.conf beside the executable that keeps Qt's own paths but points the QML imports nowhere,
    // so the module's Main cannot load.
    void hideQmlModules() const {
        QFile conf(binDir() + "/qt.conf");
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("[Paths]\nPrefix=" + QLibraryInfo::path(QLibraryInfo::PrefixPath).toUtf8() +
                   "\nPlugins=" + QLibraryInfo::path(QLibraryInfo::PluginsPath).toUtf8() +
                   "\nQmlImports=" + root_.path().toUtf8() + "/no-qml-here\n");
    }

    struct Run {
        int exitCode = -100;
        QString errorOutput;
    };
    // fileSizeLimit: the soft limit on file sizes of the program (ulimit -f), in bytes; 0 for none.
    Run start(const QStringList& arguments, const QProcessEnvironment& extra = {},
              rlim_t fileSizeLimit = 0) const {
        QProcess process;
        if (fileSizeLimit != 0) {
            process.setChildProcessModifier([fileSizeLimit] {
                rlimit limit{};
                ::getrlimit(RLIMIT_FSIZE, &limit);
                limit.rlim_cur = fileSizeLimit;
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("OMP_WAIT_POLICY");
        env.insert("HOME", root_.path() + "/home");
        env.insert("XDG_CONFIG_HOME", root_.path() + "/home/config");
        env.insert("XDG_DATA_HOME", root_.path() + "/home/data");
        env.insert("XDG_CACHE_HOME", root_.path() + "/home/cache");
        env.insert("XDG_RUNTIME_DIR", root_.path() + "/runtime");
        env.insert("TMPDIR", root_.path() + "/tmp");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("SORVANTA_QUIT_AFTER_START", "1");
        env.insert("SORVANTA_STARTUP_TIMING", "1");
        env.remove("QT_MESSAGE_PATTERN");
        // Only a ThreadSanitizer build reads this: Qt's internal thread hand-overs are not ours.
        env.insert("TSAN_OPTIONS", env.value("TSAN_OPTIONS") + " suppressions=" ZK_TSAN_QT_SUPPRESSIONS);
        for (const QString& key : extra.keys()) env.insert(key, extra.value(key));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(root_.path());
        process.start(binDir() + "/sorvanta", arguments);
        Run run;
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            run.errorOutput = "timed out";
            return run;
        }
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -200;
        run.errorOutput = QString::fromLocal8Bit(process.readAllStandardError());
        return run;
    }

  private:
    QTemporaryDir root_;
};

TEST(StartupProcess, CommandLineOptionsTakeEffectInTheirOrder) {
    Installation inst;
    inst.remember("ui/language", "xx_XX");  // no catalogue: the warning shows when the language was applied
    QTemporaryDir outside;
    const QString profile = outside.path() + "/" + kShipped;
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZK_PROFILES_DIR "/") + kShipped, profile));

    const Installation::Run run =
        inst.start({"--ui-theme", "dawn", "--profile", profile, "--source", "Synthetic"});
    ASSERT_EQ(run.exitCode, 0) << run.errorOutput.toStdString();

    // The language is applied before the QML root object exists.
    const qsizetype warning =
        run.errorOutput.indexOf("i18n: translation missing for xx_XX -- source strings stay visible");
    const qsizetype root =
        run.errorOutput.indexOf(QRegularExpression("startup: QML root object after \\d+ ms"));
    EXPECT_GE(warning, 0) << run.errorOutput.toStdString();
    EXPECT_GT(root, warning) << run.errorOutput.toStdString();

    // The import copied the profile into the store beside the executable and remembers the copy.
    const QString stored = inst.storeDir() + "/" + kShipped;
    EXPECT_TRUE(QFileInfo(stored).isFile());
    auto settings = inst.settings();
    EXPECT_EQ(settings->value("ui/theme").toString(), QString("dawn"));
    EXPECT_EQ(settings->value("profilePath").toString(), stored);
    EXPECT_EQ(settings->value("source").toString(), QString("Synthetic"));
}

// Under a file-size limit (ulimit -f) a write past it fails like one on a full disk: the import of a
// profile larger than the limit fails, and the program goes on instead of being ended by the signal.
TEST(StartupProcess, AFileSizeLimitFailsAWriteInsteadOfEndingTheProgram) {
    Installation inst;
    QTemporaryDir outside;
    const QString profile = outside.path() + "/" + kShipped;
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZK_PROFILES_DIR "/") + kShipped, profile));
    constexpr rlim_t kLimit = 4096;
    ASSERT_GT(QFileInfo(profile).size(), static_cast<qint64>(kLimit));

    const Installation::Run run = inst.start({"--profile", profile}, {}, kLimit);
    EXPECT_EQ(run.exitCode, 0) << run.errorOutput.toStdString();
    EXPECT_FALSE(QFileInfo(inst.storeDir() + "/" + kShipped).size() == QFileInfo(profile).size());
}

TEST(StartupProcess, WithoutARootObjectTheProcessReturnsMinusOneAndAppliesNoLaterOption) {
    Installation inst;
    inst.shipToStore(kShipped, kShipped);
    inst.hideQmlModules();
    const Installation::Run run = inst.start({"--ui-theme", "ember", "--source", "Synthetic"});
    EXPECT_EQ(run.exitCode, 255) << run.errorOutput.toStdString();  // -1 as an exit status
    // The load error reached standard error through the message handler.
    EXPECT_TRUE(run.errorOutput.contains("Main.qml")) << run.errorOutput.toStdString();
    EXPECT_FALSE(run.errorOutput.contains("startup: QML root object"));
    auto settings = inst.settings();
    EXPECT_EQ(settings->value("ui/theme").toString(), QString("ember"));  // applied before the load
    EXPECT_FALSE(settings->contains("profilePath"));  // the store's profile was not imported
    EXPECT_FALSE(settings->contains("source"));
}

TEST(StartupProcess, RememberedProfileThatMovedIsFoundInTheStoreAndATrailingOptionIsIgnored) {
    Installation inst;
    inst.shipToStore(kShipped, kShipped);
    inst.shipToStore(kSmall, kSmall);
    inst.remember("profilePath", "/media/old-stick/profiles/" + kSmall);
    const Installation::Run run = inst.start({"--source", "Synthetic", "--profile"});
    ASSERT_EQ(run.exitCode, 0) << run.errorOutput.toStdString();
    auto settings = inst.settings();
    EXPECT_EQ(settings->value("profilePath").toString(), inst.storeDir() + "/" + kSmall);
    EXPECT_EQ(settings->value("source").toString(), QString("Synthetic"));
    // The store file was used in place: no numbered second copy appeared.
    EXPECT_EQ(QDir(inst.storeDir()).entryList(QDir::Files).size(), 2);
}

TEST(StartupProcess, EmptyStoreAndNoRememberedProfileImportNothing) {
    Installation inst;
    const Installation::Run run = inst.start({"--ui-theme", "abyss"});
    ASSERT_EQ(run.exitCode, 0) << run.errorOutput.toStdString();
    auto settings = inst.settings();
    EXPECT_EQ(settings->value("ui/theme").toString(), QString("abyss"));  // the run did write its settings
    EXPECT_FALSE(settings->contains("profilePath"));
    EXPECT_TRUE(QDir(inst.storeDir()).entryList(QDir::Files).isEmpty());
    // The default language's catalogue is embedded: no missing-translation warning.
    EXPECT_FALSE(run.errorOutput.contains("i18n:")) << run.errorOutput.toStdString();
}

// libgomp prints its settings at load with OMP_DISPLAY_ENV=VERBOSE; a spin count of 0 is the passive
// wait policy in effect, whatever the policy line says.
TEST(StartupProcess, OpenMpWorkersWaitPassivelyUnlessThePolicyIsGiven) {
    Installation inst;
    const QRegularExpression spin("GOMP_SPINCOUNT = '(\\d+)'");
    QProcessEnvironment display;
    display.insert("OMP_DISPLAY_ENV", "VERBOSE");
    for (const QString& policy : {QString(), QString("")}) {
        QProcessEnvironment env = display;
        if (!policy.isNull()) env.insert("OMP_WAIT_POLICY", policy);
        const Installation::Run run = inst.start({}, env);
        ASSERT_EQ(run.exitCode, 0) << run.errorOutput.toStdString();
        QString last;
        for (auto it = spin.globalMatch(run.errorOutput); it.hasNext();) last = it.next().captured(1);
        EXPECT_EQ(last, QString("0")) << run.errorOutput.toStdString();
        EXPECT_EQ(run.errorOutput.count("startup: started after"), 1);
    }
    QProcessEnvironment active = display;
    active.insert("OMP_WAIT_POLICY", "ACTIVE");
    const Installation::Run run = inst.start({}, active);
    ASSERT_EQ(run.exitCode, 0) << run.errorOutput.toStdString();
    EXPECT_EQ(run.errorOutput.count("OMP_WAIT_POLICY = 'ACTIVE'"), 1) << run.errorOutput.toStdString();
    EXPECT_FALSE(spin.match(run.errorOutput).captured(1).isEmpty());
    EXPECT_NE(spin.match(run.errorOutput).captured(1), QString("0"));
}

}  // namespace
