// How answer bodies travel: as they are, in chunked transfer coding, gzip
// content coding, or both (gzip inside chunks), the way servers in the
// field send them. Script answers and downloads take the provider's
// coding; everything else goes plain.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace provider {

enum class AnswerCoding { Plain, Chunked, Gzip, ChunkedGzip };

// "plain", "chunked", "gzip", "chunked+gzip".
bool ParseAnswerCoding(std::string_view text, AnswerCoding& coding);

// Turns a body, given piece by piece, into the bytes to send. Chunks hold
// at most kMaxChunkBytes and are never empty before the last one.
class BodyEncoder {
public:
    static constexpr std::size_t kMaxChunkBytes = 8192;

    // `level`: zlib's compression level (1 fastest, 9 smallest).
    BodyEncoder(AnswerCoding coding, int level);
    ~BodyEncoder();
    BodyEncoder(const BodyEncoder&) = delete;
    BodyEncoder& operator=(const BodyEncoder&) = delete;

    bool Chunked() const { return coding_ == AnswerCoding::Chunked || coding_ == AnswerCoding::ChunkedGzip; }
    bool Gzip() const { return coding_ == AnswerCoding::Gzip || coding_ == AnswerCoding::ChunkedGzip; }
    // Content-Encoding and Transfer-Encoding as the coding needs them.
    void AddHeaders(std::vector<std::pair<std::string, std::string>>& headers) const;
    // Append to `out` what goes on the wire for the next piece, and for the end.
    bool Encode(std::string_view piece, std::string& out);
    bool Finish(std::string& out);

private:
    struct Deflater;
    bool Compress(std::string_view in, bool last, std::string& out);
    void Frame(std::string_view data, std::string& out) const;

    AnswerCoding coding_;
    std::unique_ptr<Deflater> deflater_;
    bool failed_ = false;
};

}  // namespace provider
