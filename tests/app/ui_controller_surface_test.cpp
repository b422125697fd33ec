#include <gtest/gtest.h>

#include <QMetaMethod>
#include <QMetaProperty>
#include <QSet>

#include "app/ui_controller.h"
#include "app_test_support.h"

namespace zk::app::test {
namespace {

using UiControllerSurface = ControllerSettingsTest;

TEST_F(UiControllerSurface, PublishesEveryPropertyWithItsNotifySignal) {
    const QMetaObject& meta = UiController::staticMetaObject;
    int properties = 0;
    QSet<QString> withoutNotify;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        ++properties;
        if (!property.hasNotifySignal()) withoutNotify.insert(QString::fromLatin1(property.name()));
    }
    EXPECT_EQ(properties, 172);
    EXPECT_EQ(withoutNotify,
              (QSet<QString>{QStringLiteral("profilesDir"), QStringLiteral("analysisVideoFrameSeconds")}));
    EXPECT_TRUE(meta.property(meta.indexOfProperty("profilesDir")).isConstant());
}

TEST_F(UiControllerSurface, OffersEveryOperationToQml) {
    const QMetaObject& meta = UiController::staticMetaObject;
    int operations = 0;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        if (method.methodType() == QMetaMethod::Method || method.methodType() == QMetaMethod::Slot)
            ++operations;
    }
    EXPECT_EQ(operations, 93);
    EXPECT_GE(meta.indexOfMethod("browseListDir(QString,QStringList)"), 0);
    EXPECT_GE(meta.indexOfSignal("analysisFinished(bool,QString)"), 0);
    EXPECT_GE(meta.indexOfSignal("videoRecordStartRequested(QString)"), 0);
}

TEST_F(UiControllerSurface, StartsWithThePromptAndTheCameraCount) {
    UiController ui;
    EXPECT_EQ(ui.statusText(), QStringLiteral("Load a validated Device Profile to begin"));
    EXPECT_TRUE(ui.statusIsInitialPrompt());
    EXPECT_EQ(ui.liveMetrics(), QStringLiteral("Live stopped"));
    EXPECT_EQ(ui.sessionState(), QStringLiteral("NoProfile"));
    ASSERT_EQ(ui.eventLog().size(), 1);
    const QString expected =
        ui.cameraIds().isEmpty()
            ? QStringLiteral("No UVC camera detected; press Refresh after connecting one")
            : QStringLiteral("%1 UVC camera device(s) available").arg(ui.cameraIds().size());
    EXPECT_TRUE(ui.eventLog().front().endsWith(QStringLiteral("  ") + expected))
        << ui.eventLog().front().toStdString();
    EXPECT_EQ(ui.diagnosticsLog(), ui.eventLog());
}

}  // namespace
}  // namespace zk::app::test
