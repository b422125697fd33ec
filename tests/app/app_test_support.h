#pragma once

// Every test gets a settings store of its own in Qt's test location (the tests run in parallel
// processes): the application name is the test's name, and its file is removed before and after.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace zk::app::test {

class ControllerSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        QCoreApplication::setApplicationName(QString::fromLatin1(info->test_suite_name()) + u'.' +
                                             QString::fromLatin1(info->name()));
        const QString file = QSettings().fileName();
        ASSERT_TRUE(file.contains(QStringLiteral("/.qttest/"))) << file.toStdString();
        QFile::remove(file);
    }
    void TearDown() override { QFile::remove(QSettings().fileName()); }
};

}  // namespace zk::app::test
