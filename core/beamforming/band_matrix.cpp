#include "core/beamforming/band_matrix.h"

namespace zk::core {

std::string escapeJsonString(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

}  // namespace zk::core
