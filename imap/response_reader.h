// Reading a server's responses token by token, with nothing buffered past a
// fixed bound: atoms and quoted strings have caps, small literals are read
// into memory under a cap, and large ones (a message part) are streamed to
// the caller in pieces. The bytes come from a ByteSource: the connection,
// or a text in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "catalog/outcome.h"

namespace imap {

using catalog::Failure;
using catalog::Outcome;
using catalog::StoreCode;
using catalog::Success;

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads at least one byte and at most `capacity` into `into`, within the
    // source's own time bound; a closed or broken source is a failure.
    virtual Outcome Read(char* into, std::size_t capacity, std::size_t& got) = 0;
};

constexpr std::size_t kMaxAtom = 64 * 1024;            // atoms and response codes
constexpr std::size_t kMaxText = 1024 * 1024;          // quoted strings and literals read into memory
constexpr std::size_t kMaxResponse = 8 * 1024 * 1024;  // all values of one response held at once

enum class TokenKind {
    Atom,     // NIL and numbers too
    Quoted,   // text: the unescaped content
    Literal,  // size: the content follows and must be consumed (LiteralText, LiteralStream, Skip...)
    Open,
    Close,
    LineEnd,
};

struct Token {
    TokenKind kind = TokenKind::LineEnd;
    std::string text;
    std::uint64_t size = 0;
};

// Returning false stops the stream; the rest of the literal is then unread.
using PieceSink = std::function<bool(const char* data, std::size_t size)>;

class ResponseReader {
public:
    explicit ResponseReader(ByteSource& source);

    Outcome Next(Token& token);
    // The content of the literal just read (at most kMaxText bytes).
    Outcome LiteralText(std::uint64_t size, std::string& text);
    // Streams the literal's content to the sink; `stopped` tells whether the sink said stop.
    Outcome LiteralStream(std::uint64_t size, const PieceSink& sink, bool& stopped);
    // The rest of the line as it stands (a status response's text), up to
    // and without its CRLF; bytes past kMaxAtom are dropped, not kept.
    Outcome RestOfLine(std::string& text);
    // A status response after its word: the optional "[CODE ...]" and the text.
    Outcome StatusTail(std::string& code, std::string& text);
    // Drops everything (literals included) through the end of the line.
    Outcome SkipLine();
    // Whether bytes are buffered that nobody has read yet.
    bool Buffered() const { return begin_ < end_; }

private:
    Outcome Fill();
    Outcome Byte(char& c);  // the next byte, consumed
    Outcome PeekByte(char& c);
    Outcome Quoted(std::string& text);
    Outcome LiteralHead(Token& token);
    Outcome Atom(char first, std::string& text);

    ByteSource& source_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

// A parsed value: an atom (NIL included), a string, or a list of values.
struct Value {
    enum class Kind { Atom, String, List };
    Kind kind = Kind::Atom;
    std::string text;
    std::vector<Value> items;

    bool IsNil() const { return kind == Kind::Atom && text == "NIL"; }
    bool IsList() const { return kind == Kind::List; }
    // The item at `index` of a list, or a NIL value past its end.
    const Value& At(std::size_t index) const;
    // A string or atom's text, lower-cased (ASCII); empty for NIL and lists.
    std::string Lower() const;
};

// Reads the value that starts with `first` (a list reads to its close).
// `budget` is what the response may still hold; it shrinks as values are read.
Outcome ReadValue(ResponseReader& reader, const Token& first, Value& value, std::size_t& budget);

}  // namespace imap
