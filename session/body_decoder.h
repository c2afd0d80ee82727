// An answer's body as its header frames and codes it: framed by a length
// (Content-Length), by chunks (Transfer-Encoding: chunked) or by the close
// of the connection, and coded as it stands or with gzip or deflate
// (Content-Encoding), which zlib inflates. The bytes pass through in pieces,
// so memory stays fixed whatever the size of the body, and the decoded size
// is bounded, so a small coded answer cannot unfold into a huge one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "session/status.h"

namespace session {

// Where decoded bytes go; false when they could not be taken (a full disk).
using BodySink = std::function<bool(const char* data, std::size_t length)>;

class BodyDecoder {
public:
    BodyDecoder();
    ~BodyDecoder();
    BodyDecoder(const BodyDecoder&) = delete;
    BodyDecoder& operator=(const BodyDecoder&) = delete;

    // Reads framing and coding from `header` (the text before the blank
    // line). `limit`: the most decoded bytes the body may hold. Unreadable
    // for a coding it cannot read or a malformed Content-Length.
    Status Start(std::string_view header, std::uint64_t limit);
    // Decodes received bytes into `sink`: Unreadable when the chunks or the
    // coded stream are damaged, AnswerTooLarge past the limit, FileError
    // when the sink refuses. Bytes after the end of the body are dropped.
    Status Feed(const char* data, std::size_t length, const BodySink& sink);
    // The framing says the body has ended: nothing more need be read.
    bool Complete() const;
    // Is the connection closed? Incomplete when the body was cut short.
    Status Finish() const;
    // True when the body ends only with the connection.
    bool Unframed() const { return framing_ == Framing::Close; }
    // The exact size of a body that is neither chunked nor coded.
    std::optional<std::uint64_t> ExactSize() const;

private:
    enum class Framing { Length, Chunked, Close };
    enum class Chunk { Size, Extension, SizeEnd, Data, DataCr, DataLf, Trailer, TrailerEnd, Done };
    struct Inflater;

    Status Unchunk(const char* data, std::size_t length, const BodySink& sink);
    Status Decode(const char* data, std::size_t length, const BodySink& sink);
    Status Emit(const char* data, std::size_t length, const BodySink& sink);

    Framing framing_ = Framing::Close;
    std::uint64_t remaining_ = 0;  // of the length, or of the current chunk
    Chunk chunk_ = Chunk::Size;
    int sizeDigits_ = 0;
    std::size_t lineBytes_ = 0;
    std::uint64_t limit_ = 0;
    std::uint64_t decoded_ = 0;
    std::unique_ptr<Inflater> inflater_;
};

}  // namespace session
