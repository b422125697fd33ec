#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QTranslator>
#include <QUrl>
#include <memory>

#include "qml_test_context.h"

namespace {

// Answers only for the contexts and texts it knows, as a loaded catalogue does.
class MarkingTranslator : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char*, int) const override {
        const QString key = QString::fromUtf8(context) + QLatin1Char('|') + QString::fromUtf8(source);
        if (key == QLatin1String("Theme|Light")) return QStringLiteral("[Light]");
        if (key == QLatin1String("ThemedDialog|Cancel")) return QStringLiteral("[Cancel]");
        return {};
    }
    bool isEmpty() const override { return false; }
};

// Texts are looked up with the file's type name as context, and a language switch reaches open bindings.
TEST(QmlTranslations, TypeNameIsTheContextAndBindingsRetranslate) {
    QQmlEngine engine;
    zk::qmltest::installQmlTestContext(engine);
    QQmlComponent component(&engine);
    component.setData(
        "import QtQuick\nimport QtQuick.Controls\nimport SorvantaApp\n"
        "Item { property string light: Theme.themeNames.light\n"
        "  property string cancel: dialog.standardButtonText(DialogButtonBox.RejectRole)\n"
        "  ThemedDialog { id: dialog; standardButtons: Dialog.Ok | Dialog.Cancel } }",
        QUrl(QStringLiteral("qrc:/probe/Translations.qml")));
    std::unique_ptr<QObject> probe(component.create());
    ASSERT_NE(probe, nullptr) << component.errorString().toStdString();
    EXPECT_EQ(probe->property("light").toString(), QStringLiteral("Light"));
    EXPECT_EQ(probe->property("cancel").toString(), QStringLiteral("Cancel"));

    MarkingTranslator translator;
    QCoreApplication::installTranslator(&translator);
    engine.retranslate();
    EXPECT_EQ(probe->property("light").toString(), QStringLiteral("[Light]"));
    EXPECT_EQ(probe->property("cancel").toString(), QStringLiteral("[Cancel]"));
    QCoreApplication::removeTranslator(&translator);
}

}  // namespace
