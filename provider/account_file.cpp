#include "account_file.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace provider {

namespace {

constexpr std::string_view kMagic = "vantlo-account 1";

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

bool ParseNumber(std::string_view text, std::int64_t& value) {
    if (text.empty() || text.size() > 19) return false;
    std::size_t start = text[0] == '-' ? 1 : 0;
    if (start == text.size()) return false;
    for (std::size_t i = start; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    errno = 0;
    value = std::strtoll(std::string(text).c_str(), nullptr, 10);
    return errno != ERANGE;
}

std::string Join(std::initializer_list<std::string> fields) {
    std::string line;
    for (const std::string& field : fields) {
        if (!line.empty()) line.push_back('\t');
        line += field;
    }
    line.push_back('\n');
    return line;
}

bool ParseRecord(const std::vector<std::string_view>& f, AccountData& account, std::string& why) {
    std::string_view kind = f[0];
    auto expect = [&](std::size_t count) {
        if (f.size() == count) return true;
        why = "record '" + std::string(kind) + "' has " + std::to_string(f.size()) + " fields, expected " +
              std::to_string(count);
        return false;
    };
    auto text = [&](std::size_t i, std::string& out) {
        if (UnescapeField(f[i], out)) return true;
        why = "bad escape in field " + std::to_string(i + 1);
        return false;
    };
    auto number = [&](std::size_t i, std::int64_t& out) {
        if (ParseNumber(f[i], out)) return true;
        why = "field " + std::to_string(i + 1) + " is not a number";
        return false;
    };
    if (kind == "address") return expect(2) && text(1, account.address);
    if (kind == "password") return expect(2) && text(1, account.password);
    if (kind == "next-folder") return expect(2) && number(1, account.nextFolderId);
    if (kind == "next-message") return expect(2) && number(1, account.nextMessageSeq);
    if (kind == "folder") {
        // The parent came later: a folder of an older index stands at the top.
        FolderRecord folder;
        if (f.size() != 3 && !expect(4)) return false;
        if (!number(1, folder.id) || !text(2, folder.name) || (f.size() == 4 && !number(3, folder.parent)))
            return false;
        account.userFolders.push_back(std::move(folder));
        return true;
    }
    if (kind == "message") {
        MessageRecord m;
        std::int64_t read = 0;
        if (f.size() != 12 && !expect(14)) return false;
        if (!text(1, m.id) || !number(2, m.fid) || !number(3, m.size) || !number(4, m.attachmentSize) ||
            !number(5, m.sentAt) || !number(6, m.receivedAt) || !number(7, read) || !number(8, m.seq) ||
            !text(9, m.from) || !text(10, m.to) || !text(11, m.subject) ||
            (f.size() == 14 && (!text(12, m.filename) || !text(13, m.content))))
            return false;
        m.read = read != 0;
        account.messages.push_back(std::move(m));
        return true;
    }
    if (kind == "compose") {
        ComposeRecord compose;
        if (!expect(3) || !text(1, compose.id) || !number(2, compose.createdAt)) return false;
        account.composes.push_back(std::move(compose));
        return true;
    }
    why = "unknown record '" + std::string(kind) + "'";
    return false;
}

}  // namespace

std::string EscapeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out.push_back(c);
        }
    }
    return out;
}

bool UnescapeField(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
        case '\\': out.push_back('\\'); break;
        case 't': out.push_back('\t'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        default: return false;
        }
    }
    return true;
}

std::string SerializeAccount(const AccountData& account) {
    std::string text = std::string(kMagic) + "\n";
    text += Join({"address", EscapeField(account.address)});
    text += Join({"password", EscapeField(account.password)});
    text += Join({"next-folder", std::to_string(account.nextFolderId)});
    text += Join({"next-message", std::to_string(account.nextMessageSeq)});
    // A top-level folder keeps the older three-field record.
    for (const FolderRecord& folder : account.userFolders)
        text +=
            folder.parent == 0
                ? Join({"folder", std::to_string(folder.id), EscapeField(folder.name)})
                : Join({"folder", std::to_string(folder.id), EscapeField(folder.name), std::to_string(folder.parent)});
    for (const MessageRecord& m : account.messages)
        text += Join({"message", EscapeField(m.id), std::to_string(m.fid), std::to_string(m.size),
                      std::to_string(m.attachmentSize), std::to_string(m.sentAt), std::to_string(m.receivedAt),
                      m.read ? "1" : "0", std::to_string(m.seq), EscapeField(m.from), EscapeField(m.to),
                      EscapeField(m.subject), EscapeField(m.filename), EscapeField(m.content)});
    for (const ComposeRecord& compose : account.composes)
        text += Join({"compose", EscapeField(compose.id), std::to_string(compose.createdAt)});
    return text;
}

bool ParseAccount(std::string_view text, AccountData& account, std::string& error) {
    account = AccountData();
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    bool sawMagic = false;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            error = "the last line is not complete";
            return false;
        }
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!sawMagic) {
            if (line != kMagic) {
                error = "line 1 is not \"" + std::string(kMagic) + "\"";
                return false;
            }
            sawMagic = true;
            continue;
        }
        std::string why;
        if (!ParseRecord(SplitTabs(line), account, why)) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        }
    }
    if (!sawMagic) {
        error = "empty index";
        return false;
    }
    if (account.address.empty()) {
        error = "no address record";
        return false;
    }
    return true;
}

}  // namespace provider
