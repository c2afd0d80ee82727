// Feeds arbitrary bytes to the answer scanner, the verdict of a script
// answer, the sign-in header readers and the body decoder (as chunks of a
// gzip body and as a gzip body alone): whatever arrives, nothing may be read
// or written out of bounds, and no body may decode past its limit.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "session/body_decoder.h"
#include "session/keyword_scanner.h"
#include "session/script_request.h"
#include "session/session.h"
#include "session/signin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    session::KeywordScanner scanner(text);
    while (scanner.Next() != session::ScanEvent::End) {
    }
    session::FindVarValue(text);
    (void)session::ScriptVerdict(text);
    for (const char* head : {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Encoding: gzip",
                             "HTTP/1.1 200 OK\r\nContent-Encoding: deflate"}) {
        session::BodyDecoder decoder;
        std::size_t decoded = 0;
        if (decoder.Start(head, 65536) != session::Status::Ok) __builtin_trap();
        (void)decoder.Feed(text.data(), text.size(), [&](const char*, std::size_t n) { return (decoded += n), true; });
        if (decoded > 65536) __builtin_trap();
        (void)decoder.Finish();
    }

    static session::Session s;
    session::ReadSignInAnswer(s, text);
    session::ReadEntryAnswer(s, text);
    // Every cell must still be terminated within its capacity.
    if (std::memchr(s.host, 0, sizeof s.host) == nullptr || std::memchr(s.sid, 0, sizeof s.sid) == nullptr ||
        std::memchr(s.accountName, 0, sizeof s.accountName) == nullptr)
        __builtin_trap();
    return 0;
}
