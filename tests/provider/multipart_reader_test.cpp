#include "multipart_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace provider {
namespace {

const char kDelimiter[] = "-----------------------------7d95d2346050c";
const char kBoundary[] = "---------------------------7d95d2346050c";

struct RecordedPart {
    PartHead head;
    std::string data;
    bool ended = false;
};

class Recorder : public MultipartSink {
public:
    bool OnPartBegin(const PartHead& head) override {
        parts.push_back(RecordedPart{head, "", false});
        return true;
    }
    bool OnPartData(const char* data, std::size_t size) override {
        parts.back().data.append(data, size);
        return true;
    }
    bool OnPartEnd() override {
        parts.back().ended = true;
        return true;
    }
    std::vector<RecordedPart> parts;
};

// The upload form of the desktop client around `file`.
std::string ClientForm(const std::string& file, const std::string& path = "C:\\Users\\me\\a b.bin") {
    return std::string(kDelimiter) + "\r\nContent-Disposition: form-data; name=\"file1\"; filename=\"" + path +
           "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + file + "\r\n" + kDelimiter +
           "\r\nContent-Disposition: form-data; name=\"file2\"; filename=\"\"\r\n"
           "Content-Type: application/octet-stream\r\n\r\n\r\n" +
           kDelimiter + "--\r\n";
}

MultipartFault FeedInPieces(const std::string& body, std::size_t piece, Recorder& recorder) {
    MultipartReader reader(kBoundary, recorder);
    for (std::size_t at = 0; at < body.size(); at += piece) {
        MultipartFault fault = reader.Feed(body.data() + at, std::min(piece, body.size() - at));
        if (fault != MultipartFault::None) return fault;
    }
    return reader.Finish();
}

TEST(MultipartReader, ReadsTheClientsFormInPiecesOfEverySize) {
    // Data that looks like the start of a delimiter must come through whole.
    std::string file = std::string("x\r\n--") + "\r\n---------" + std::string(kDelimiter).substr(0, 40) + "\r\n";
    file += std::string("\0\r\n", 3) + "end";
    const std::string body = ClientForm(file);
    for (std::size_t piece = 1; piece <= body.size(); ++piece) {
        Recorder recorder;
        ASSERT_EQ(FeedInPieces(body, piece, recorder), MultipartFault::None) << "piece " << piece;
        ASSERT_EQ(recorder.parts.size(), 2u) << "piece " << piece;
        EXPECT_EQ(recorder.parts[0].head.name, "file1");
        EXPECT_EQ(recorder.parts[0].head.filename, "C:\\Users\\me\\a b.bin");
        EXPECT_TRUE(recorder.parts[0].head.hasFilename);
        EXPECT_EQ(recorder.parts[0].head.contentType, "application/octet-stream");
        EXPECT_EQ(recorder.parts[0].data, file) << "piece " << piece;
        EXPECT_TRUE(recorder.parts[0].ended);
        EXPECT_EQ(recorder.parts[1].head.name, "file2");
        EXPECT_EQ(recorder.parts[1].data, "");
    }
}

TEST(MultipartReader, CarriesEmptyAndRandomFilesExactly) {
    std::mt19937 random(7);
    for (std::size_t size : {0u, 1u, 41u, 42u, 43u, 5120u, 70000u}) {
        std::string file(size, '\0');
        for (char& c : file) c = static_cast<char>(random());
        Recorder recorder;
        ASSERT_EQ(FeedInPieces(ClientForm(file), 997, recorder), MultipartFault::None) << size;
        ASSERT_FALSE(recorder.parts.empty());
        EXPECT_EQ(recorder.parts[0].data, file) << size;
    }
}

TEST(MultipartReader, ReportsBrokenForms) {
    const std::string good = ClientForm("data");
    struct Case {
        std::string body;
        MultipartFault fault;
    } cases[] = {
        {good.substr(0, good.size() - 4), MultipartFault::Truncated},  // no closing "--"
        {good.substr(0, 60), MultipartFault::Truncated},
        {"", MultipartFault::Truncated},
        {"no delimiter at all", MultipartFault::Truncated},
        {std::string(kDelimiter) + "XX\r\n\r\n", MultipartFault::Malformed},  // junk after a delimiter
        {std::string(kDelimiter) + "\r\nno colon here\r\n\r\nx\r\n" + kDelimiter + "--", MultipartFault::Malformed},
        {std::string(kDelimiter) + "\r\nX: " + std::string(kMaxPartHeadBytes + 10, 'a'), MultipartFault::HeadTooLarge},
    };
    for (const Case& c : cases) {
        Recorder recorder;
        EXPECT_EQ(FeedInPieces(c.body, 13, recorder), c.fault) << c.body.substr(0, 80);
    }
}

TEST(MultipartReader, SkipsPreambleAndEpilogueAndPartsWithoutHead) {
    std::string body = "preamble\r\n" + std::string(kDelimiter) + "  \r\n\r\nheadless\r\n" + kDelimiter +
                       "\r\ncontent-disposition: form-data; name=file1; filename=\"a;b.txt\"\r\n\r\nabc\r\n" +
                       kDelimiter + "--\r\nepilogue";
    Recorder recorder;
    ASSERT_EQ(FeedInPieces(body, 5, recorder), MultipartFault::None);
    ASSERT_EQ(recorder.parts.size(), 2u);
    EXPECT_EQ(recorder.parts[0].head.name, "");
    EXPECT_EQ(recorder.parts[0].data, "headless");
    EXPECT_EQ(recorder.parts[1].head.name, "file1");
    EXPECT_EQ(recorder.parts[1].head.filename, "a;b.txt");
    EXPECT_EQ(recorder.parts[1].data, "abc");
}

TEST(MultipartReader, StopsWhenTheSinkSaysSo) {
    class Refuser : public Recorder {
        bool OnPartData(const char*, std::size_t) override { return false; }
    } refuser;
    MultipartReader reader(kBoundary, refuser);
    std::string body = ClientForm(std::string(5000, 'z'));
    EXPECT_EQ(reader.Feed(body.data(), body.size()), MultipartFault::Aborted);
    EXPECT_NE(reader.Finish(), MultipartFault::None);
}

TEST(BoundaryFromContentType, TakesTheBoundaryParameter) {
    struct Case {
        const char* type;
        const char* boundary;  // nullptr: refused
    } cases[] = {
        {"multipart/form-data; boundary=---------------------------7d95d2346050c", kBoundary},
        {"Multipart/Form-Data;boundary=\"a b\"", "a b"},
        {"multipart/form-data; charset=x; boundary=xyz; other=1", "xyz"},
        {"multipart/form-data", nullptr},
        {"multipart/form-data; boundary=", nullptr},
        {"multipart/mixed; boundary=abc", nullptr},
        {"application/octet-stream", nullptr},
    };
    for (const Case& c : cases) {
        std::optional<std::string> boundary = BoundaryFromContentType(c.type);
        if (c.boundary == nullptr) {
            EXPECT_FALSE(boundary.has_value()) << c.type;
        } else {
            ASSERT_TRUE(boundary.has_value()) << c.type;
            EXPECT_EQ(*boundary, c.boundary);
        }
    }
    EXPECT_FALSE(BoundaryFromContentType("multipart/form-data; boundary=" + std::string(kMaxBoundaryBytes + 1, 'b')));
}

}  // namespace
}  // namespace provider
