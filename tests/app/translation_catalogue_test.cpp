#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

namespace {

struct CatalogueState {
    int finished = 0;
    QStringList untranslated;  // texts of the sources without a finished translation
    QString error;             // why the catalogue could not be read to its end
};

CatalogueState inspect(const QString& path) {
    CatalogueState state;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return state;
    QXmlStreamReader xml(&file);
    QString source;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QString type = xml.attributes().value("type").toString();
            // A plural holds its forms as child elements; reading it as plain text would end the parse.
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            // Texts that no source holds any more (vanished, obsolete) do no harm.
            if (type == QLatin1String("vanished") || type == QLatin1String("obsolete")) continue;
            if (!type.isEmpty() || text.isEmpty()) {
                state.untranslated << source;
            } else {
                ++state.finished;
            }
        }
    }
    state.error = xml.hasError() ? xml.errorString() : QString();
    return state;
}

// Runs lupdate over the translated source folders into a copy of each committed catalogue: a text
// added to the sources without a translation shows up there as unfinished.
TEST(TranslationCatalogue, EverySourceTextHasAFinishedTranslationInBothLanguages) {
    const QStringList dirs = QString(ZK_TRANSLATED_DIRS).split('|', Qt::SkipEmptyParts);
    ASSERT_FALSE(dirs.isEmpty());
    for (const char* code : {"zh_CN", "ja_JP"}) {
        QTemporaryDir tmp;
        const QString copy = tmp.path() + "/catalogue.ts";
        ASSERT_TRUE(QFile::copy(QStringLiteral(ZK_I18N_DIR "/sorvanta_") + code + ".ts", copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        QProcess lupdate;
        lupdate.start(ZK_LUPDATE, QStringList{"-locations", "none", "-extensions", "cpp,h,qml"} + dirs +
                                      QStringList{"-ts", copy});
        ASSERT_TRUE(lupdate.waitForFinished(60000));
        ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAllStandardError().toStdString();
        const CatalogueState state = inspect(copy);
        EXPECT_TRUE(state.error.isEmpty()) << code << ": " << state.error.toStdString();
        EXPECT_GT(state.finished, 0) << code;
        EXPECT_TRUE(state.untranslated.isEmpty())
            << code << ": " << state.untranslated.join(" | ").toStdString();
    }
}

}  // namespace
