#pragma once

#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

namespace zk::test {

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
