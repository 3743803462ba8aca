#pragma once
// Internal to the stack: how dotted address text is cut into its four parts.

#include <array>
#include <string>

namespace tavo::net::detail {

// Three times the text before the next "." (or all that is left, leaving nothing), and as the
// fourth part whatever then remains. "10.0.0" gives an empty fourth part, "10.0.0.1.5" gives
// "1.5".
std::array<std::string, 4> SplitAddress(const std::string& AText);

}  // namespace tavo::net::detail
