#include "app/startup_selection.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

using zk::app::optionValue;
using zk::app::startupProfilePath;
using zk::app::startupProjectPath;

void writeFile(const QString& path, const QByteArray& bytes = "{}") {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

// An executable folder with its profile store, as the installed application has it.
struct ExecutableFolder {
    QTemporaryDir root;
    QString dir() const { return root.path(); }
    QString store() const { return root.path() + "/profiles"; }
    ExecutableFolder() { QDir(root.path()).mkpath("profiles"); }
};

TEST(OptionRule, FirstExactOccurrenceGivesTheNextWord) {
    const QStringList args{"/opt/app/sorvanta", "--source", "Synthetic", "--profile", "a.json",
                           "--profile",         "b.json"};
    EXPECT_EQ(optionValue(args, "--profile"), QString("a.json"));
    EXPECT_EQ(optionValue(args, "--source"), QString("Synthetic"));
    EXPECT_FALSE(optionValue(args, "--project").has_value());
    // The value is the next word whatever it looks like.
    EXPECT_EQ(optionValue({"app", "--profile", "--source", "UDP"}, "--profile"), QString("--source"));
}

TEST(OptionRule, LastWordShortOrEqualsFormsAndOtherCaseCountAsAbsent) {
    EXPECT_FALSE(optionValue({"app", "--source", "UDP", "--profile"}, "--profile").has_value());
    EXPECT_FALSE(optionValue({"app", "--profile=x.json"}, "--profile").has_value());
    EXPECT_FALSE(optionValue({"app", "--Profile", "x.json"}, "--profile").has_value());
    EXPECT_FALSE(optionValue({"app", "-profile", "x.json"}, "--profile").has_value());
    EXPECT_FALSE(optionValue({}, "--profile").has_value());
    // The program path is a word like any other: a program named like the option is matched.
    EXPECT_EQ(optionValue({"--ui-theme", "dawn"}, "--ui-theme"), QString("dawn"));
}

TEST(StartupProfile, RememberedExistingFileIsUsedAsAbsolutePath) {
    ExecutableFolder exe;
    QTemporaryDir elsewhere;
    const QString remembered = elsewhere.path() + "/mine.device.json";
    writeFile(remembered);
    writeFile(exe.store() + "/TM27-128-H1.6.2.device.json");
    EXPECT_EQ(startupProfilePath(remembered, exe.dir()), QFileInfo(remembered).absoluteFilePath());
}

TEST(StartupProfile, MovedRememberedProfileIsFoundInTheStoreByFileName) {
    ExecutableFolder exe;
    writeFile(exe.store() + "/arrayA.device.json");
    writeFile(exe.store() + "/TM27-128-H1.6.2.device.json");
    const QString remembered = "/no/such/folder/any/arrayA.device.json";
    EXPECT_EQ(startupProfilePath(remembered, exe.dir()), exe.store() + "/arrayA.device.json");
}

TEST(StartupProfile, StaleRememberedPathImportsNothingEvenWithAFilledStore) {
    ExecutableFolder exe;
    writeFile(exe.store() + "/TM27-128-H1.6.2.device.json");
    EXPECT_TRUE(startupProfilePath("/gone/elsewhere.device.json", exe.dir()).isEmpty());
    EXPECT_TRUE(startupProfilePath("relative/gone.device.json", exe.dir()).isEmpty());
}

TEST(StartupProfile, WithoutRememberedPathTheShippedProfileIsPreferred) {
    ExecutableFolder exe;
    writeFile(exe.store() + "/AAA-first.device.json");
    writeFile(exe.store() + "/TM27-128-H1.6.2.device.json");
    EXPECT_EQ(startupProfilePath("", exe.dir()), exe.store() + "/TM27-128-H1.6.2.device.json");
}

TEST(StartupProfile, WithoutTheShippedProfileTheAlphabeticallyFirstJsonFileIsUsed) {
    ExecutableFolder exe;
    writeFile(exe.store() + "/beta.device.json");
    writeFile(exe.store() + "/Alpha.json");
    writeFile(exe.store() + "/0-notes.txt");
    QDir(exe.store()).mkpath("0-folder.json");  // a folder is not a profile
    EXPECT_EQ(startupProfilePath("", exe.dir()), exe.store() + "/Alpha.json");
}

TEST(StartupProfile, EmptyOrMissingStoreImportsNothing) {
    ExecutableFolder exe;
    EXPECT_TRUE(startupProfilePath("", exe.dir()).isEmpty());
    QTemporaryDir bare;
    EXPECT_TRUE(startupProfilePath("", bare.path()).isEmpty());
}

TEST(StartupProfile, RelativeRememberedPathResolvesAgainstTheExecutableFolder) {
    ExecutableFolder exe;
    QDir(exe.dir()).mkpath("custom");
    writeFile(exe.dir() + "/custom/rel.device.json");
    EXPECT_EQ(startupProfilePath("custom/rel.device.json", exe.dir()), exe.dir() + "/custom/rel.device.json");
}

TEST(StartupProject, RememberedProjectNeedsItsProjectFile) {
    QTemporaryDir dir;
    EXPECT_TRUE(startupProjectPath("").isEmpty());
    EXPECT_TRUE(startupProjectPath(dir.path()).isEmpty());
    writeFile(dir.path() + "/project.json");
    EXPECT_EQ(startupProjectPath(dir.path()), dir.path());
    EXPECT_TRUE(startupProjectPath(dir.path() + "/moved-away").isEmpty());
}

}  // namespace
