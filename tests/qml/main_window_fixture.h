#pragma once

// The main window over the application's own controller, language switch and camera filter, in a
// settings store of the test's own in Qt's test location, and no message logged while it lived.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSettings>
#include <QTest>
#include <memory>

#include "app/ui_controller.h"
#include "message_capture.h"
#include "qml_test_context.h"

namespace zk::qmltest {

class MainWindowOverController : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // A parameterised test's names hold slashes, which no file name may.
        QString name =
            QString::fromLatin1(info->test_suite_name()) + u'.' + QString::fromLatin1(info->name());
        QCoreApplication::setApplicationName(name.replace(u'/', u'_'));
        ASSERT_TRUE(QSettings().fileName().contains(QStringLiteral("/.qttest/")));
        QFile::remove(QSettings().fileName());
        // The language the window starts in, as a user may have left it.
        QSettings().setValue(QStringLiteral("ui/language"), QStringLiteral("en"));
        capture_ = std::make_unique<MessageCapture>();
        engine_ = std::make_unique<QQmlEngine>();
        ui_ = installApplicationContext(*engine_);
        QQmlComponent component(engine_.get(), QUrl(QStringLiteral("qrc:/qt/qml/SorvantaApp/Main.qml")));
        window_ = qobject_cast<QQuickWindow*>(component.create());
        ASSERT_NE(window_, nullptr) << component.errorString().toStdString();
        // The offscreen screen is smaller than the window, which opens at the screen's size; the tests
        // click through the full-size layout.
        window_->resize(1680, 1000);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_));
    }

    void TearDown() override {
        delete window_;
        window_ = nullptr;
        engine_.reset();
        if (capture_) {
            EXPECT_TRUE(capture_->messages().isEmpty()) << capture_->messages().join('\n').toStdString();
        }
        capture_.reset();
        QFile::remove(QSettings().fileName());
    }

    std::unique_ptr<MessageCapture> capture_;
    std::unique_ptr<QQmlEngine> engine_;
    app::UiController* ui_ = nullptr;
    QQuickWindow* window_ = nullptr;
};

}  // namespace zk::qmltest
