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
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

TEST(TextFileWriter, WritesUtf8AndReplacesTheWholeFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString text = QStringLiteral("Lärm 声 ノイズ\nline two\n");
    ASSERT_TRUE(writeTextFileAtomically(dir.path(), QStringLiteral("a.txt"), text));
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("a.txt"))), text.toUtf8());
    ASSERT_TRUE(writeTextFileAtomically(dir.path(), QStringLiteral("a.txt"), QStringLiteral("x")));
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("a.txt"))), QByteArray("x"));
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("a.txt")});
}

TEST(TextFileWriter, KeepsTheEarlierFileWhenTheDiskTakesOnlyPartOfTheText) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(writeTextFileAtomically(dir.path(), QStringLiteral("a.txt"), QStringLiteral("earlier")));
    // A text that fits the device's write buffer and one that bypasses it.
    for (const int size : {3000, 100000}) {
        SCOPED_TRACE(size);
        QString error;
        bool written = true;
        {
            FileSizeLimit limit(1000);
            ASSERT_TRUE(limit.active());
            written =
                writeTextFileAtomically(dir.path(), QStringLiteral("a.txt"), QString(size, u'x'), &error);
        }
        EXPECT_FALSE(written);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(readAll(dir.filePath(QStringLiteral("a.txt"))), QByteArray("earlier"));
        EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("a.txt")}) << "no temporary file is left";

        // Without an earlier file, nothing appears under the name.
        {
            FileSizeLimit limit(1000);
            written =
                writeTextFileAtomically(dir.path(), QStringLiteral("b.txt"), QString(size, u'y'), &error);
        }
        EXPECT_FALSE(written);
        EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("a.txt")});
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

    // A directory under the name stays a directory.
    ASSERT_TRUE(QDir().mkdir(QDir(inner).filePath(QStringLiteral("taken"))));
    EXPECT_FALSE(writeTextFileAtomically(inner, QStringLiteral("taken"), QStringLiteral("t")));
    EXPECT_TRUE(QFileInfo(QDir(inner).filePath(QStringLiteral("taken"))).isDir());

    ASSERT_TRUE(writeTextFileAtomically(inner, QStringLiteral("kept.txt"), QStringLiteral("kept")));
    WithoutPermissionOverride asUser;
    if (!makeReadOnly(inner)) {
        makeWritable(inner);
        GTEST_SKIP() << "folder modes do not bind for this process";
    }
    QString error;
    EXPECT_FALSE(writeTextFileAtomically(inner, QStringLiteral("kept.txt"), QStringLiteral("new"), &error));
    EXPECT_FALSE(error.isEmpty());
    makeWritable(inner);
    EXPECT_EQ(readAll(QDir(inner).filePath(QStringLiteral("kept.txt"))), QByteArray("kept"));
}

}  // namespace
}  // namespace zk::app::test
