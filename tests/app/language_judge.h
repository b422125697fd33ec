#pragma once

// Whether a text a user reads is in the language of the interface: what is left of it in Latin letters
// once its names are taken out.

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <algorithm>

namespace zk::app::test {

// The words of Latin letters a text still holds once its names are taken out: runs of three letters
// or more that are not all capitals (acronyms such as UDP or UVC read the same in every language) nor
// a unit (dBFS). Hexadecimal runs (hashes) and the names are removed first, longest name first.
inline QStringList latinWords(QString text, QStringList names) {
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& name : names)
        if (!name.isEmpty()) text.replace(name, QStringLiteral(" "));
    static const QRegularExpression hex(QStringLiteral("[0-9a-f]{8,}"));
    text.replace(hex, QStringLiteral(" "));
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{3,}"));
    QStringList words;
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const QString w = it.next().captured();
        if (w != w.toUpper() && w != QLatin1String("dBFS")) words << w;
    }
    return words;
}

inline bool holdsCjk(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x3040; });
}

}  // namespace zk::app::test
