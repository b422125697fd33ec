#pragma once

// The starting point of the tests that stop a writer at each of its steps: a template Project with
// one finished Measurement "m", copied afresh before every run.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "storage/recording_pattern.h"
#include "storage/storage_test_support.h"
#include "storage/system_call_step_support.h"

namespace zk::test {

class TemplateProjectFixture : public ::testing::Test {
  protected:
    explicit TemplateProjectFixture(std::string projectName) : projectName_(std::move(projectName)) {}

    void SetUp() override {
        if (!kCanTraceSystemCalls) GTEST_SKIP() << "system call tracing needs x86-64 Linux";
        core::createProject(original, projectName_);
        core::Recording recording(original, "m", profile, "template");
        recording.append(samplesFrom(0, kPatternWire * 100));
        recording.finalize("");
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    void reset() {
        std::filesystem::remove_all(project);
        std::filesystem::copy(original, project, std::filesystem::copy_options::recursive);
    }

    std::filesystem::path folder = killFolder();
    std::filesystem::path original = folder / "original";
    std::filesystem::path project = folder / "project";
    std::filesystem::path measurements = project / "measurements";
    std::filesystem::path measurement = measurements / "m";
    std::string profile = threeChannelProfile();

  private:
    std::string projectName_;
};

}  // namespace zk::test
