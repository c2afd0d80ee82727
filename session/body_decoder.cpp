#include "session/body_decoder.h"

#include <zlib.h>

#include <string>

#include "session/http_head.h"

namespace session {

namespace {
constexpr std::uint64_t kLargestChunk = std::uint64_t{1} << 40;
constexpr std::size_t kLongestChunkLine = 4096;  // a size line with its extensions
constexpr std::size_t kLongestTrailer = 8192;
constexpr std::size_t kInflateOut = 65536;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

struct BodyDecoder::Inflater {
    z_stream stream{};
    bool ended = false;    // the stream's end was reached and nothing followed
    bool started = false;  // any coded byte arrived
    unsigned char out[kInflateOut];

    Inflater() { inflateInit2(&stream, 15 + 32); }  // gzip or zlib header, told apart by zlib
    ~Inflater() { inflateEnd(&stream); }
};

BodyDecoder::BodyDecoder() = default;
BodyDecoder::~BodyDecoder() = default;

Status BodyDecoder::Start(std::string_view header, std::uint64_t limit) {
    limit_ = limit;
    std::string_view value;
    framing_ = Framing::Close;
    if (HeaderValue(header, "Transfer-Encoding", value) && !EqualsNoCase(value, "identity")) {
        if (!EqualsNoCase(value, "chunked")) return Status::Unreadable;
        framing_ = Framing::Chunked;
    } else {
        std::uint64_t length = 0;
        switch (ContentLength(header, length)) {
        case LengthField::Malformed: return Status::Unreadable;
        case LengthField::Valid:
            framing_ = Framing::Length;
            remaining_ = length;
            break;
        case LengthField::Absent: break;
        }
    }
    if (HeaderValue(header, "Content-Encoding", value) && !EqualsNoCase(value, "identity")) {
        if (!EqualsNoCase(value, "gzip") && !EqualsNoCase(value, "x-gzip") && !EqualsNoCase(value, "deflate"))
            return Status::Unreadable;
        inflater_ = std::make_unique<Inflater>();
    }
    return Status::Ok;
}

Status BodyDecoder::Feed(const char* data, std::size_t length, const BodySink& sink) {
    switch (framing_) {
    case Framing::Chunked: return Unchunk(data, length, sink);
    case Framing::Length: {
        std::size_t take = length < remaining_ ? length : static_cast<std::size_t>(remaining_);
        remaining_ -= take;
        return Decode(data, take, sink);
    }
    case Framing::Close: return Decode(data, length, sink);
    }
    return Status::Unreadable;
}

// The chunk framing, one byte of framing at a time and the data in runs.
Status BodyDecoder::Unchunk(const char* data, std::size_t length, const BodySink& sink) {
    std::size_t i = 0;
    while (i < length && chunk_ != Chunk::Done) {
        char c = data[i];
        switch (chunk_) {
        case Chunk::Size: {
            int digit = HexValue(c);
            if (digit >= 0) {
                remaining_ = remaining_ * 16 + static_cast<std::uint64_t>(digit);
                if (++sizeDigits_ > 11 || remaining_ > kLargestChunk) return Status::Unreadable;
            } else if (sizeDigits_ == 0) {
                return Status::Unreadable;
            } else if (c == '\r') {
                chunk_ = Chunk::SizeEnd;
            } else if (c == ';' || c == ' ' || c == '\t') {
                chunk_ = Chunk::Extension;
            } else {
                return Status::Unreadable;
            }
            ++lineBytes_;
            ++i;
            break;
        }
        case Chunk::Extension:
            if (c == '\r') chunk_ = Chunk::SizeEnd;
            if (++lineBytes_ > kLongestChunkLine) return Status::Unreadable;
            ++i;
            break;
        case Chunk::SizeEnd:
            if (c != '\n') return Status::Unreadable;
            chunk_ = remaining_ == 0 ? Chunk::Trailer : Chunk::Data;
            lineBytes_ = 0;
            ++i;
            break;
        case Chunk::Data: {
            std::size_t take = length - i < remaining_ ? length - i : static_cast<std::size_t>(remaining_);
            Status status = Decode(data + i, take, sink);
            if (status != Status::Ok) return status;
            remaining_ -= take;
            i += take;
            if (remaining_ == 0) chunk_ = Chunk::DataCr;
            break;
        }
        case Chunk::DataCr:
        case Chunk::DataLf:
            // A chunk longer than its size line said runs into these.
            if (c != (chunk_ == Chunk::DataCr ? '\r' : '\n')) return Status::Unreadable;
            chunk_ = chunk_ == Chunk::DataCr ? Chunk::DataLf : Chunk::Size;
            sizeDigits_ = 0;
            ++i;
            break;
        case Chunk::Trailer:
            if (c == '\r')
                chunk_ = Chunk::TrailerEnd;
            else if (++lineBytes_ > kLongestTrailer)
                return Status::Unreadable;
            ++i;
            break;
        case Chunk::TrailerEnd:
            if (c != '\n') return Status::Unreadable;
            // An empty line ends the trailer and the body.
            chunk_ = lineBytes_ == 0 ? Chunk::Done : Chunk::Trailer;
            lineBytes_ = 0;
            ++i;
            break;
        case Chunk::Done: break;
        }
    }
    return Status::Ok;
}

Status BodyDecoder::Decode(const char* data, std::size_t length, const BodySink& sink) {
    if (!inflater_) return Emit(data, length, sink);
    if (length == 0) return Status::Ok;
    z_stream& z = inflater_->stream;
    inflater_->started = true;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z.avail_in = static_cast<uInt>(length);
    do {
        // Another gzip member may follow the end of the first.
        if (inflater_->ended) {
            if (z.avail_in == 0) break;
            if (inflateReset(&z) != Z_OK) return Status::Unreadable;
            inflater_->ended = false;
        }
        z.next_out = inflater_->out;
        z.avail_out = kInflateOut;
        int result = inflate(&z, Z_NO_FLUSH);
        std::size_t produced = kInflateOut - z.avail_out;
        Status status = Emit(reinterpret_cast<const char*>(inflater_->out), produced, sink);
        if (status != Status::Ok) return status;
        if (result == Z_STREAM_END) {
            inflater_->ended = true;
        } else if (result == Z_BUF_ERROR) {
            if (z.avail_out != 0) break;  // wants more input
        } else if (result != Z_OK) {
            return Status::Unreadable;  // corrupt data, a wrong check sum
        }
    } while (z.avail_in > 0 || z.avail_out == 0);
    return Status::Ok;
}

Status BodyDecoder::Emit(const char* data, std::size_t length, const BodySink& sink) {
    if (length == 0) return Status::Ok;
    if (length > limit_ - decoded_) return Status::AnswerTooLarge;
    decoded_ += length;
    return sink(data, length) ? Status::Ok : Status::FileError;
}

bool BodyDecoder::Complete() const {
    if (framing_ == Framing::Length) return remaining_ == 0;
    return framing_ == Framing::Chunked && chunk_ == Chunk::Done;
}

Status BodyDecoder::Finish() const {
    if (framing_ != Framing::Close && !Complete()) return Status::Incomplete;
    // A coded stream that stopped before its end lost its tail.
    if (inflater_ && inflater_->started && !inflater_->ended) return Status::Incomplete;
    return Status::Ok;
}

std::optional<std::uint64_t> BodyDecoder::ExactSize() const {
    if (framing_ != Framing::Length || inflater_) return std::nullopt;
    return remaining_ + decoded_;
}

}  // namespace session
