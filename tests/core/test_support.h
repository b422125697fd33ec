#pragma once

// Helpers every core test may use: exact exception checks, map comparisons and a throw-away folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <typeinfo>
#include <vector>

namespace zk::test {

// Runs fn and checks that it throws exactly Expected (not a subclass) with the given text.
template <typename Expected, typename Fn>
void expectThrowExactly(Fn&& fn, const std::string& text) {
    try {
        fn();
        ADD_FAILURE() << "expected an exception with text \"" << text << "\"";
    } catch (const std::exception& e) {
        EXPECT_EQ(typeid(e), typeid(Expected)) << e.what();
        EXPECT_EQ(std::string(e.what()), text);
    }
}

// The text of the Expected exception fn throws, or "<no exception>"; other exceptions pass through.
template <typename Expected = std::invalid_argument, typename Fn>
std::string messageOf(Fn&& fn) {
    try {
        fn();
    } catch (const Expected& e) {
        return e.what();
    }
    return "<no exception>";
}

// Largest |a - b| / max(|b|, tiny) over two equally long power planes.
inline double maxRelativeDifference(const std::vector<double>& a, const std::vector<double>& b) {
    EXPECT_EQ(a.size(), b.size());
    double worst = 0.0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        worst = std::max(worst, std::abs(a[i] - b[i]) / std::max(std::abs(b[i]), 1e-300));
    }
    return worst;
}

// Same map up to the last bits: factorisations may take other vector paths on other threads.
inline void expectSamePower(const std::vector<double>& a, const std::vector<double>& b) {
    EXPECT_LT(maxRelativeDifference(a, b), 1e-12);
}

// A fresh folder under the system temp folder, removed with everything in it on destruction.
class TempFolder {
  public:
    TempFolder() {
        static std::atomic<unsigned> counter{0};
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("zk_test_" + std::to_string(random()) + "_" + std::to_string(counter.fetch_add(1)));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

}  // namespace zk::test
