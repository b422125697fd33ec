#pragma once

// Every test gets a settings store of its own in Qt's test location (the tests run in parallel
// processes): the application name is the test's name, and its file is removed before and after.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include "app/ui_controller.h"

namespace zk::app::test {

// A device profile shipped with the application, as copied into the build's profile store.
inline QString shippedProfile(const char* fileName) {
    return QStringLiteral(ZK_PROFILES_DIR) + u'/' + QString::fromLatin1(fileName);
}

// The value of the Diagnostics row named `name`, "<missing>" without one.
inline QString rowValue(const QVariantList& rows, const QString& name) {
    for (const QVariant& row : rows) {
        const QVariantMap map = row.toMap();
        if (map.value(QStringLiteral("name")).toString() == name)
            return map.value(QStringLiteral("value")).toString();
    }
    return QStringLiteral("<missing>");
}

inline void importShippedProfile(UiController& ui, const char* fileName) {
    ui.importProfile(shippedProfile(fileName));
}

class ControllerSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // A parameterised test's names hold slashes, which no file name may.
        QString name =
            QString::fromLatin1(info->test_suite_name()) + u'.' + QString::fromLatin1(info->name());
        QCoreApplication::setApplicationName(name.replace(u'/', u'_'));
        const QString file = QSettings().fileName();
        ASSERT_TRUE(file.contains(QStringLiteral("/.qttest/"))) << file.toStdString();
        QFile::remove(file);
    }
    void TearDown() override { QFile::remove(QSettings().fileName()); }
};

}  // namespace zk::app::test
