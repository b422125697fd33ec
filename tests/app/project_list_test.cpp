// The recent-Project list and the file-system checks behind the new-Project dialog.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "app/ui_controller.h"
#include "app_test_support.h"

namespace zk::app::test {
namespace {

using ProjectList = ControllerSettingsTest;

QVariantMap entry(const QString& path, const QString& name) {
    return {{QStringLiteral("path"), path}, {QStringLiteral("name"), name}, {QStringLiteral("openedAt"), QString()}};
}

void touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

TEST_F(ProjectList, TheStoredListLoadsAsAtMostEightEntriesWithAPath) {
    QVariantList stored;
    stored.append(QVariantMap{{QStringLiteral("name"), QStringLiteral("no path")}});
    for (int i = 0; i < 10; ++i) stored.append(entry(QStringLiteral("/p%1").arg(i), QStringLiteral("n%1").arg(i)));
    stored.insert(3, entry(QStringLiteral("/p0"), QStringLiteral("duplicate kept")));
    QSettings().setValue(QStringLiteral("recentProjects"), stored);

    UiController ui;
    const QVariantList recent = ui.recentProjects();
    ASSERT_EQ(recent.size(), 8);
    QStringList paths;
    for (const QVariant& e : recent) paths.append(e.toMap().value(QStringLiteral("path")).toString());
    EXPECT_EQ(paths, (QStringList{"/p0", "/p1", "/p0", "/p2", "/p3", "/p4", "/p5", "/p6"}));
    EXPECT_EQ(recent[2].toMap().value(QStringLiteral("name")).toString(), QStringLiteral("duplicate kept"));
    EXPECT_EQ(recent[0].toMap().value(QStringLiteral("openedAt")).toString(), QString());
}

TEST_F(ProjectList, RemovingARecentPathDropsEveryEntryOfItAndStoresTheList) {
    QSettings().setValue(QStringLiteral("recentProjects"),
                         QVariantList{entry(QStringLiteral("/a"), QStringLiteral("A")),
                                      entry(QStringLiteral("/A"), QStringLiteral("upper")),
                                      entry(QStringLiteral("/a"), QStringLiteral("again"))});
    UiController ui;
    QSignalSpy changed(&ui, &UiController::recentProjectsChanged);
    ui.removeRecentProject(QStringLiteral("/b"));
    EXPECT_EQ(changed.count(), 0);
    ui.removeRecentProject(QStringLiteral("/a"));
    EXPECT_EQ(changed.count(), 1);
    ASSERT_EQ(ui.recentProjects().size(), 1);
    EXPECT_EQ(ui.recentProjects()[0].toMap().value(QStringLiteral("name")).toString(), QStringLiteral("upper"));
    EXPECT_EQ(QSettings().value(QStringLiteral("recentProjects")).toList().size(), 1);
}

TEST_F(ProjectList, AVanishedRecentProjectIsRemovedAndReported) {
    QTemporaryDir dir;
    const QString gone = dir.filePath(QStringLiteral("gone"));
    QSettings().setValue(QStringLiteral("recentProjects"), QVariantList{entry(gone, QStringLiteral("Gone"))});
    UiController ui;
    ui.openRecentProject(gone);
    EXPECT_TRUE(ui.recentProjects().isEmpty());
    EXPECT_EQ(ui.statusText(), QStringLiteral("Project no longer exists at %1 - removed from Recent").arg(gone));
    EXPECT_EQ(ui.eventLog().back().mid(10), ui.statusText());
}

TEST_F(ProjectList, ANewProjectNeedsAnEmptyOrMissingDirectory) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    UiController ui;
    EXPECT_EQ(ui.validateNewProjectDir(QString()), QStringLiteral("Select a directory for the new Project"));
    EXPECT_EQ(ui.validateNewProjectDir(dir.filePath(QStringLiteral("not/yet"))), QString());
    EXPECT_EQ(ui.validateNewProjectDir(dir.path()), QString());
    touch(dir.filePath(QStringLiteral(".hidden")));
    EXPECT_EQ(ui.validateNewProjectDir(dir.path()),
              QStringLiteral("The selected directory is not empty - choose an empty directory for a new Project"));
    EXPECT_EQ(ui.validateNewProjectDir(dir.filePath(QStringLiteral(".hidden"))),
              QStringLiteral("The selected path is not a directory"));
    touch(dir.filePath(QStringLiteral("project.json")));
    EXPECT_EQ(ui.validateNewProjectDir(dir.path()), QStringLiteral("The selected directory already contains a Project"));
    EXPECT_TRUE(ui.projectExistsAt(dir.path()));
    EXPECT_FALSE(ui.projectExistsAt(QString()));
}

TEST_F(ProjectList, NestedProjectsAreTheDirectChildrenWithAProjectFileSortedIgnoringCase) {
    QTemporaryDir dir;
    const QDir root(dir.path());
    for (const char* name : {"beta", "Alpha", "gamma", "plain", "gamma/inner"}) ASSERT_TRUE(root.mkpath(name));
    for (const char* name : {"beta", "Alpha", "gamma/inner"}) touch(root.filePath(name) + "/project.json");
    touch(root.filePath(QStringLiteral("file.json")));
    UiController ui;
    EXPECT_EQ(ui.findNestedProjects(dir.path()), (QStringList{root.filePath("Alpha"), root.filePath("beta")}));
    EXPECT_TRUE(ui.findNestedProjects(root.filePath(QStringLiteral("file.json"))).isEmpty());
    EXPECT_TRUE(ui.findNestedProjects(QString()).isEmpty());
}

}  // namespace
}  // namespace zk::app::test
