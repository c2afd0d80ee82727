#include "imap/fetch_items.h"

#include "catalog/format_values.h"
#include "imap/client.h"

namespace imap {
namespace {

Outcome Garbled(const std::string& what) {
    return Failure(StoreCode::Corrupt, "the server's answer is garbled: " + what);
}

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool Digits(const std::string& text, std::size_t at, std::size_t count, int& value) {
    std::uint64_t number = 0;
    if (at + count > text.size() || !ParseNumber(text.substr(at, count), 9999, number)) return false;
    value = static_cast<int>(number);
    return true;
}

}  // namespace

Outcome ReadFetch(ResponseReader& reader, std::map<std::string, Value>& items, const SectionReader& section) {
    items.clear();
    Token token;
    Outcome outcome = reader.Next(token);
    if (!outcome.Ok()) return outcome;
    if (token.kind != TokenKind::Open) return Garbled("a FETCH without its list");
    std::size_t budget = kMaxResponse;
    for (;;) {
        if (!(outcome = reader.Next(token)).Ok()) return outcome;
        if (token.kind == TokenKind::Close) break;
        if (token.kind != TokenKind::Atom) return Garbled("a FETCH item without name");
        const std::string key = Upper(token.text);
        if (!(outcome = reader.Next(token)).Ok()) return outcome;
        if (section && (key.compare(0, 5, "BODY[") == 0 || key.compare(0, 7, "BINARY[") == 0) &&
            (token.kind != TokenKind::Open)) {
            if (!(outcome = section(reader, token)).Ok()) return outcome;
            items[key].text = "(streamed)";
            continue;
        }
        if (!(outcome = ReadValue(reader, token, items[key], budget)).Ok()) return outcome;
    }
    return reader.SkipLine();
}

Outcome ReadLine(ResponseReader& reader, std::vector<Value>& values) {
    values.clear();
    std::size_t budget = kMaxResponse;
    for (;;) {
        Token token;
        Outcome outcome = reader.Next(token);
        if (!outcome.Ok() || token.kind == TokenKind::LineEnd) return outcome;
        values.emplace_back();
        if (!(outcome = ReadValue(reader, token, values.back(), budget)).Ok()) return outcome;
    }
}

Outcome ReadNumbers(ResponseReader& reader, std::vector<std::uint32_t>& numbers) {
    for (;;) {
        Token token;
        Outcome outcome = reader.Next(token);
        if (!outcome.Ok() || token.kind == TokenKind::LineEnd) return outcome;
        std::uint64_t number = 0;
        if (token.kind == TokenKind::Open) return reader.SkipLine();  // a modifier such as (MODSEQ n)
        if (token.kind != TokenKind::Atom || !ParseNumber(token.text, 0xffffffffu, number))
            return Garbled("a SEARCH result that is not a number");
        numbers.push_back(static_cast<std::uint32_t>(number));
    }
}

std::string UidSet(const std::vector<std::uint32_t>& uids) {
    std::string set;
    for (std::size_t i = 0; i < uids.size();) {
        std::size_t j = i;
        while (j + 1 < uids.size() && uids[j + 1] == uids[j] + 1) ++j;
        if (!set.empty()) set += ',';
        set += std::to_string(uids[i]);
        if (j > i) set += ":" + std::to_string(uids[j]);
        i = j + 1;
    }
    return set;
}

bool ParseInternalDate(const std::string& text, std::int64_t& utcSeconds) {
    static const std::string kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
    // "dd-Mon-yyyy hh:mm:ss +zzzz"; the day may be " 7" or "7".
    std::string date = text;
    if (!date.empty() && date[0] == ' ') date.erase(0, 1);
    if (date.size() > 1 && date[1] == '-') date.insert(0, "0");
    int day, year, hour, minute, second, zone;
    const std::size_t month = date.size() == 26 ? kMonths.find(date.substr(3, 3)) : std::string::npos;
    if (month == std::string::npos || month % 3 != 0 || date[2] != '-' || date[6] != '-' || !Digits(date, 0, 2, day) ||
        !Digits(date, 7, 4, year) || !Digits(date, 12, 2, hour) || !Digits(date, 15, 2, minute) ||
        !Digits(date, 18, 2, second) || !Digits(date, 22, 4, zone) || (date[21] != '+' && date[21] != '-') || day < 1 ||
        day > 31 || hour > 23 || minute > 59 || second > 60)
        return false;
    const int offset = (zone / 100 * 60 + zone % 100) * 60 * (date[21] == '-' ? -1 : 1);
    const std::int64_t days =
        catalog::DaysFromCivil(year, static_cast<unsigned>(month / 3 + 1), static_cast<unsigned>(day));
    utcSeconds = days * 86400 + hour * 3600 + minute * 60 + second - offset;
    return true;
}

std::string MailIdOf(const MailRef& ref) {
    return ref.folder + ":" + std::to_string(ref.validity) + ":" + std::to_string(ref.uid);
}

bool ParseMailId(const std::string& id, MailRef& ref) {
    const std::size_t second = id.rfind(':');
    const std::size_t first =
        second == std::string::npos || second == 0 ? std::string::npos : id.rfind(':', second - 1);
    std::uint64_t validity = 0, uid = 0;
    if (first == std::string::npos || first == 0 ||
        !ParseNumber(id.substr(first + 1, second - first - 1), 0xffffffffu, validity) ||
        !ParseNumber(id.substr(second + 1), 0xffffffffu, uid) || uid == 0 || validity == 0)
        return false;
    ref = {id.substr(0, first), static_cast<std::uint32_t>(validity), static_cast<std::uint32_t>(uid)};
    return true;
}

}  // namespace imap
