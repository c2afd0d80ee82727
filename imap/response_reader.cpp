#include "imap/response_reader.h"

#include <algorithm>

namespace imap {
namespace {

constexpr std::size_t kBuffer = 64 * 1024;
constexpr int kMaxDepth = 32;  // nested lists (a body structure's parts)
constexpr std::uint64_t kMaxLiteral = std::uint64_t(1) << 40;

Outcome Garbled(const std::string& what) {
    return Failure(StoreCode::Corrupt, "the server's answer is garbled: " + what);
}

bool EndsAtom(char c) {
    return c == ' ' || c == '(' || c == ')' || c == '\r' || c == '\n' || c == '"';
}

Outcome ReadList(ResponseReader& reader, Value& value, std::size_t& budget, int depth);

Outcome ReadNested(ResponseReader& reader, const Token& first, Value& value, std::size_t& budget, int depth) {
    switch (first.kind) {
    case TokenKind::Atom:
    case TokenKind::Quoted:
        if (first.text.size() > budget) return Failure(StoreCode::Corrupt, "the server's answer is too large");
        budget -= first.text.size();
        value.kind = first.kind == TokenKind::Atom ? Value::Kind::Atom : Value::Kind::String;
        value.text = first.text;
        return Success();
    case TokenKind::Literal:
        if (first.size > budget) return Failure(StoreCode::Corrupt, "the server's answer is too large");
        budget -= static_cast<std::size_t>(first.size);
        value.kind = Value::Kind::String;
        return reader.LiteralText(first.size, value.text);
    case TokenKind::Open:
        if (depth >= kMaxDepth) return Garbled("lists nested too deep");
        return ReadList(reader, value, budget, depth + 1);
    default: return Garbled("a value is missing");
    }
}

Outcome ReadList(ResponseReader& reader, Value& value, std::size_t& budget, int depth) {
    value.kind = Value::Kind::List;
    for (;;) {
        Token token;
        Outcome outcome = reader.Next(token);
        if (!outcome.Ok()) return outcome;
        if (token.kind == TokenKind::Close) return Success();
        if (budget < 16) return Failure(StoreCode::Corrupt, "the server's answer is too large");
        budget -= 16;  // what an item costs beyond its text
        value.items.emplace_back();
        outcome = ReadNested(reader, token, value.items.back(), budget, depth);
        if (!outcome.Ok()) return outcome;
    }
}

}  // namespace

ResponseReader::ResponseReader(ByteSource& source) : source_(source), buffer_(kBuffer) {}

Outcome ResponseReader::Fill() {
    if (begin_ < end_) return Success();
    begin_ = end_ = 0;
    return source_.Read(buffer_.data(), buffer_.size(), end_);
}

Outcome ResponseReader::Byte(char& c) {
    Outcome outcome = Fill();
    if (outcome.Ok()) c = buffer_[begin_++];
    return outcome;
}

Outcome ResponseReader::PeekByte(char& c) {
    Outcome outcome = Fill();
    if (outcome.Ok()) c = buffer_[begin_];
    return outcome;
}

Outcome ResponseReader::Next(Token& token) {
    token = Token();
    char c = ' ';
    Outcome outcome;
    while (c == ' ' && (outcome = Byte(c)).Ok()) {
    }
    if (!outcome.Ok()) return outcome;
    switch (c) {
    case '\r':
        if (!(outcome = Byte(c)).Ok()) return outcome;
        if (c != '\n') return Garbled("a CR without LF");
        token.kind = TokenKind::LineEnd;
        return Success();
    case '\n': token.kind = TokenKind::LineEnd; return Success();
    case '(': token.kind = TokenKind::Open; return Success();
    case ')': token.kind = TokenKind::Close; return Success();
    case '"': token.kind = TokenKind::Quoted; return Quoted(token.text);
    case '{': return LiteralHead(token);
    case '~':
        if (!(outcome = PeekByte(c)).Ok()) return outcome;
        if (c == '{') {
            begin_++;
            return LiteralHead(token);
        }
        c = '~';
        break;
    default: break;
    }
    token.kind = TokenKind::Atom;
    return Atom(c, token.text);
}

Outcome ResponseReader::Atom(char first, std::string& text) {
    // An atom such as BODY[HEADER.FIELDS (SUBJECT)] runs through its brackets.
    int depth = 0;
    for (char c = first;;) {
        if (c == '[') ++depth;
        if (c == ']' && depth > 0) --depth;
        text += c;
        if (text.size() > kMaxAtom) return Garbled("an atom too long");
        Outcome outcome = PeekByte(c);
        if (!outcome.Ok()) return outcome;
        if (depth == 0 && EndsAtom(c)) return Success();
        if (c == '\r' || c == '\n') return Garbled("a line ends inside brackets");
        begin_++;
    }
}

Outcome ResponseReader::Quoted(std::string& text) {
    for (;;) {
        char c;
        Outcome outcome = Byte(c);
        if (!outcome.Ok()) return outcome;
        if (c == '"') return Success();
        if (c == '\\' && !(outcome = Byte(c)).Ok()) return outcome;
        if (c == '\r' || c == '\n') return Garbled("a line ends inside a quoted string");
        if (text.size() >= kMaxText) return Garbled("a quoted string too long");
        text += c;
    }
}

Outcome ResponseReader::LiteralHead(Token& token) {
    token.kind = TokenKind::Literal;
    std::uint64_t size = 0;
    int digits = 0;
    for (;;) {
        char c;
        Outcome outcome = Byte(c);
        if (!outcome.Ok()) return outcome;
        if (c >= '0' && c <= '9' && digits < 14) {
            size = size * 10 + static_cast<std::uint64_t>(c - '0');
            ++digits;
            continue;
        }
        if (c != '}' || digits == 0 || size > kMaxLiteral) return Garbled("a bad literal size");
        if (!(outcome = Byte(c)).Ok()) return outcome;
        if (c == '\r' && !(outcome = Byte(c)).Ok()) return outcome;
        if (c != '\n') return Garbled("a literal size not ending its line");
        token.size = size;
        return Success();
    }
}

Outcome ResponseReader::LiteralStream(std::uint64_t size, const PieceSink& sink, bool& stopped) {
    stopped = false;
    while (size > 0) {
        Outcome outcome = Fill();
        if (!outcome.Ok()) return outcome;
        std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(size, end_ - begin_));
        const char* data = buffer_.data() + begin_;
        begin_ += piece;
        size -= piece;
        if (!sink(data, piece)) {
            stopped = true;
            return Success();
        }
    }
    return Success();
}

Outcome ResponseReader::LiteralText(std::uint64_t size, std::string& text) {
    text.clear();
    if (size > kMaxText) return Failure(StoreCode::Corrupt, "the server sent a text larger than expected");
    bool stopped;
    return LiteralStream(
        size, [&](const char* data, std::size_t n) { return text.append(data, n), true; }, stopped);
}

Outcome ResponseReader::RestOfLine(std::string& text) {
    text.clear();
    for (;;) {
        char c;
        Outcome outcome = Byte(c);
        if (!outcome.Ok()) return outcome;
        if (c == '\n') break;
        if (text.size() < kMaxAtom) text += c;
    }
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return Success();
}

Outcome ResponseReader::StatusTail(std::string& code, std::string& text) {
    code.clear();
    char c;
    Outcome outcome = PeekByte(c);
    while (outcome.Ok() && c == ' ') {
        begin_++;
        outcome = PeekByte(c);
    }
    if (outcome.Ok() && c == '[') {
        begin_++;
        while ((outcome = Byte(c)).Ok() && c != ']') {
            if (c == '\r' || c == '\n' || code.size() >= kMaxAtom) return Garbled("a response code without end");
            code += c;
        }
    }
    if (!outcome.Ok()) return outcome;
    outcome = RestOfLine(text);
    if (!text.empty() && text.front() == ' ') text.erase(0, 1);
    return outcome;
}

Outcome ResponseReader::SkipLine() {
    for (;;) {
        Token token;
        Outcome outcome = Next(token);
        if (!outcome.Ok() || token.kind == TokenKind::LineEnd) return outcome;
        bool stopped;
        if (token.kind == TokenKind::Literal)
            outcome = LiteralStream(
                token.size, [](const char*, std::size_t) { return true; }, stopped);
        if (!outcome.Ok()) return outcome;
    }
}

const Value& Value::At(std::size_t index) const {
    static const Value nil{Kind::Atom, "NIL", {}};
    return index < items.size() ? items[index] : nil;
}

std::string Value::Lower() const {
    if (IsList() || IsNil()) return {};
    std::string lower = text;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

Outcome ReadValue(ResponseReader& reader, const Token& first, Value& value, std::size_t& budget) {
    value = Value();
    return ReadNested(reader, first, value, budget, 0);
}

}  // namespace imap
