// Reads the provider's script object text, e.g.
//   {'code':'S_OK','var':[{'id':1,'name':'Inbox','stats':{'messageCount':3}}]}
// one token at a time. A key is taken only where it stands as a key: a
// quoted name followed by a colon, outside every text value. Text values
// come back with their escaped quotes restored; date values
// (new Date(y,m,d,h,mi,s)) come back as the text between the parentheses.
// The scanner never reads past the end of its text, however the text is
// cut or garbled.
//
// The seed's tables take text values with only the escaped quote and
// backslash restored (Escapes::Quotes); the value readers above the tables
// decode every escape of a script string literal (Escapes::Script): \n,
// \r, \t, \b, \f, \v, \0, \xHH and \uXXXX (surrogate pairs joined), each
// into UTF-8; a backslash before any other character stands for that
// character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace session {

enum class ValueKind { Text, Bare, Date, Object, Array };

enum class Escapes { Quotes, Script };

enum class ScanEvent {
    Member,       // key() and, unless it opens an object or array, value()
    Element,      // a value standing alone inside an array: value()
    ObjectOpen,   // depth() is the depth inside the new object
    ObjectClose,  // depth() is the depth outside the closed object
    End,
};

class KeywordScanner {
public:
    explicit KeywordScanner(std::string_view text, Escapes escapes = Escapes::Quotes)
        : text_(text), escapes_(escapes) {}

    ScanEvent Next();

    const std::string& Key() const { return key_; }
    const std::string& Value() const { return value_; }
    ValueKind Kind() const { return kind_; }
    int Depth() const { return depth_; }

private:
    bool AtEnd() const { return pos_ >= text_.size(); }
    void SkipSpace();
    std::string ReadQuoted();
    void ReadEscape(std::string& out);
    std::string ReadBare();
    bool ReadValue();

    std::string_view text_;
    Escapes escapes_;
    std::size_t pos_ = 0;
    int depth_ = 0;
    std::string key_;
    std::string value_;
    ValueKind kind_ = ValueKind::Bare;
};

// The value of the first 'var' member: a text or bare value as it stands,
// or the first element of an array. Empty when there is none.
std::string FindVarValue(std::string_view text);

}  // namespace session
