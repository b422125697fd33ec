#include "core/storage/device_session.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "device_profile_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

DeviceProfile profileNamed(const std::string& id) {
    zk::test::ProfileText text;
    text.profileId = "\"" + id + "\"";
    return parseDeviceProfile(text.str());
}

using zk::test::messageOf;

TEST(DeviceSession, StartsEmpty) {
    DeviceSession session;
    EXPECT_EQ(session.state(), 0);
    EXPECT_FALSE(session.hasProfile());
    EXPECT_EQ(messageOf<std::logic_error>([&] { session.runtimeConfig(); }), "runtime config is not active");
    EXPECT_EQ(messageOf<std::logic_error>([&] { session.start(); }), "start requires a validated profile");
    EXPECT_EQ(messageOf<std::logic_error>([&] { session.stop(); }), "stop requires a running session");
    EXPECT_EQ(session.state(), 0);
}

TEST(DeviceSession, InvalidProfileIsRefusedInEveryStoppedState) {
    DeviceSession session;
    EXPECT_EQ(messageOf<std::invalid_argument>([&] { session.importProfile(DeviceProfile{}); }),
              "device profile is not valid");
    EXPECT_EQ(session.state(), 0);
    EXPECT_FALSE(session.hasProfile());
    session.importProfile(profileNamed("A"));
    EXPECT_EQ(messageOf<std::invalid_argument>([&] { session.importProfile(DeviceProfile{}); }),
              "device profile is not valid");
    EXPECT_EQ(session.state(), 1);
    session.start();
    EXPECT_EQ(session.runtimeConfig().profileId, "A");
}

TEST(DeviceSession, ImportReplacesAndDropsRuntimeConfig) {
    DeviceSession session;
    session.importProfile(profileNamed("A"));
    EXPECT_EQ(session.state(), 1);
    EXPECT_TRUE(session.hasProfile());
    session.importProfile(profileNamed("B"));
    EXPECT_EQ(session.state(), 1);
    EXPECT_EQ(messageOf<std::logic_error>([&] { session.runtimeConfig(); }), "runtime config is not active");
    session.start();
    EXPECT_EQ(session.runtimeConfig().profileId, "B");
}

TEST(DeviceSession, RunningFreezesTheProfile) {
    DeviceSession session;
    session.importProfile(profileNamed("A"));
    session.start();
    EXPECT_EQ(session.state(), 2);
    EXPECT_EQ(messageOf<std::logic_error>([&] { session.start(); }), "start requires a validated profile");
    // The running check comes before the validity check.
    EXPECT_EQ(messageOf<std::logic_error>([&] { session.importProfile(DeviceProfile{}); }),
              "cannot import a profile while running");
    EXPECT_EQ(messageOf<std::logic_error>([&] { session.importProfile(profileNamed("B")); }),
              "cannot import a profile while running");
    EXPECT_EQ(session.state(), 2);
    EXPECT_EQ(session.runtimeConfig(), profileNamed("A"));

    session.stop();
    EXPECT_EQ(session.state(), 1);
    EXPECT_EQ(messageOf<std::logic_error>([&] { session.runtimeConfig(); }), "runtime config is not active");
    EXPECT_EQ(messageOf<std::logic_error>([&] { session.stop(); }), "stop requires a running session");

    session.importProfile(profileNamed("C"));
    session.start();
    EXPECT_EQ(session.runtimeConfig(), profileNamed("C"));
    EXPECT_TRUE(session.hasProfile());
}

}  // namespace
}  // namespace zk::core
