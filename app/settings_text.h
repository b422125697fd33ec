#pragma once

#include <QString>
#include <QVariant>

class QSettings;

namespace zk::app {

// The settings store as plain lines "key = value\n", one per key in the store's key order. An ordinary
// value reads as its own text; a value that would not survive as bare text (list separators, quotes,
// edge blanks, control characters, lists, types without a text form) is escaped the way Qt's INI
// format escapes it, so the file read through QSettings in IniFormat gives back what the store holds.
QString settingsStoreText(const QSettings& store);

// One key and one value in the forms used by settingsStoreText.
QString settingsKeyText(const QString& key);
QString settingsValueText(const QVariant& value);

}  // namespace zk::app
