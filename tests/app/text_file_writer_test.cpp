// The save-file writer: whole texts under the final name, the earlier file kept on any failure.
#include "app/text_file_writer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "file_fault_support.h"

namespace zk::app::test {
namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

TEST(TextFileWriter, KeepsTheEarlierFileWhenTheDiskTakesOnlyPartOfTheText) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString text = QStringLiteral("Lärm 声 ノイズ\n");
    ASSERT_TRUE(writeTextFileAtomically(dir.path(), QStringLiteral("a.txt"), text));
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("a.txt"))), text.toUtf8());
    // A text that fits the device's write buffer and one that bypasses it; a new name and a taken one.
    for (const int size : {3000, 100000}) {
        for (const char* name : {"a.txt", "b.txt"}) {
            SCOPED_TRACE(std::to_string(size) + " bytes into " + name);
            QString error;
            bool written = true;
            {
                FileSizeLimit limit(1000);
                ASSERT_TRUE(limit.active());
                written = writeTextFileAtomically(dir.path(), QString::fromLatin1(name), QString(size, u'x'),
                                                  &error);
            }
            EXPECT_FALSE(written);
            EXPECT_FALSE(error.isEmpty());
            EXPECT_EQ(readAll(dir.filePath(QStringLiteral("a.txt"))), text.toUtf8());
            EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("a.txt")})
                << "no temporary file is left";
        }
    }
}

TEST(TextFileWriter, RefusesNamesThatLeaveTheFolderAndFoldersItMayNotWrite) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString inner = dir.filePath(QStringLiteral("inner"));
    ASSERT_TRUE(QDir().mkdir(inner));
    for (const char* name : {"../escape.txt", "sub/a.txt", "", ".", "..", "..\\escape.txt"}) {
        QString error;
        EXPECT_FALSE(writeTextFileAtomically(inner, QString::fromLatin1(name), QStringLiteral("t"), &error))
            << name;
        EXPECT_FALSE(error.isEmpty()) << name;
    }
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("inner")});
    EXPECT_TRUE(entries(inner).isEmpty());

    ASSERT_TRUE(writeTextFileAtomically(inner, QStringLiteral("kept.txt"), QStringLiteral("kept")));
    bool refused = false;
    {
        WithoutPermissionOverride asUser;
        if (makeReadOnly(inner))
            refused = !writeTextFileAtomically(inner, QStringLiteral("kept.txt"), QStringLiteral("new"));
    }
    makeWritable(inner);
    EXPECT_EQ(readAll(QDir(inner).filePath(QStringLiteral("kept.txt"))), QByteArray("kept"));
    EXPECT_TRUE(refused) << "a read-only folder is refused";
}

}  // namespace
}  // namespace zk::app::test
