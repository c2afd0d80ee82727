#include "answer_coding.h"

#include <zlib.h>

#include <cstdio>

namespace provider {

struct BodyEncoder::Deflater {
    z_stream stream{};
    bool ready = false;
    ~Deflater() {
        if (ready) deflateEnd(&stream);
    }
};

bool ParseAnswerCoding(std::string_view text, AnswerCoding& coding) {
    const std::pair<const char*, AnswerCoding> names[] = {{"plain", AnswerCoding::Plain},
                                                          {"chunked", AnswerCoding::Chunked},
                                                          {"gzip", AnswerCoding::Gzip},
                                                          {"chunked+gzip", AnswerCoding::ChunkedGzip}};
    for (const auto& [name, value] : names) {
        if (text != name) continue;
        coding = value;
        return true;
    }
    return false;
}

BodyEncoder::BodyEncoder(AnswerCoding coding, int level) : coding_(coding) {
    if (!Gzip()) return;
    deflater_ = std::make_unique<Deflater>();
    // 15 + 16: a gzip header and trailer around the deflate stream.
    deflater_->ready = deflateInit2(&deflater_->stream, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    failed_ = !deflater_->ready;
}

BodyEncoder::~BodyEncoder() = default;

void BodyEncoder::AddHeaders(std::vector<std::pair<std::string, std::string>>& headers) const {
    if (Gzip()) headers.emplace_back("Content-Encoding", "gzip");
    if (Chunked()) headers.emplace_back("Transfer-Encoding", "chunked");
}

bool BodyEncoder::Compress(std::string_view in, bool last, std::string& out) {
    z_stream& z = deflater_->stream;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    char buffer[16384];
    for (;;) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        int result = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        if (result == Z_STREAM_ERROR) return false;
        out.append(buffer, sizeof buffer - z.avail_out);
        if (last ? result == Z_STREAM_END : (z.avail_in == 0 && z.avail_out != 0)) return true;
    }
}

void BodyEncoder::Frame(std::string_view data, std::string& out) const {
    if (!Chunked()) {
        out.append(data);
        return;
    }
    while (!data.empty()) {
        std::string_view chunk = data.substr(0, kMaxChunkBytes);
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
        out += size;
        out.append(chunk);
        out += "\r\n";
        data.remove_prefix(chunk.size());
    }
}

bool BodyEncoder::Encode(std::string_view piece, std::string& out) {
    if (failed_) return false;
    if (!Gzip()) {
        Frame(piece, out);
        return true;
    }
    std::string packed;
    failed_ = !Compress(piece, false, packed);
    Frame(packed, out);
    return !failed_;
}

bool BodyEncoder::Finish(std::string& out) {
    if (failed_) return false;
    if (Gzip()) {
        std::string packed;
        failed_ = !Compress(std::string_view(), true, packed);
        Frame(packed, out);
    }
    if (Chunked()) out += "0\r\n\r\n";
    return !failed_;
}

}  // namespace provider
