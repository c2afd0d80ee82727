// Random letters and digits for tokens, session ids and message ids.
#pragma once

#include <cstddef>
#include <string>

namespace provider {

// `length` characters drawn from A-Z, a-z and 0-9; safe to call from any thread.
std::string RandomAlnum(std::size_t length);

}  // namespace provider
