#include "multipart_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace provider {
namespace {

const char kDelimiter[] = "-----------------------------7d95d2346050c";

struct Recorder : MultipartSink {
    bool OnPartBegin(const PartHead& head) override {
        data.push_back(head.name + ":");
        return true;
    }
    bool OnPartData(const char* bytes, std::size_t size) override {
        data.back().append(bytes, size);
        return data.back().find('!') == std::string::npos;  // "!" in a part: stop
    }
    bool OnPartEnd() override { return true; }
    std::vector<std::string> data;
};

MultipartFault FeedInPieces(const std::string& body, std::size_t piece, Recorder& recorder) {
    MultipartReader reader(std::string(kDelimiter).substr(2), recorder);
    for (std::size_t at = 0; at < body.size(); at += piece) {
        MultipartFault fault = reader.Feed(body.data() + at, std::min(piece, body.size() - at));
        if (fault != MultipartFault::None) return fault;
    }
    return reader.Finish();
}

// Whole uploads go through the upload tests; here, every way a form can
// be cut into pieces on the wire, and every way it can be broken.
TEST(MultipartReader, ReadsFormsInPiecesOfEverySizeAndReportsBrokenOnes) {
    const std::string lookalike =
        "x\r\n--\r\n" + std::string(kDelimiter).substr(0, 41) + "\r\n" + std::string("\0\r\n", 3) + "end";
    const std::string form = "preamble\r\n" + std::string(kDelimiter) +
                             "\r\ncontent-disposition: form-data; name=file1; filename=\"a;b\"\r\n\r\n" + lookalike +
                             "\r\n" + kDelimiter + "\r\nContent-Disposition: form-data; name=\"file2\"\r\n\r\n\r\n" +
                             kDelimiter + "--\r\nepilogue";
    for (std::size_t piece = 1; piece <= form.size(); ++piece) {
        Recorder recorder;
        ASSERT_EQ(FeedInPieces(form, piece, recorder), MultipartFault::None) << piece;
        ASSERT_EQ(recorder.data, (std::vector<std::string>{"file1:" + lookalike, "file2:"})) << piece;
    }
    const std::pair<std::string, MultipartFault> broken[] = {
        {form.substr(0, form.find("--\r\nepilogue")), MultipartFault::Truncated},
        {std::string(kDelimiter) + "XX\r\n\r\n", MultipartFault::Malformed},
        {std::string(kDelimiter) + "\r\nno colon\r\n\r\nx\r\n" + kDelimiter + "--", MultipartFault::Malformed},
        {std::string(kDelimiter) + "\r\nX: " + std::string(kMaxPartHeadBytes + 10, 'a'), MultipartFault::HeadTooLarge},
        {std::string(kDelimiter) + "\r\n\r\n" + std::string(5000, '!'), MultipartFault::Aborted},
    };
    for (const auto& [body, fault] : broken) {
        Recorder recorder;
        EXPECT_EQ(FeedInPieces(body, 4096, recorder), fault) << body.substr(0, 80);
    }
    EXPECT_EQ(BoundaryFromContentType("Multipart/Form-Data;charset=x; boundary=\"a b\"").value_or(""), "a b");
    EXPECT_FALSE(BoundaryFromContentType("multipart/form-data; boundary=" + std::string(kMaxBoundaryBytes + 1, 'b')));
}

}  // namespace
}  // namespace provider
