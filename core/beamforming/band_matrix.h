#pragma once

#include <string>
#include <string_view>

namespace zk::core {

// Escapes a text for the inside of a JSON string the way the derived-matrix cache keys and the
// export need it: each double quote and each backslash gets a backslash before it; every other byte,
// control characters and non-ASCII bytes included, passes unchanged. Stored cache keys depend on
// exactly this text, so it must not change.
std::string escapeJsonString(std::string_view text);

}  // namespace zk::core
