#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <set>
#include <vector>

namespace {

struct CatalogueState {
    int finished = 0;
    QStringList untranslated;  // texts of the sources without a finished translation
    QString error;             // where the file could not be read to its end
};

// Whether the translation the reader stands on is empty: its text, or for a count (%n) any of its
// forms. Leaves the reader on the translation's end.
bool emptyTranslation(QXmlStreamReader& xml) {
    QString text;
    int forms = 0;
    bool emptyForm = false;
    while (xml.readNext() != QXmlStreamReader::EndElement || xml.name() != QLatin1String("translation")) {
        if (xml.atEnd()) return true;
        if (xml.isCharacters()) text += xml.text();
        if (xml.isStartElement() && xml.name() == QLatin1String("numerusform")) {
            ++forms;
            emptyForm = emptyForm || xml.readElementText().isEmpty();
        }
    }
    return forms > 0 ? emptyForm : text.isEmpty();
}

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
            const bool empty = emptyTranslation(xml);
            // Texts that no source holds any more (vanished, obsolete) do no harm.
            if (type == QLatin1String("vanished") || type == QLatin1String("obsolete")) continue;
            if (!type.isEmpty() || empty) {
                state.untranslated << source;
            } else {
                ++state.finished;
            }
        }
    }
    if (xml.hasError())
        state.error = QStringLiteral("%1:%2: %3").arg(path).arg(xml.lineNumber()).arg(xml.errorString());
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
        lupdate.start(ZK_LUPDATE,
                      QStringList{"-locations", "none", "-extensions", "cpp,h,qml", "-I", ZK_I18N_DIR "/.."} +
                          dirs + QStringList{"-ts", copy});
        ASSERT_TRUE(lupdate.waitForFinished(60000));
        ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAllStandardError().toStdString();
        const CatalogueState state = inspect(copy);
        EXPECT_TRUE(state.error.isEmpty()) << state.error.toStdString();
        EXPECT_GT(state.finished, 0) << code;
        EXPECT_TRUE(state.untranslated.isEmpty())
            << code << ": " << state.untranslated.join(" | ").toStdString();
    }
}

struct Token {
    enum Kind { Word, Text, Mark } kind;
    QString text;  // a Text token holds the literal's characters as written, escapes included
    int line;
};

// The tokens of a C++ source with its comments dropped: identifiers and numbers, string literals (raw
// ones too) and single punctuation marks. Character literals become marks.
std::vector<Token> tokenize(const QString& source) {
    std::vector<Token> tokens;
    int line = 1;
    qsizetype i = 0;
    const qsizetype n = source.size();
    const auto countLines = [&](qsizetype from, qsizetype to) {
        for (qsizetype k = from; k < to; ++k) line += source[k] == u'\n' ? 1 : 0;
    };
    while (i < n) {
        const QChar c = source[i];
        if (source.mid(i, 2) == QLatin1String("//")) {
            while (i < n && source[i] != u'\n') ++i;
        } else if (source.mid(i, 2) == QLatin1String("/*")) {
            const qsizetype end = source.indexOf(QLatin1String("*/"), i + 2);
            const qsizetype stop = end < 0 ? n : end + 2;
            countLines(i, stop);
            i = stop;
        } else if (c == u'R' && i + 1 < n && source[i + 1] == u'"') {
            const qsizetype open = source.indexOf(u'(', i + 2);
            const QString close = u')' + source.mid(i + 2, open - i - 2) + u'"';
            const qsizetype end = source.indexOf(close, open);
            const qsizetype stop = end < 0 ? n : end + close.size();
            tokens.push_back({Token::Text, source.mid(open + 1, end - open - 1), line});
            countLines(i, stop);
            i = stop;
        } else if (c == u'"' || c == u'\'') {
            qsizetype k = i + 1;
            while (k < n && source[k] != c) k += source[k] == u'\\' ? 2 : 1;
            tokens.push_back({c == u'"' ? Token::Text : Token::Mark, source.mid(i + 1, k - i - 1), line});
            i = k + 1;
        } else if (c.isLetterOrNumber() || c == u'_') {
            qsizetype k = i;
            while (k < n && (source[k].isLetterOrNumber() || source[k] == u'_')) ++k;
            tokens.push_back({Token::Word, source.mid(i, k - i), line});
            i = k;
        } else {
            if (c == u'\n') ++line;
            if (!c.isSpace()) tokens.push_back({Token::Mark, QString(c), line});
            ++i;
        }
    }
    return tokens;
}

// The index after the parenthesis that closes the one at `open`.
std::size_t closing(const std::vector<Token>& tokens, std::size_t open) {
    int depth = 0;
    for (std::size_t k = open; k < tokens.size(); ++k) {
        if (tokens[k].kind != Token::Mark) continue;
        depth += tokens[k].text == u'(' ? 1 : tokens[k].text == u')' ? -1 : 0;
        if (depth == 0) return k + 1;
    }
    return tokens.size();
}

// Every call of a function that puts a text on the status line, in the event log, in the device log or
// on a busy label, whose arguments hold a literal with a word in it outside a translation call. The
// functions are those of the controller, its camera control and the device controller.
QStringList untranslatedReportLiterals(const QString& file) {
    static const std::set<QString> sinks{"reportEvent",
                                         "reportAdvisory",
                                         "reportLocalized",
                                         "setStatusText",
                                         "setAdvisoryStatus",
                                         "appendEventLog",
                                         "showStatus",
                                         "countLiveError",
                                         "refuseProjectChange",
                                         "endRecordingAtBreak",
                                         "endRecordingEarly",
                                         "onRecordingEnded",
                                         "report",
                                         "appendLog",
                                         "abortAutoNet",
                                         "beginAction"};
    static const std::set<QString> translators{"tr", "translate", "QT_TR_NOOP", "QT_TRANSLATE_NOOP",
                                               "QT_TRANSLATE_NOOP3"};
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{3,}"));
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return {file + ": unreadable"};
    const std::vector<Token> tokens = tokenize(QString::fromUtf8(in.readAll()));
    QStringList found;
    for (std::size_t k = 0; k + 1 < tokens.size(); ++k) {
        if (tokens[k].kind != Token::Word || !sinks.contains(tokens[k].text) || tokens[k + 1].text != u'(')
            continue;
        const std::size_t end = closing(tokens, k + 1);
        for (std::size_t a = k + 2; a < end; ++a) {
            if (tokens[a].kind == Token::Word && translators.contains(tokens[a].text) && a + 1 < end &&
                tokens[a + 1].text == u'(') {
                a = closing(tokens, a + 1) - 1;
            } else if (tokens[a].kind == Token::Text && tokens[a].text.contains(word)) {
                found << QStringLiteral("%1:%2: %3(\"%4\")")
                             .arg(file)
                             .arg(tokens[a].line)
                             .arg(tokens[k].text, tokens[a].text);
            }
        }
    }
    return found;
}

TEST(TranslationCatalogue, NoReportCallPassesAnUntranslatedLiteral) {
    QStringList found;
    int files = 0;
    for (const char* dir : {"app", "camera", "device"}) {
        QDirIterator it(QStringLiteral(ZK_I18N_DIR "/../") + dir, {"*.cpp", "*.h"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            found += untranslatedReportLiterals(it.next());
            ++files;
        }
    }
    EXPECT_GT(files, 50);
    EXPECT_TRUE(found.isEmpty()) << found.join(u'\n').toStdString();
}

// The scan itself: what a report call may and may not hold.
TEST(TranslationCatalogue, TheReportScanTellsATranslatedTextFromAnUntranslatedOne) {
    QTemporaryDir tmp;
    const QString file = tmp.filePath("sample.cpp");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(R"cpp(// reportEvent(QStringLiteral("a comment"));
                    void f() {
                        reportEvent(UiText::tr("Live acquisition running from %1").arg(QStringLiteral("%1: %2")));
                        ui.report(cond ? QCoreApplication::translate("UiController", "(done) in time") : UiText::tr("x"));
                        appendLog(tr("write(%1) %2").arg(QString::fromLatin1(")\"(")));
                        setStatusText(QStringLiteral("Replay paused at %1 s").arg(f("(")));
                        reportEvent(count == 1 ? UiText::tr("one") : QLatin1String(R"(two
lines)"));
                        reportUnreadableOnce(QStringLiteral("not a report call"));
                    }
    )cpp");
    out.close();
    EXPECT_EQ(untranslatedReportLiterals(file),
              (QStringList{file + R"(:6: setStatusText("Replay paused at %1 s"))",
                           file + ":7: reportEvent(\"two\nlines\")"}));
}

}  // namespace
