// The stored-file format's pieces: digests, manifests, part marks, names, times.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "catalog/format_values.h"
#include "catalog/manifest.h"
#include "catalog/part_mark.h"
#include "catalog/sha256.h"

namespace {

using namespace catalog;

std::string Digest(const std::string& bytes, Sha256::Engine engine, std::size_t piece) {
    Sha256 digest(engine);
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        digest.Update(bytes.data() + at, std::min(piece, bytes.size() - at));
    return digest.FinishHex();
}

TEST(Sha256Test, PublishedVectorsAndSha256sumInEveryEngineAndPieceSize) {
    std::vector<std::pair<std::string, std::string>> cases = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}};
    const auto path = std::filesystem::temp_directory_path() / "vantlo-sha256-check";
    for (std::size_t size : {55, 64, 119, 120, 1000003}) {  // around the padding's boundaries
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 131 + i / 251);
        std::ofstream(path, std::ios::binary) << bytes;
        std::FILE* pipe = popen(("sha256sum '" + path.string() + "'").c_str(), "r");
        char expected[65] = {};
        ASSERT_TRUE(pipe && std::fread(expected, 1, 64, pipe) == 64);
        pclose(pipe);
        cases.push_back({bytes, expected});
    }
    std::filesystem::remove(path);
    for (auto engine : {Sha256::Engine::Portable, Sha256::Engine::ShaExtensions})
        for (std::size_t piece : {1, 63, 64, 65, 1 << 20})
            for (auto& [bytes, hex] : cases)
                EXPECT_EQ(Digest(bytes, engine, piece), hex) << bytes.size() << "/" << piece;
}

const std::string kManifest =  // as the format promises it, byte for byte
    "vantlo-file: 1\nsize: 8589934592\nparts: 5\npart: 3\noffset: 4294967294\npart-size: 2147483647\n"
    "stored: 2026-12-07T11:20:44Z\n"
    "sha256: 9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08\n"
    "part-sha256: 2c26b46b68ffc68ff99b453c1d30413413422d706483bfa0f98a5e886266e7ae\n"
    "upload-id: 3fa9c2e1d4b5a6978877665544332211\nname: 视频 [final].mp4\n";
// The same manifest in the line order earlier versions wrote (name first).
const std::string kEarlierOrder =
    "vantlo-file: 1\nname: 视频 [final].mp4\nsize: 8589934592\n"
    "sha256: 9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08\nparts: 5\npart: 3\n"
    "offset: 4294967294\npart-size: 2147483647\n"
    "part-sha256: 2c26b46b68ffc68ff99b453c1d30413413422d706483bfa0f98a5e886266e7ae\n"
    "upload-id: 3fa9c2e1d4b5a6978877665544332211\nstored: 2026-12-07T11:20:44Z\n";

TEST(ManifestTest, ReadsLenientlyAndRefusesWhatItCannotTrust) {
    auto read = [](const std::string& text, Manifest& manifest) {
        std::string problem;
        ManifestRead result = ReadManifest(text, manifest, problem);
        EXPECT_EQ(problem.empty(), result != ManifestRead::Malformed) << text;
        return result;
    };
    std::string crlf;  // CR LF, blank lines, an unknown key, a stray line, and keys in another order
    for (char c : "\n" + kManifest) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    crlf.insert(crlf.find("name:"), "later-key: x\r\nsent from my phone\r\n");
    crlf.erase(crlf.find("part: 3\r\n"), 9);
    for (const std::string& text : {kManifest, kEarlierOrder, crlf + "part: 3"}) {
        Manifest manifest;
        ASSERT_EQ(read(text, manifest), ManifestRead::Ok);
        EXPECT_TRUE(manifest.size == 8589934592 && manifest.offset == 4294967294 && manifest.stored == 1796642444 &&
                    WriteManifest(manifest) == kManifest);
    }

    auto with = [](const std::string& line) {  // in place of its key's line; without a colon, drops that line
        std::string text = kManifest, key = line.substr(0, line.find(':'));
        std::size_t at = ("\n" + text).find("\n" + key + ":");
        return text.replace(at, text.find('\n', at) + 1 - at, key == line ? "" : line + "\n");
    };
    Manifest unused;
    EXPECT_EQ(read("", unused), ManifestRead::NotManifest);
    EXPECT_EQ(read("hello\n" + kManifest, unused), ManifestRead::NotManifest);
    EXPECT_EQ(read(with("vantlo-file: 2"), unused), ManifestRead::UnknownVersion);
    for (std::string line :
         {"size", "size: 8589934592\nsize: 8589934592", "size: 08589934592", "size: -1", "size: 18446744073709551615",
          "part: 6", "part: 0", "offset: 8589934591", "offset: 18446744073709551615", "part-size: 2147483648",
          "upload-id: 3fa9c2e1d4b5a697887766554433221", "stored: 2026-02-29T00:00:00Z", "name: bad\xff", "name: a\tb",
          "sha256: AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"})
        EXPECT_EQ(read(with(line), unused), ManifestRead::Malformed) << line;

    // The modification time is optional: kept when present and well-formed.
    Manifest timed;
    std::string withTime = kManifest;  // written beside the stored time, before the digests
    withTime.insert(withTime.find("sha256:"), "modified: 2026-12-01T08:02:10Z\n");
    ASSERT_EQ(read(withTime, timed), ManifestRead::Ok);
    EXPECT_TRUE(timed.modified == 1796112130 && WriteManifest(timed) == withTime);
    EXPECT_EQ(read(kManifest + "modified: yesterday\n", unused), ManifestRead::Malformed);
}

TEST(FormatTest, MarksLookAlikesAttachmentNamesTimesAndNames) {
    auto expect = [](SubjectKind kind, const std::string& subject, std::string name = {}, std::uint32_t part = 1,
                     std::uint32_t parts = 1) {  // without a name given: named by the whole subject
        SubjectMark mark = ReadSubject(subject);
        EXPECT_TRUE(mark.kind == kind && mark.name == (name.empty() ? subject : name) && mark.part == part &&
                    mark.parts == parts)
            << subject;
    };
    expect(SubjectKind::Part, "video.mp4 [part 3 of 12 #3fa9c2e1]", "video.mp4", 3, 12);
    expect(SubjectKind::Part, "a  [part 2 of 2 #00000000]", "a ", 2, 2);
    expect(SubjectKind::Part, "x [part 1 of 2 #aaaaaaaa] [part 2 of 3 #bbbbbbbb]", "x [part 1 of 2 #aaaaaaaa]", 2, 3);
    for (const char* plain : {"video.mp4", "a [part 1 of 2]", "a [part 1 of 2 #3FA9C2E1]", "a [part 1 of 2 #3fa9c2e]",
                              "a [part 1 of 2 #3fa9c2e1] ", "a [part 1 of 2 #3fa9c2e1x]", "a [part +1 of 2 #3fa9c2e1]"})
        expect(SubjectKind::Plain, plain);
    for (const char* bad :
         {"a [part 0 of 2 #3fa9c2e1]", "a [part 3 of 2 #3fa9c2e1]", "a [part 1 of 1 #3fa9c2e1]",
          "a [part 01 of 2 #3fa9c2e1]", " [part 1 of 2 #3fa9c2e1]", "a [part 1 of 99999999999999999999 #3fa9c2e1]"})
        expect(SubjectKind::BadMark, bad);
    EXPECT_EQ(PartAttachmentName("video.mp4", 3, 12) + PartAttachmentName("a", 1, 1), "video.mp4.003a");
    EXPECT_EQ(PartAttachmentName("big.iso", 42, 1000) + PartAttachmentName("a", 7, 100000), "big.iso.0042a.000007");

    std::int64_t read = -1;
    for (auto seconds : {std::int64_t(0), std::int64_t(951782400), std::int64_t(253402300799)})
        EXPECT_TRUE(ParseUtc(FormatUtc(seconds), read) && read == seconds) << seconds;
    EXPECT_EQ(FormatUtc(951782400) + FormatUtc(253402300799), "2000-02-29T00:00:00Z9999-12-31T23:59:59Z");
    for (const char* bad : {"2026-13-01T00:00:00Z", "2100-02-29T00:00:00Z", "2026-12-07 11:20:44Z",
                            "2026-12-07T24:00:00Z", "1969-12-31T23:59:59Z", "2026-12-07T11:20:44"})
        EXPECT_FALSE(ParseUtc(bad, read)) << bad;

    for (std::string bad :
         {"", "a\tb", "a\nb", "a\rb", "\xff", "\xc0\x80", "\xed\xa0\x80", "\xf4\x90\x80\x80", "ab\xe5"})
        EXPECT_EQ(CheckFileName(bad).code, StoreCode::Refused) << bad;
    EXPECT_EQ(CheckFileName(std::string("a\0b", 3)).code, StoreCode::Refused);
}

}  // namespace
