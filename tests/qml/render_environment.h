#pragma once

#include <string>

namespace zk::qmltest {

// Why the render tests cannot run (no X server); empty when they can.
inline std::string& renderUnavailableReason() {
    static std::string reason;
    return reason;
}

}  // namespace zk::qmltest
