#pragma once
// Text from a server shown on a terminal: reply texts, listing names. A server (or anyone on
// the path) could otherwise send escape sequences that move the cursor, rewrite what is on the
// screen, change its title or worse.

#include <string>
#include <string_view>

namespace tavo::tool {

// The text with every control character written as "\xNN": C0 controls and DEL, the C1
// controls as UTF-8 encodes them (U+0080..U+009F), and every byte that is not part of valid
// UTF-8 (a terminal in an 8-bit mode reads 0x9B as an escape). Everything else, UTF-8 letters
// included, stays as it is.
std::string Printable(std::string_view text);

}  // namespace tavo::tool
