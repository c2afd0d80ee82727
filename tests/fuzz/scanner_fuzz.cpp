// Feeds arbitrary bytes to the answer scanner and the sign-in header
// readers: whatever arrives, nothing may be read or written out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "session/keyword_scanner.h"
#include "session/session.h"
#include "session/signin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    session::KeywordScanner scanner(text);
    while (scanner.Next() != session::ScanEvent::End) {
    }
    session::FindVarValue(text);

    static session::Session s;
    session::ReadSignInAnswer(s, text);
    session::ReadEntryAnswer(s, text);
    // Every cell must still be terminated within its capacity.
    if (std::memchr(s.host, 0, sizeof s.host) == nullptr || std::memchr(s.sid, 0, sizeof s.sid) == nullptr ||
        std::memchr(s.accountName, 0, sizeof s.accountName) == nullptr)
        __builtin_trap();
    return 0;
}
