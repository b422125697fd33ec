// The file picker's services on a temporary tree, and the path containment test they and the
// Measurement list rely on.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <filesystem>

#include "app/file_paths.h"
#include "app/ui_controller.h"
#include "app_test_support.h"

namespace zk::app::test {
namespace {

namespace fs = std::filesystem;

using FileBrowse = ControllerSettingsTest;

void touch(const QString& path) { ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly)) << path.toStdString(); }

// Every created or renamed folder must be a direct child of the folder it was asked for.
void expectChildOf(const QString& parent, const QVariantMap& result) {
    const QString path = result.value(QStringLiteral("path")).toString();
    EXPECT_TRUE(isPathWithin(parent, path)) << path.toStdString();
    EXPECT_EQ(QFileInfo(path).absolutePath(), QDir(parent).absolutePath()) << path.toStdString();
    EXPECT_TRUE(QFileInfo(path).isDir()) << path.toStdString();
}

TEST_F(FileBrowse, ListingGivesCleanPathsFoldersAndOnlyTheFilteredFiles) {
    QTemporaryDir tmp;
    const QDir root(tmp.path());
    for (const char* name : {"beta", "Alpha", ".hidden"}) ASSERT_TRUE(root.mkdir(name));
    for (const char* name : {"x.json", ".h.json", "Y.JSON", "notes.txt"}) touch(root.filePath(name));
    UiController ui;

    const QVariantMap folders = ui.browseListDir(tmp.path() + QStringLiteral("//beta/./.."), {});
    ASSERT_TRUE(folders.value("ok").toBool());
    EXPECT_EQ(folders.value("path").toString(), QDir::cleanPath(tmp.path()));
    EXPECT_EQ(folders.value("parent").toString(), QFileInfo(tmp.path()).absolutePath());
    EXPECT_EQ(folders.value("dirs").toStringList(), (QStringList{".hidden", "Alpha", "beta"}));
    EXPECT_TRUE(folders.value("files").toStringList().isEmpty()) << "no filter lists folders only";

    // Wildcards match without regard to letter case, as on the file systems the patterns come from.
    const QVariantMap json = ui.browseListDir(tmp.path(), {QStringLiteral("*.json")});
    EXPECT_EQ(json.value("files").toStringList(), (QStringList{".h.json", "x.json", "Y.JSON"}));
    EXPECT_EQ(ui.browseListDir(tmp.path(), {"*.txt", "x.*"}).value("files").toStringList(),
              (QStringList{"notes.txt", "x.json"}));

    const QVariantMap root2 = ui.browseListDir(QStringLiteral("/"), {});
    EXPECT_TRUE(root2.value("ok").toBool());
    EXPECT_EQ(root2.value("parent").toString(), QString());

    for (const QString& bad : {QString(), root.filePath("missing"), root.filePath("x.json")}) {
        const QVariantMap failed = ui.browseListDir(bad, {});
        EXPECT_EQ(failed, (QVariantMap{{"ok", false}})) << bad.toStdString();
    }
    const QStringList drives = ui.browseDrives();
    EXPECT_TRUE(drives.contains(QStringLiteral("/")));
    EXPECT_EQ(drives.size(), QSet<QString>(drives.begin(), drives.end()).size());
}

TEST_F(FileBrowse, CreatedFoldersTakeAFreeCleanNameInsideTheParent) {
    QTemporaryDir tmp;
    UiController ui;
    const QVariantMap colon = ui.browseCreateDir(tmp.path(), QStringLiteral(" a:b "));
    EXPECT_EQ(colon.value("name").toString(), QStringLiteral("ab"));
    expectChildOf(tmp.path(), colon);

    for (const char* expected : {"New Folder", "New Folder (2)", "New Folder (3)"}) {
        const QVariantMap blank = ui.browseCreateDir(tmp.path(), QStringLiteral("   "));
        ASSERT_TRUE(blank.value("ok").toBool());
        EXPECT_EQ(blank.value("name").toString(), QString::fromLatin1(expected));
        expectChildOf(tmp.path(), blank);
    }
    // Names that would climb or point elsewhere stay children of the parent.
    for (const char* name : {"..", "../escape", "/etc", ".", "..\\..\\up"}) {
        const QVariantMap made = ui.browseCreateDir(tmp.path(), QString::fromLatin1(name));
        ASSERT_TRUE(made.value("ok").toBool()) << name;
        expectChildOf(tmp.path(), made);
    }
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(tmp.path()).absolutePath() + QStringLiteral("/escape")));
    EXPECT_EQ(ui.browseCreateDir(QString(), QStringLiteral("x")), (QVariantMap{{"ok", false}}));
    EXPECT_EQ(ui.browseCreateDir(tmp.filePath(QStringLiteral("missing")), QStringLiteral("x")),
              (QVariantMap{{"ok", false}}));
}

TEST_F(FileBrowse, RenameRefusesBadNamesAndTakenOnesAndStaysInTheParent) {
    QTemporaryDir tmp;
    const QDir root(tmp.path());
    ASSERT_TRUE(root.mkdir(QStringLiteral("old")));
    ASSERT_TRUE(root.mkdir(QStringLiteral("taken")));
    touch(root.filePath(QStringLiteral("old/keep.txt")));
    const QString old = root.filePath(QStringLiteral("old"));
    UiController ui;

    EXPECT_EQ(ui.browseRenameDir(old, QStringLiteral("  ")),
              (QVariantMap{{"ok", false}, {"error", "empty"}}));
    for (const char* bad : {"..", ".", "a/b", "a\\b", "c:", "what?", "<x>", "p|q", "\"q\"", "st*r"}) {
        EXPECT_EQ(ui.browseRenameDir(old, QString::fromLatin1(bad)),
                  (QVariantMap{{"ok", false}, {"error", "invalid"}}))
            << bad;
    }
    EXPECT_EQ(ui.browseRenameDir(root.filePath(QStringLiteral("missing")), QStringLiteral("x")),
              (QVariantMap{{"ok", false}}));
    EXPECT_EQ(ui.browseRenameDir(old, QStringLiteral("taken")),
              (QVariantMap{{"ok", false}, {"error", "exists"}}));

    const QVariantMap same = ui.browseRenameDir(old + QStringLiteral("/"), QStringLiteral(" old "));
    EXPECT_TRUE(same.value("ok").toBool());
    EXPECT_EQ(same.value("path").toString(), QDir::cleanPath(old));

    const QVariantMap renamed = ui.browseRenameDir(old, QStringLiteral(" new name "));
    ASSERT_TRUE(renamed.value("ok").toBool());
    EXPECT_EQ(renamed.value("name").toString(), QStringLiteral("new name"));
    expectChildOf(tmp.path(), renamed);
    EXPECT_TRUE(QFileInfo::exists(renamed.value("path").toString() + QStringLiteral("/keep.txt")));
    EXPECT_FALSE(QFileInfo::exists(old));
}

TEST(PathWithin, ComparesResolvedPathsElementByElement) {
    QTemporaryDir tmp;
    const fs::path base = fs::path(tmp.path().toStdString()) / "project";
    fs::create_directories(base / "measurements" / "m_1");
    fs::create_directories(base.parent_path() / "projector");
    EXPECT_TRUE(isPathWithin(base, base));
    EXPECT_TRUE(isPathWithin(base, base / "measurements" / "m_1"));
    EXPECT_TRUE(isPathWithin(base, base / "not" / "yet"));
    EXPECT_FALSE(isPathWithin(base / "measurements" / "m_1", base));
    EXPECT_FALSE(isPathWithin(base, base.parent_path() / "projector")) << "a longer name is no child";
    EXPECT_FALSE(isPathWithin(base, base / "measurements" / ".." / ".." / "projector"));
    EXPECT_TRUE(isPathWithin(base / "measurements" / "", base / "measurements" / "m_1" / ""));
    EXPECT_FALSE(isPathWithin(fs::path(), base));

    // Links are followed: one inside that leads out is outside, one outside that leads in is inside.
    const fs::path outward = base / "measurements" / "out";
    fs::create_directory_symlink(base.parent_path() / "projector", outward);
    EXPECT_FALSE(isPathWithin(base, outward / "file"));
    const fs::path inward = base.parent_path() / "shortcut";
    fs::create_directory_symlink(base / "measurements", inward);
    EXPECT_TRUE(isPathWithin(base, inward / "m_1"));
    EXPECT_TRUE(
        isPathWithin(QString::fromStdString(base.string()), QString::fromStdString((base / "x").string())));
}

}  // namespace
}  // namespace zk::app::test
