#include "app/i18n_manager.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QXmlStreamReader>
#include <memory>
#include <vector>

#include "message_capture.h"

namespace {

using zk::app::I18nManager;

struct Entry {
    QString context;
    QString source;
    QString translation;
    bool numerus = false;  // the translation is the first form of a count (%n)
};

// The finished messages of a translation source file, read straight from the XML: the truth that the
// compiled and embedded catalogue must give back.
std::vector<Entry> readTsFile(const QString& path) {
    std::vector<Entry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return entries;
    QXmlStreamReader xml(&file);
    QString context;
    Entry current;
    bool finished = false;
    bool numerus = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            numerus = xml.attributes().value("numerus") == QLatin1String("yes");
        } else if (xml.name() == QLatin1String("source")) {
            current = Entry{context, xml.readElementText(), {}, numerus};
        } else if (xml.name() == QLatin1String("translation")) {
            finished = xml.attributes().value("type").isEmpty();
            if (numerus) {
                while (!xml.atEnd() && !(xml.isStartElement() && xml.name() == QLatin1String("numerusform")))
                    xml.readNext();
            }
            current.translation = xml.readElementText();
            if (finished && !current.translation.isEmpty()) entries.push_back(current);
        }
    }
    return entries;
}

QString liveStopped() { return QCoreApplication::translate("UiController", "Live stopped"); }

class I18nManagerTest : public ::testing::Test {
  protected:
    QQmlEngine engine;
    I18nManager* manager = new I18nManager(QCoreApplication::instance(), &engine);
    void TearDown() override { manager->setLanguage("en"); }

    // A QML binding through the same catalogue: it changes only when the engine retranslates.
    std::unique_ptr<QObject> makeBinding() {
        QQmlComponent component(&engine);
        component.setData(
            "import QtQml\nQtObject { property string text: "
            "qsTranslate(\"UiController\", \"Live stopped\") }",
            QUrl("qrc:/binding.qml"));
        std::unique_ptr<QObject> object(component.create());
        if (!object) ADD_FAILURE() << component.errorString().toStdString();
        return object;
    }
};

TEST_F(I18nManagerTest, EveryFinishedMessageOfBothCataloguesTranslatesAfterTheSwitch) {
    for (const char* code : {"zh_CN", "ja_JP"}) {
        const std::vector<Entry> entries =
            readTsFile(QStringLiteral(ZK_I18N_DIR "/sorvanta_") + code + QStringLiteral(".ts"));
        ASSERT_GT(entries.size(), 10u) << code;
        manager->setLanguage(code);
        for (const Entry& e : entries) {
            // The catalogues have one form per count; 2 stands for any.
            const int count = e.numerus ? 2 : -1;
            const QString expected =
                e.numerus ? QString(e.translation).replace(QStringLiteral("%n"), QStringLiteral("2"))
                          : e.translation;
            EXPECT_EQ(QCoreApplication::translate(e.context.toUtf8().constData(),
                                                  e.source.toUtf8().constData(), nullptr, count),
                      expected)
                << code << ": " << e.source.toStdString();
        }
    }
    manager->setLanguage("zh_CN");
    EXPECT_EQ(liveStopped(), QString::fromUtf8("实时已停止"));
}

TEST_F(I18nManagerTest, EnglishAndEmptyRemoveTheTranslationRetranslateAndEmit) {
    std::unique_ptr<QObject> binding = makeBinding();
    ASSERT_TRUE(binding);
    QSignalSpy spy(manager, &I18nManager::languageChanged);
    for (const char* code : {"en", ""}) {
        manager->setLanguage("zh_CN");
        ASSERT_NE(liveStopped(), QString("Live stopped"));
        EXPECT_EQ(binding->property("text").toString(), liveStopped());
        manager->setLanguage(code);
        EXPECT_EQ(liveStopped(), QString("Live stopped"));
        EXPECT_EQ(binding->property("text").toString(), QString("Live stopped"));
        ASSERT_FALSE(spy.isEmpty());
        EXPECT_EQ(spy.takeLast().at(0).toString(), QString(code));
    }
    EXPECT_EQ(spy.size(), 2);  // the two zh_CN switches left their own emission each
}

TEST_F(I18nManagerTest, MissingTranslationWarnsKeepsSourceTextsAndStillEmits) {
    manager->setLanguage("ja_JP");
    ASSERT_NE(liveStopped(), QString("Live stopped"));
    QSignalSpy spy(manager, &I18nManager::languageChanged);
    MessageCapture capture;
    manager->setLanguage("xx_XX");
    const QStringList warnings = capture.messages(QtWarningMsg);
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_EQ(warnings.front(),
              QString("i18n: translation missing for xx_XX -- source strings stay visible"));
    EXPECT_EQ(liveStopped(), QString("Live stopped"));
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy.front().at(0).toString(), QString("xx_XX"));
}

TEST_F(I18nManagerTest, OnlyOneTranslatorIsEverInstalled) {
    // Switching back and forth must replace, never stack: a stacked zh_CN would still win after ja_JP.
    manager->setLanguage("zh_CN");
    manager->setLanguage("ja_JP");
    manager->setLanguage("zh_CN");
    manager->setLanguage("ja_JP");
    EXPECT_EQ(liveStopped(), QString::fromUtf8("ライブ停止中"));
    manager->setLanguage("en");
    EXPECT_EQ(liveStopped(), QString("Live stopped"));
}

}  // namespace
