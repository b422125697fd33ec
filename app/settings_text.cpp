#include "app/settings_text.h"

#include <QDataStream>
#include <QIODevice>
#include <QPoint>
#include <QRect>
#include <QSettings>
#include <QSize>
#include <QStringList>

namespace zk::app {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool isHexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

QString hex(uint value) { return QString::number(value, 16); }

// The text of one value before escaping, as Qt's INI writer forms it: numbers, booleans and strings
// as their own text, a few geometry types in @Type() form, the rest as a serialised @Variant().
QString plainValueText(const QVariant& value) {
    switch (value.metaType().id()) {
        case QMetaType::UnknownType:
            return QStringLiteral("@Invalid()");
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            return QStringLiteral("@ByteArray(") + QLatin1String(bytes.constData(), bytes.size()) + u')';
        }
        case QMetaType::QString:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Bool:
        case QMetaType::Float:
        case QMetaType::Double: {
            QString text = value.toString();
            if (text.contains(QChar::Null)) return QStringLiteral("@String(") + text + u')';
            if (text.startsWith(u'@')) text.prepend(u'@');
            return text;
        }
        case QMetaType::QRect: {
            const QRect r = value.toRect();
            return QStringLiteral("@Rect(%1 %2 %3 %4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
        }
        case QMetaType::QSize: {
            const QSize s = value.toSize();
            return QStringLiteral("@Size(%1 %2)").arg(s.width()).arg(s.height());
        }
        case QMetaType::QPoint: {
            const QPoint p = value.toPoint();
            return QStringLiteral("@Point(%1 %2)").arg(p.x()).arg(p.y());
        }
        default: {
            const bool dateTime = value.metaType().id() == QMetaType::QDateTime;
            QByteArray bytes;
            {
                QDataStream stream(&bytes, QIODevice::WriteOnly);
                stream.setVersion(dateTime ? QDataStream::Qt_5_6 : QDataStream::Qt_4_0);
                stream << value;
            }
            return QLatin1String(dateTime ? "@DateTime(" : "@Variant(") +
                   QLatin1String(bytes.constData(), bytes.size()) + u')';
        }
    }
}

// Qt's INI escaping of one text: C escapes for control characters, backslash before quotes and
// backslashes, and quotes around a text with list or key separators or edge blanks. Serialised
// values are byte strings: their bytes above 0x7E are escaped too, other texts keep their characters.
QString escapedText(const QString& text) {
    const bool bytesOnly = text.startsWith(QLatin1String("@ByteArray(")) ||
                           text.startsWith(QLatin1String("@Variant(")) ||
                           text.startsWith(QLatin1String("@DateTime("));
    QString out;
    out.reserve(text.size() + text.size() / 2);
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c == u';' || c == u',' || c == u'=') needsQuotes = true;
        // After a \x or \0 escape a hex digit would extend it, so it is escaped as well.
        if (escapeNextIfDigit && isHexDigit(c)) {
            out += QStringLiteral("\\x") + hex(c);
            continue;
        }
        escapeNextIfDigit = false;
        switch (c) {
            case u'\0':
                out += QStringLiteral("\\0");
                escapeNextIfDigit = true;
                break;
            case u'\a':
                out += QStringLiteral("\\a");
                break;
            case u'\b':
                out += QStringLiteral("\\b");
                break;
            case u'\f':
                out += QStringLiteral("\\f");
                break;
            case u'\n':
                out += QStringLiteral("\\n");
                break;
            case u'\r':
                out += QStringLiteral("\\r");
                break;
            case u'\t':
                out += QStringLiteral("\\t");
                break;
            case u'\v':
                out += QStringLiteral("\\v");
                break;
            case u'"':
            case u'\\':
                out += u'\\';
                out += qc;
                break;
            default:
                if (c <= 0x1F || (c >= 0x7F && bytesOnly)) {
                    out += QStringLiteral("\\x") + hex(c);
                    escapeNextIfDigit = true;
                } else {
                    out += qc;
                }
        }
    }
    if (needsQuotes || out.startsWith(u' ') || out.endsWith(u' ')) return u'"' + out + u'"';
    return out;
}

// A QStringList, and a QVariantList of any length but one, are written as a comma-separated list (an
// empty one as @Invalid()); a one-entry QVariantList keeps its type through the serialised form.
bool writtenAsList(const QVariant& value) {
    const int type = value.metaType().id();
    return type == QMetaType::QStringList || (type == QMetaType::QVariantList && value.toList().size() != 1);
}

}  // namespace

QString settingsKeyText(const QString& key) {
    QString out;
    out.reserve(key.size());
    for (const QChar qc : key) {
        const char16_t c = qc.unicode();
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
            c == u'-' || c == u'.' || c == u'/') {
            out += qc;
        } else if (c <= 0xFF) {
            out += u'%';
            out += QLatin1Char(kHexDigits[c / 16]);
            out += QLatin1Char(kHexDigits[c % 16]);
        } else {
            out += QStringLiteral("%U");
            for (int shift = 12; shift >= 0; shift -= 4) out += QLatin1Char(kHexDigits[(c >> shift) & 0xF]);
        }
    }
    return out;
}

QString settingsValueText(const QVariant& value) {
    if (!writtenAsList(value)) return escapedText(plainValueText(value));
    const QVariantList items = value.toList();
    if (items.isEmpty()) return QStringLiteral("@Invalid()");
    QStringList parts;
    parts.reserve(items.size());
    for (const QVariant& item : items) parts.append(escapedText(plainValueText(item)));
    return parts.join(QStringLiteral(", "));
}

QString settingsStoreText(const QSettings& store) {
    QString text;
    for (const QString& key : store.allKeys()) {
        text += settingsKeyText(key) + QStringLiteral(" = ") + settingsValueText(store.value(key)) + u'\n';
    }
    return text;
}

}  // namespace zk::app
