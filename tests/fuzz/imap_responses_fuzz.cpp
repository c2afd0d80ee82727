// Feeds arbitrary bytes to the IMAP response readers as a server would send
// them, in pieces of a size the input chooses: nothing may read or hold past
// its bounds, a streamed literal must deliver exactly its declared size, a
// body structure must index only leaves it has, and folder names that decode
// must encode back to a name that decodes the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "imap/body_structure.h"
#include "imap/fetch_items.h"
#include "imap/header_words.h"
#include "imap/mailbox_name.h"
#include "imap/response_reader.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

class PieceSource : public imap::ByteSource {
public:
    PieceSource(const std::uint8_t* data, std::size_t size, std::size_t piece)
        : data_(data), size_(size), piece_(piece) {}

    imap::Outcome Read(char* into, std::size_t capacity, std::size_t& got) override {
        if (at_ == size_) return imap::Failure(imap::StoreCode::Broken, "closed");
        got = std::min({capacity, piece_, size_ - at_});
        std::copy(data_ + at_, data_ + at_ + got, into);
        at_ += got;
        return imap::Success();
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t piece_;
    std::size_t at_ = 0;
};

void CheckText(const std::string& text) {
    std::int64_t seconds = 0;
    (void)imap::ParseInternalDate(text, seconds);
    (void)imap::DecodeHeader(text);
    std::string name, again;
    if (imap::DecodeMailboxName(text, name)) {
        Check(imap::DecodeMailboxName(imap::EncodeMailboxName(name), again));
        Check(again == name);
    }
    imap::MailRef ref;
    if (imap::ParseMailId(text, ref)) Check(imap::ParseMailId(imap::MailIdOf(ref), ref));
}

void CheckValue(const imap::Value& value, int depth = 0) {
    if (depth > 4) return;
    if (!value.IsList()) return CheckText(value.text);
    for (const imap::Value& item : value.items) CheckValue(item, depth + 1);
}

void CheckFetch(imap::ResponseReader& reader) {
    std::map<std::string, imap::Value> items;
    const imap::SectionReader section = [](imap::ResponseReader& from, const imap::Token& token) {
        if (token.kind != imap::TokenKind::Literal) return imap::Success();
        std::uint64_t streamed = 0;
        bool stopped = false;
        imap::Outcome outcome = from.LiteralStream(
            token.size, [&](const char*, std::size_t n) { return streamed += n, true; }, stopped);
        if (outcome.Ok()) Check(streamed == token.size && !stopped);
        return outcome;
    };
    if (!imap::ReadFetch(reader, items, section).Ok()) return;
    for (const auto& [key, value] : items) {
        if (key != "BODYSTRUCTURE" && key != "BODY") {
            CheckValue(value);
            continue;
        }
        imap::MailStructure structure;
        if (!imap::ReadStructure(value, structure).Ok()) continue;
        const int leaves = static_cast<int>(structure.leaves.size());
        Check(structure.text >= -1 && structure.text < leaves);
        for (int index : structure.attachments) Check(index >= 0 && index < leaves);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    PieceSource source(data + 1, size - 1, 1 + data[0] % 64);
    imap::ResponseReader reader(source);
    // Each round reads one response the way the client does: its tag, then
    // by its first word a FETCH, a line of values, numbers or a status.
    for (int round = 0; round < 64; ++round) {
        imap::Token tag, word;
        if (!reader.Next(tag).Ok() || !reader.Next(word).Ok()) break;
        if (word.kind != imap::TokenKind::Atom) {
            if (!reader.SkipLine().Ok()) break;
            continue;
        }
        imap::Token kind;
        std::vector<imap::Value> values;
        std::vector<std::uint32_t> numbers;
        std::string code, text;
        switch (word.text.empty() ? ' ' : word.text[0]) {
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9':
            if (!reader.Next(kind).Ok()) return 0;
            CheckFetch(reader);
            break;
        case 'S':
            if (!imap::ReadNumbers(reader, numbers).Ok()) return 0;
            std::sort(numbers.begin(), numbers.end());
            numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
            Check(imap::UidSet(numbers).empty() == numbers.empty());
            break;
        case 'O':
        case 'N':
        case 'B':
            if (!reader.StatusTail(code, text).Ok()) return 0;
            Check(text.size() <= imap::kMaxAtom && code.size() <= imap::kMaxAtom);
            break;
        default:
            if (!imap::ReadLine(reader, values).Ok()) return 0;
            for (const imap::Value& value : values) CheckValue(value);
        }
    }
    return 0;
}
