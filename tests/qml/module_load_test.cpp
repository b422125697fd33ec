#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>

#include "message_capture.h"
#include "qml_test_context.h"

namespace {

const QString kModuleDir = QStringLiteral(":/qt/qml/SorvantaApp");

// A settings store of the test's own in Qt's test location, removed before and after.
class QmlModuleWithApplicationContext : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        QCoreApplication::setApplicationName(QString::fromLatin1(info->test_suite_name()) + u'.' +
                                             QString::fromLatin1(info->name()));
        ASSERT_TRUE(QSettings().fileName().contains(QStringLiteral("/.qttest/")))
            << QSettings().fileName().toStdString();
        QFile::remove(QSettings().fileName());
    }
    void TearDown() override { QFile::remove(QSettings().fileName()); }
};

struct ModuleType {
    QString name;
    QString file;
    bool singleton = false;
    bool plainObject = false;  // a QtObject: logic without an item, made as a page makes it
};

// The types the module declares, read from its qmldir as the engine reads it.
std::vector<ModuleType> readQmldir() {
    QFile file(kModuleDir + QStringLiteral("/qmldir"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    std::vector<ModuleType> types;
    const QRegularExpression line(QStringLiteral("^(singleton\\s+)?([A-Z]\\w*)\\s+1\\.0\\s+(\\S+\\.qml)$"));
    for (const QString& text : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const auto match = line.match(text.trimmed());
        if (!match.hasMatch()) continue;
        QFile qml(kModuleDir + QLatin1Char('/') + match.captured(3));
        const bool plain =
            qml.open(QIODevice::ReadOnly) &&
            QRegularExpression(QStringLiteral("^QtObject\\s*\\{"), QRegularExpression::MultilineOption)
                .match(QString::fromUtf8(qml.readAll()))
                .hasMatch();
        types.push_back({match.captured(2), match.captured(3), match.hasCaptured(1), plain});
    }
    return types;
}

TEST(QmlModule, QmldirDeclaresEveryQmlFileOfTheModule) {
    const auto types = readQmldir();
    ASSERT_FALSE(types.empty()) << "no qmldir under " << kModuleDir.toStdString();
    QSet<QString> declared;
    for (const auto& type : types) {
        EXPECT_EQ(type.file, type.name + QStringLiteral(".qml"));
        declared.insert(type.file);
    }
    const QStringList files = QDir(kModuleDir).entryList({QStringLiteral("*.qml")}, QDir::Files);
    EXPECT_EQ(QSet<QString>(files.begin(), files.end()), declared);
    EXPECT_TRUE(std::any_of(types.begin(), types.end(), [](const ModuleType& t) {
        return t.name == QLatin1String("Theme") && t.singleton;
    }));
    EXPECT_TRUE(QFile::exists(kModuleDir + QStringLiteral("/heatmap.frag.qsb")))
        << "the shader pack sits beside the QML files";
}

// Each type is created as the application creates it: with the application's own context objects, inside
// a host that stands where the main window stands for the pages (id "window" with the shared camera),
// shown (popups opened) and left to run a few frames; neither the engine nor Qt may report anything.
TEST_F(QmlModuleWithApplicationContext, EveryTypeLoadsWithoutAWarning) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const auto& type : readQmldir()) {
        SCOPED_TRACE(type.name.toStdString());
        QQmlEngine engine;
        engine.setOutputWarningsToStandardError(false);
        QStringList engineWarnings;
        QObject::connect(&engine, &QQmlEngine::warnings, [&](const QList<QQmlError>& errors) {
            for (const auto& error : errors) engineWarnings.append(error.toString());
        });
        zk::qmltest::MessageCapture capture;
        zk::qmltest::installApplicationContext(engine);

        const QString body =
            type.singleton ? QStringLiteral("Item { property var probe: %1; property color c: %1.bg }")
            : type.plainObject
                ? QStringLiteral("Item { id: window; %1 { id: probe } }")
                : QStringLiteral(
                      "Item { id: window; width: 640; height: 480\n"
                      "  property var appCamera: null\n"
                      "  property int currentWorkspace: 0\n"
                      "  %1 { id: probe; width: window.width; height: window.height }\n"
                      "  function openPopup() { if (typeof probe.open === 'function') probe.open() } }");
        const QByteArray source = "import QtQuick\nimport SorvantaApp\n" + body.arg(type.name).toUtf8();
        QQmlComponent component(&engine);
        component.setData(source, QUrl::fromLocalFile(dir.filePath(QStringLiteral("Probe.qml"))));
        QQuickWindow window;
        window.resize(640, 480);
        std::unique_ptr<QObject> object(component.create());
        ASSERT_NE(object, nullptr) << component.errorString().toStdString();
        auto* item = qobject_cast<QQuickItem*>(object.get());
        ASSERT_NE(item, nullptr);
        item->setParentItem(window.contentItem());
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        if (!type.singleton && !type.plainObject) QMetaObject::invokeMethod(item, "openPopup");
        QTest::qWait(50);
        window.grabWindow();
        QTest::qWait(50);

        EXPECT_TRUE(engineWarnings.isEmpty()) << engineWarnings.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(capture.messages().isEmpty()) << capture.messages().join(QLatin1Char('\n')).toStdString();
        object.reset();
    }
}

}  // namespace
