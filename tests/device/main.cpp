#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <memory>

namespace {

// Every test gets a settings store of its own in Qt's test location (CTest runs tests in parallel
// processes): the application name is the test's name, and its file is removed before and after.
class SettingsPerTest : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo& info) override {
        QCoreApplication::setApplicationName(QString::fromLatin1(info.test_suite_name()) + u'.' +
                                             QString::fromLatin1(info.name()));
        QFile::remove(QSettings().fileName());
    }
    void OnTestEnd(const ::testing::TestInfo&) override { QFile::remove(QSettings().fileName()); }
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Before any QSettings exists: the settings of the tests go to Qt's test location, never a user's.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("zk-device-tests"));
    std::unique_ptr<QCoreApplication> app;
    if (!GTEST_FLAG_GET(list_tests)) {
        app = std::make_unique<QCoreApplication>(argc, argv);
        ::testing::UnitTest::GetInstance()->listeners().Append(new SettingsPerTest);
    }
    return RUN_ALL_TESTS();
}
