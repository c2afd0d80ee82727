// A streaming reader of multipart/form-data bodies: it is fed the body in
// pieces of any size and hands each part's bytes on as they come, keeping
// back only as many bytes as a delimiter could span. Memory stays small
// whatever the size of a part.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace provider {

struct PartHead {
    std::string name;      // of Content-Disposition
    std::string filename;  // as sent (a whole local path from some clients); empty when absent
    bool hasFilename = false;
    std::string contentType;
};

class MultipartSink {
public:
    virtual ~MultipartSink() = default;
    // Each returns false to stop reading (the reader then reports Aborted).
    virtual bool OnPartBegin(const PartHead& head) = 0;
    virtual bool OnPartData(const char* data, std::size_t size) = 0;
    virtual bool OnPartEnd() = 0;
};

enum class MultipartFault {
    None,
    Malformed,     // no delimiter where one must be, or a broken part head
    HeadTooLarge,  // a part head beyond kMaxPartHeadBytes
    Aborted,       // the sink said stop
    Truncated,     // the body ended before the closing delimiter
};

constexpr std::size_t kMaxPartHeadBytes = 16 * 1024;
constexpr std::size_t kMaxBoundaryBytes = 200;

const char* MultipartFaultText(MultipartFault fault);

// The boundary parameter of a multipart/form-data Content-Type (quotes
// removed); nothing when the type is another or the boundary is unusable.
std::optional<std::string> BoundaryFromContentType(std::string_view contentType);

class MultipartReader {
public:
    MultipartReader(std::string_view boundary, MultipartSink& sink);

    MultipartFault Feed(const char* data, std::size_t size);
    // The body has ended: anything but a closed last part is Truncated.
    MultipartFault Finish();

private:
    enum class State { Preamble, AfterDelimiter, PartHead, PartData, Epilogue, Failed };
    MultipartFault Step(bool& progressed);
    MultipartFault Fail(MultipartFault fault);
    bool ParseHead(std::string_view text, PartHead& head);

    std::string delimiter_;  // CR LF "--" boundary
    MultipartSink& sink_;
    std::string pending_;
    State state_ = State::Preamble;
};

}  // namespace provider
