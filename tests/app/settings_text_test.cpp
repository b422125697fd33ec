// The plain "key = value" lines of the settings store, read back through Qt's own INI reader.
#include "app/settings_text.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRect>
#include <QSettings>
#include <QSize>
#include <QTemporaryDir>

#include "app/text_file_writer.h"

namespace zk::app::test {
namespace {

// Values a settings store can hold, with the texts that trip a naive writer; the truth is what Qt reads
// back from its own file of them.
TEST(SettingsText, ReadsBackThroughQtsIniReaderAsQtsOwnFileDoes) {
    const QList<std::pair<QString, QVariant>> values = {
        {QStringLiteral("ui/language"), QStringLiteral("ja_JP")},
        {QStringLiteral("frequency"), 1234.5},
        {QStringLiteral("heatmapColormap"), 2},
        {QStringLiteral("cameraMirror"), true},
        {QStringLiteral("profilePath"), QStringLiteral("/data/TM27, rev 2.device.json")},
        {QStringLiteral("quoted"), QStringLiteral("say \"hi\" \\ back\\slash")},
        {QStringLiteral("edges"), QStringLiteral("  padded  ")},
        {QStringLiteral("separators"), QStringLiteral("a;b=c")},
        {QStringLiteral("controls"), QStringLiteral("line\nnext\ttab\r\x01"
                                                    "1")},
        {QStringLiteral("at"), QStringLiteral("@Variant(not really)")},
        {QStringLiteral("empty"), QString()},
        {QStringLiteral("unicode"), QStringLiteral("声学相机 ノイズ 🎤")},
        {QStringLiteral("recentProjects"),
         QStringList{QStringLiteral("/p/one"), QStringLiteral("/p/two, too")}},
        {QStringLiteral("oneEntryList"), QVariantList{QStringLiteral("/p/only")}},
        {QStringLiteral("emptyList"), QStringList{}},
        {QStringLiteral("bytes"), QByteArray("\x00\xff raw", 6)},
        {QStringLiteral("size"), QSize(640, 480)},
        {QStringLiteral("rect"), QRect(1, 2, 3, 4)},
        {QStringLiteral("cameraFormat/usb-0000:00:14.0-1/width"), 1280},
        {QStringLiteral("key with space"), QStringLiteral("v")},
        {QStringLiteral("schlüssel"), QStringLiteral("v")},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString storePath = dir.filePath(QStringLiteral("store.ini"));
    {
        QSettings store(storePath, QSettings::IniFormat);
        for (const auto& [key, value] : values) store.setValue(key, value);
    }
    // Qt keeps the values of a file it wrote in memory, so its file is read under another name.
    ASSERT_TRUE(QFile::copy(storePath, dir.filePath(QStringLiteral("truth.ini"))));
    QSettings truth(dir.filePath(QStringLiteral("truth.ini")), QSettings::IniFormat);
    ASSERT_EQ(truth.allKeys().size(), values.size());

    ASSERT_TRUE(writeTextFileAtomically(dir.path(), QStringLiteral("lines.ini"), settingsStoreText(truth)));
    QSettings lines(dir.filePath(QStringLiteral("lines.ini")), QSettings::IniFormat);
    EXPECT_EQ(lines.status(), QSettings::NoError);
    EXPECT_EQ(lines.allKeys(), truth.allKeys());
    for (const QString& key : truth.allKeys())
        EXPECT_EQ(lines.value(key), truth.value(key)) << key.toStdString();
    // Ordinary values stay their own text.
    EXPECT_TRUE(settingsStoreText(truth).startsWith(QStringLiteral("at = @@Variant(not really)\n")));
    EXPECT_TRUE(settingsStoreText(truth).contains(QStringLiteral("\nui/language = ja_JP\n")));
}

}  // namespace
}  // namespace zk::app::test
