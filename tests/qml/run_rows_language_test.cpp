// The rows of the Analysis page's run list in Chinese and Japanese: the level in its unit and the mode
// of the recompute, from the cache too, are words of the interface.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <memory>

#include "app/i18n_manager.h"
#include "item_search_support.h"
#include "language_judge.h"
#include "message_capture.h"
#include "qml_test_context.h"

namespace {

QVariantMap runRow(const char* id, const char* mode, double level, const char* unit) {
    return {{"id", id},
            {"valid", true},
            {"algorithm", "DAS"},
            {"frequencyHz", 8062.5},
            {"bandBinCount", 1},
            {"frameSize", 1024},
            {"hopSize", 512},
            {"gridStepDeg", 2.0},
            {"peakAzimuth", 10.0},
            {"peakElevation", -5.0},
            {"peakDb", 0.0},
            {"peakLevel", level},
            {"peakLevelUnit", unit},
            {"mapAvailable", true},
            {"mode", mode}};
}

class RunRowsIn : public ::testing::TestWithParam<const char*> {};

TEST_P(RunRowsIn, ReadInTheLanguageOfTheInterface) {
    zk::qmltest::MessageCapture capture;
    QQmlEngine engine;
    const zk::qmltest::QmlTestContext context = zk::qmltest::installQmlTestContext(engine);
    zk::app::I18nManager i18n(QCoreApplication::instance(), &engine);
    QQmlComponent component(&engine);
    component.setData(
        "import QtQuick\nimport SorvantaApp\n"
        "Window { width: 1400; height: 900; visible: true; AnalysisPage { anchors.fill: parent } }",
        QUrl(QStringLiteral("qrc:/probe/RunRows.qml")));
    std::unique_ptr<QQuickWindow> window(qobject_cast<QQuickWindow*>(component.create()));
    ASSERT_NE(window, nullptr) << component.errorString().toStdString();
    context.ui->setProperty("hasSelectedMeasurement", true);
    context.ui->setProperty("analysisRuns", QVariantList{runRow("a_full", "full", -14.3, "dBFS"),
                                                         runRow("a_fast", "fast", 0.0, "dB re peak"),
                                                         runRow("a_legacy", "", 0.0, "")});
    i18n.setLanguage(QLatin1String(GetParam()));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));

    const auto peakOf = [&](const char* row) -> QString {
        QQuickItem* item = zk::qmltest::findItem(window->contentItem(), QLatin1String(row));
        QQuickItem* peak = item ? zk::qmltest::findItem(item, QStringLiteral("runPeak")) : nullptr;
        return peak ? peak->property("text").toString() : QString();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return !peakOf("runRow2").isEmpty(); })) << "the rows are shown";
    const QStringList rows{peakOf("runRow0"), peakOf("runRow1"), peakOf("runRow2")};
    for (const QString& text : rows) {
        EXPECT_TRUE(zk::app::test::holdsCjk(text)) << text.toStdString();
        EXPECT_EQ(zk::app::test::latinWords(text, {}), QStringList()) << text.toStdString();
    }
    EXPECT_TRUE(rows[0].contains(QStringLiteral("-14.3 dBFS"))) << rows[0].toStdString();
    EXPECT_FALSE(rows[1].contains(QStringLiteral("fast"))) << rows[1].toStdString();
    EXPECT_NE(rows[0], rows[1]);
    i18n.setLanguage(QStringLiteral("en"));
    EXPECT_EQ(peakOf("runRow1").toStdString(),
              "peak 10.0° / -5.0° · 0.0 dB re peak · map saved · fast recompute");
    EXPECT_EQ(peakOf("runRow2").toStdString(), "peak 10.0° / -5.0° · 0.0 dB · map saved · legacy run");
    window.reset();
    EXPECT_TRUE(capture.messages().isEmpty()) << capture.messages().join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Languages, RunRowsIn, ::testing::Values("zh_CN", "ja_JP"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
