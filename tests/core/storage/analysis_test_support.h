#pragma once

// Shared by the AnalysisRun, map and export tests.

#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <typeinfo>

namespace zk::test {

// "ok" when fn returns, else the exception's exact type and text ("runtime_error: ..."), so a child
// process can hand both back as one line.
template <typename Fn>
std::string outcome(Fn&& fn) {
    try {
        fn();
        return "ok";
    } catch (const std::filesystem::filesystem_error& e) {
        return std::string("filesystem_error: ") + e.what();
    } catch (const std::exception& e) {
        const char* type = typeid(e) == typeid(std::runtime_error)      ? "runtime_error: "
                           : typeid(e) == typeid(std::invalid_argument) ? "invalid_argument: "
                                                                        : "other exception: ";
        return type + std::string(e.what());
    }
}

}  // namespace zk::test
