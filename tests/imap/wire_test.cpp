// The IMAP store's parsers and codings as tables: response tokens fed one
// byte at a time, body structures, modified UTF-7, encoded words, RFC 2231
// parameters, transfer codings, dates, ids and server addresses.
#include <gtest/gtest.h>

#include "imap/body_structure.h"
#include "imap/client.h"
#include "imap/fetch_items.h"
#include "imap/header_words.h"
#include "imap/mailbox_name.h"
#include "imap/part_message.h"
#include "imap/transfer_coding.h"

namespace {

using namespace imap;

// Hands out its text one byte per read, so every token crosses reads.
struct Trickle : ByteSource {
    std::string text;
    std::size_t at = 0;
    Outcome Read(char* into, std::size_t, std::size_t& got) override {
        if (at == text.size()) return Failure(StoreCode::Broken, "end");
        into[0] = text[at++];
        got = 1;
        return Success();
    }
};

// Every token of the text, "|"-separated; literals as {content}; "!garbled" where it fails as garbled.
std::string Tokens(const std::string& text) {
    Trickle source;
    source.text = text;
    ResponseReader reader(source);
    std::string out;
    for (Token token; source.at < text.size() || reader.Buffered();) {
        Outcome outcome = reader.Next(token);
        if (outcome.Ok() && token.kind == TokenKind::Literal) outcome = reader.LiteralText(token.size, token.text);
        if (!outcome.Ok()) return out + (outcome.code == StoreCode::Corrupt ? "!garbled" : "!other");
        const char* marks[] = {"", "\"", "{", "(", ")", "EOL"};
        out += marks[static_cast<int>(token.kind)] + token.text + "|";
    }
    return out;
}

TEST(ImapWire, ResponsesSplitIntoTokensWhereverTheReadsEnd) {
    const std::string tooLong = "* " + std::string(70000, 'a') + "\r\n";
    const std::pair<std::string, std::string> cases[] = {
        {"* 3 FETCH (UID 7 BODY[HEADER.FIELDS (SUBJECT)] {5}\r\nHi\r\n! BINARY[2] ~{2}\r\nab)\r\n",
         "*|3|FETCH|(|UID|7|BODY[HEADER.FIELDS (SUBJECT)]|{Hi\r\n!|BINARY[2]|{ab|)|EOL|"},
        {"* LIST (\\Noselect) \"/\" \"a \\\"b\\\\\"\n", "*|LIST|(|\\Noselect|)|\"/|\"a \"b\\|EOL|"},
        {"* OK \"cut\r\n", "*|OK|!garbled"},
        {"* {12x}\r\n", "*|!garbled"},
        {"* {99999999999999}\r\n", "*|!garbled"},
        {"* {1048576}\r\n" + std::string(1048576, 'x'), "*|{" + std::string(1048576, 'x') + "|"},
        {"* {1048577}\r\n" + std::string(1048577, 'x'), "*|!garbled"},  // refused unread
        {"* {2}\r\nab", "*|{ab|"},
        {tooLong, "*|!garbled"},
    };
    for (const auto& [text, tokens] : cases) EXPECT_EQ(Tokens(text), tokens) << text.substr(0, 40);
}

TEST(ImapWire, StatusTailsAndValuesReadWhole) {
    Trickle source;
    source.text = "[APPENDUID 38505 3955] Append done\r\n(\"a\" NIL (b {1}\r\nc))\r\n";
    ResponseReader reader(source);
    std::string code, text;
    ASSERT_TRUE(reader.StatusTail(code, text).Ok());
    EXPECT_EQ(code + "|" + text, "APPENDUID 38505 3955|Append done");
    Token first;
    Value value;
    std::size_t budget = 1000;
    ASSERT_TRUE(reader.Next(first).Ok() && ReadValue(reader, first, value, budget).Ok());
    EXPECT_TRUE(value.At(0).text == "a" && value.At(1).IsNil() && value.At(2).At(1).text == "c" && value.At(9).IsNil());
}

TEST(ImapWire, BodyStructuresNameTheTextAndTheAttachments) {
    // A part stored by this program and a webmail-style mail with an
    // alternative body and a name in RFC 2231 sections.
    const std::pair<std::string, std::string> cases[] = {
        {"((\"text\" \"plain\" (\"charset\" \"utf-8\") NIL NIL \"7bit\" 40 3 NIL NIL NIL NIL)"
         "(\"application\" \"octet-stream\" (\"name*\" \"utf-8''a%20b.003\") NIL NIL \"base64\" 1370 NIL "
         "(\"attachment\" (\"filename*\" \"utf-8''a%20b.003\")) NIL NIL) \"mixed\" (\"boundary\" \"x\") NIL NIL NIL)",
         "1 text/plain utf-8 7bit 40 '' text|2 application/octet-stream  base64 1370 'a b.003' attachment|"},
        {"(((\"TEXT\" \"PLAIN\" (\"CHARSET\" \"gbk\") NIL NIL \"QUOTED-PRINTABLE\" 9 1)(\"text\" \"html\" NIL NIL NIL "
         "\"7bit\" 20 1) \"alternative\")(\"image\" \"png\" NIL NIL NIL \"base64\" 8 NIL (\"inline\" (\"filename*0*\" "
         "\"utf-8''%E6%8A%A5\" \"filename*1\" \".png\")) NIL) \"mixed\")",
         "1.1 text/plain gbk quoted-printable 9 '' text|1.2 text/html  7bit 20 ''|2 image/png  base64 8 "
         "'\xE6\x8A\xA5.png' attachment|"},
        {"(\"TEXT\" \"PLAIN\" NIL NIL NIL \"7BIT\" 5 1)", "1 text/plain  7bit 5 '' text|"},
    };
    for (const auto& [text, expected] : cases) {
        Trickle source;
        source.text = text + "\r\n";
        ResponseReader reader(source);
        Token first;
        Value value;
        std::size_t budget = 10000;
        MailStructure structure;
        ASSERT_TRUE(reader.Next(first).Ok() && ReadValue(reader, first, value, budget).Ok());
        ASSERT_TRUE(ReadStructure(value, structure).Ok()) << text;
        std::string shown;
        for (std::size_t i = 0; i < structure.leaves.size(); ++i) {
            const BodyPart& p = structure.leaves[i];
            shown += p.section + " " + p.type + "/" + p.subtype + " " + p.charset + " " + p.encoding + " " +
                     std::to_string(p.octets) + " '" + p.name + "'" + (p.attachment ? " attachment" : "") +
                     (static_cast<int>(i) == structure.text ? " text" : "") + "|";
        }
        EXPECT_EQ(shown, expected);
    }
}

TEST(ImapWire, FolderNamesInModifiedUtf7) {
    const std::pair<std::string, std::string> names[] = {
        {"INBOX", "INBOX"},
        {"a&b", "a&-b"},
        {"Entw\xC3\xBCrfe", "Entw&APw-rfe"},
        {"\xE5\xB7\xB2\xE5\x88\xA0\xE9\x99\xA4", "&XfJSIJZk-"},
        {"\xF0\x9F\x98\x80 x", "&2D3eAA- x"},
        {"~peter/mail/\xE5\x8F\xB0\xE5\x8C\x97/\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
         "~peter/mail/&U,BTFw-/&ZeVnLIqe-"}};
    for (const auto& [utf8, wire] : names) {
        std::string back;
        EXPECT_EQ(EncodeMailboxName(utf8), wire);
        EXPECT_TRUE(DecodeMailboxName(wire, back) && back == utf8) << wire;
    }
    for (const char* bad : {"&Jjo", "&2D0-", "&A-", "a\xC3\xA9", "&AP*-"}) {
        std::string back;
        EXPECT_FALSE(DecodeMailboxName(bad, back)) << bad;
    }
}

// A name is one level whatever the delimiter; a path splits at its last one.
TEST(ImapWire, FolderLevelsKeepTheDelimiterAndTheSlashOutOfNames) {
    const std::string kSolidus = "\xEF\xBC\x8F";  // ／
    const struct {
        std::string name;
        char delimiter;
        std::string level;
    } levels[] = {
        {"a/b", '/', "a" + kSolidus + "b"},
        {"a/b.c", '.', "a" + kSolidus + "b" + kSolidus + "c"},
        {"v1.2", '/', "v1.2"},
        {"x/y", 0, "x" + kSolidus + "y"},
        {"\xE6\x96\x87\xE4\xBB\xB6", '.', "\xE6\x96\x87\xE4\xBB\xB6"},
        {"a\\b", '\\', "a" + kSolidus + "b"},
    };
    for (const auto& c : levels) EXPECT_EQ(LevelOfName(c.name, c.delimiter), c.level) << c.name;
    const struct {
        std::string path;
        char delimiter;
        std::string parent, leaf;
    } paths[] = {{"a/b/c", '/', "a/b", "c"},
                 {"a.b", '.', "a", "b"},
                 {"a/b", '.', "", "a/b"},
                 {"top", '/', "", "top"},
                 {"a/b", 0, "", "a/b"}};
    for (const auto& c : paths) {
        const MailboxPath split = SplitMailboxPath(c.path, c.delimiter);
        EXPECT_EQ(split.parent + "|" + split.leaf, c.parent + "|" + c.leaf) << c.path;
    }
}

TEST(ImapWire, HeadersAndParametersDecodeAndRoundTrip) {
    const std::pair<std::string, std::string> headers[] = {
        {"=?UTF-8?B?w6k=?= =?utf-8?q?_x?=", "\xC3\xA9 x"},
        {"a =?ISO-8859-1?Q?caf=E9?=\r\n b", "a caf\xC3\xA9 b"},
        {"=?x-unknown?B?w6k=?= \xFF", "=?x-unknown?B?w6k=?= \xEF\xBF\xBD"},
        {"=?UTF-8*en?B?w6k?=x", "\xC3\xA9x"},
        {"plain =? text", "plain =? text"}};
    for (const auto& [raw, text] : headers) EXPECT_EQ(DecodeHeader(raw), text) << raw;
    for (const std::string& text : std::vector<std::string>{
             "report.pdf", " lead", "a  b", "=?x?B?y?=", std::string(300, 'x'),
             "\xE6\x96\x87\xE4\xBB\xB6 [part 2 of 3 #0a1b2c3d]" + std::string(40, 'z') + "\xE6\x96\x87"}) {
        EXPECT_EQ(DecodeHeader(EncodeHeader(text)), text);
        // The parameter as a mail carries it, read back as a server lists it.
        std::vector<std::pair<std::string, std::string>> parameters;
        const std::string encoded = EncodeParameter("filename", text) + ";";
        for (std::size_t at = encoded.find(" "); at != std::string::npos; at = encoded.find(" ", at + 1)) {
            std::size_t equals = encoded.find('=', at), end = encoded.find(';', equals);
            parameters.emplace_back(encoded.substr(at + 1, equals - at - 1),
                                    encoded.substr(equals + 1, end - equals - 1));
        }
        EXPECT_EQ(ParameterValue(parameters, "FILENAME"), text) << encoded;
    }
    EXPECT_EQ(ParameterValue({{"name", "=?UTF-8?B?5oql?="}}, "name"), "\xE6\x8A\xA5");
    EXPECT_EQ(ParameterValue({{"filename*0", "a"}, {"filename*2", "c"}, {"filename*1*", "%42"}}, "filename"), "aBc");
}

TEST(ImapWire, TransferCodingsDecodeAcrossPieces) {
    const std::tuple<Coding, std::string, std::string, bool> cases[] = {
        {Coding::Base64, "aGVs\r\nbG8=", "hello", true},
        {Coding::Base64, "aGVsbG8", "hello", true},
        {Coding::Base64, "aGV*", "", false},
        {Coding::Base64, "aQ==Zg==", "i", false},
        {Coding::Base64, "aGVs bG8gd29y\tbGQ*", "hello wor", false},  // a stray character after a run
        {Coding::QuotedPrintable, "a=3Db  \r\nc=\r\nd=E9=4", "a=b\r\ncd\xE9=4", true},
        {Coding::Identity, "=3D", "=3D", true}};
    for (const auto& [coding, input, output, valid] : cases) {
        for (std::size_t piece : {std::size_t(1), std::size_t(3), input.size()}) {  // the same in any pieces
            Decoder decoder(coding);
            std::string out;
            bool ok = true;
            for (std::size_t at = 0; at < input.size(); at += piece)
                ok = ok && decoder.Feed(input.data() + at, std::min(piece, input.size() - at), out);
            ok = ok && decoder.Finish(out);
            EXPECT_EQ(ok, valid) << input << " in pieces of " << piece;
            EXPECT_EQ(out.substr(0, output.size()), output) << input << " in pieces of " << piece;
        }
    }
    std::string bytes;  // every byte value, in no simple order
    for (int i = 0; i < 1000; ++i) bytes += static_cast<char>(i * 131 + i / 251);
    for (std::size_t size : {0, 1, 2, 56, 57, 58, 114, 998, 1000}) {
        std::string lines = "kept";
        AppendBase64Lines(bytes.data(), size, lines);
        EXPECT_EQ(lines, "kept" + Base64Lines(bytes.data(), size));
        lines.erase(0, 4);
        EXPECT_EQ(Base64LinesSize(size), lines.size());
        EXPECT_EQ(lines.find("\r\n"), size == 0 ? std::string::npos : size < 57 ? (size + 2) / 3 * 4 : 76);
        // The length from the ends alone, padded or not; a line between them one short tells nothing.
        const std::string bare = lines.substr(0, lines.find_last_not_of("=\r\n") + 1),
                          cut = std::string(lines).erase(lines.size() / 2, 1);
        for (auto [text, whole] : {std::pair{lines, true}, {bare, true}, {cut, false}}) {
            std::uint64_t length = 0;
            const bool told = size >= 998 && Base64LengthFromEnds(text.size(), text.substr(0, 200),
                                                                  text.substr(text.size() - 200), length);
            EXPECT_TRUE(size < 998 || (told == whole && length == (told ? size : 0))) << size;
        }
        for (std::size_t piece : {std::size_t(5), std::size_t(77), lines.size() + 1}) {
            std::string back;
            Decoder decoder(Coding::Base64);
            bool ok = true;
            for (std::size_t at = 0; at < lines.size(); at += piece)
                ok = ok && decoder.Feed(lines.data() + at, std::min(piece, lines.size() - at), back);
            EXPECT_TRUE(ok && decoder.Finish(back) && back == bytes.substr(0, size)) << size << "/" << piece;
        }
    }
}

TEST(ImapWire, DatesIdsSetsAndServerAddresses) {
    std::int64_t at = 0;
    EXPECT_TRUE(ParseInternalDate("17-Jul-1996 02:44:25 -0700", at) && at == 837596665);
    EXPECT_TRUE(ParseInternalDate(" 1-Jan-1970 00:00:00 +0100", at) && at == -3600);
    EXPECT_FALSE(ParseInternalDate("17-Jux-1996 02:44:25 -0700", at));
    EXPECT_EQ(MailDate(837596665), "Wed, 17 Jul 1996 09:44:25 +0000");
    MailRef ref;
    EXPECT_TRUE(ParseMailId("a:b:7:42", ref) && ref.folder == "a:b" && ref.validity == 7 && ref.uid == 42);
    for (const char* bad : {"7:42", ":7:42", "a:0:42", "a:7:x", "a:7:99999999999"})
        EXPECT_FALSE(ParseMailId(bad, ref)) << bad;
    EXPECT_EQ(UidSet({1, 2, 3, 7, 9, 10}), "1:3,7,9:10");
    const std::pair<std::string, std::string> urls[] = {{"imaps://mail.example.test", "mail.example.test 993 tls"},
                                                        {"imap://127.0.0.1:1143/", "127.0.0.1 1143 starttls"},
                                                        {"imaps://h:0", ""},
                                                        {"imaps://h:99999", ""},
                                                        {"https://h", ""},
                                                        {"imaps://user@h", ""},
                                                        {"imaps://", ""}};
    for (const auto& [url, shown] : urls) {
        ServerAddress address;
        std::string problem;
        const bool ok = ParseServerUrl(url, address, problem);
        EXPECT_EQ(ok ? address.host + " " + std::to_string(address.port) +
                           (address.security == Security::Tls ? " tls" : " starttls")
                     : "",
                  shown)
            << url;
    }
    EXPECT_TRUE(IsLoopback("127.0.0.2") && IsLoopback("localhost") && !IsLoopback("128.0.0.1"));
}

}  // namespace
