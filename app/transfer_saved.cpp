#include "app/transfer_saved.h"

#include <charconv>
#include <fstream>

#include "catalog/sha256.h"
#include "platform/durable_file.h"

namespace app {

namespace {
constexpr char kHeader[] = "vantlo-transfers 1\n";
constexpr char kEnd[] = "end ";
constexpr std::size_t kLargestFile = 4 << 20;  // a queue far longer than anyone makes
constexpr std::size_t kFields = 11;
constexpr char kHex[] = "0123456789abcdef";

// Every byte that could split a line or a field, and the escape itself, as %XX.
std::string Escaped(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c <= 0x20 || c == '%' || c == 0x7f) {  // a blank separates the replaced mails
            out += '%', out += kHex[c >> 4], out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool Unescaped(const std::string& text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

bool ReadNumber(const std::string& text, std::uint64_t& value) {
    if (text.empty()) return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string> Split(const std::string& line, char separator) {
    std::vector<std::string> parts(1);
    for (char c : line) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

std::string Digest(const std::string& bytes) {
    catalog::Sha256 sha;
    sha.Update(bytes.data(), bytes.size());
    return sha.FinishHex();
}

char StateMark(TransferState state) {
    switch (state) {
    case TransferState::Paused: return 'p';
    case TransferState::Failed: return 'f';
    default: return 'w';  // a running row is taken up again
    }
}

bool Kept(const TransferRow& row) {
    return row.state != TransferState::Done && row.state != TransferState::Cancelled && !row.openWhenDone;
}

// Upper case for a vault's row: a later run never sends it unsealed.
std::string Direction(const TransferRow& row) {
    return row.sealed ? (row.upload ? "U" : "D") : (row.upload ? "u" : "d");
}

std::string RowLine(const TransferRow& row) {
    std::string replaces;
    for (const std::string& id : row.replaces) replaces += (replaces.empty() ? "" : " ") + Escaped(id);
    const std::string fields[kFields] = {Direction(row),
                                         std::string(1, StateMark(row.state)),
                                         std::to_string(row.size),
                                         std::to_string(row.done),
                                         Escaped(row.name),
                                         Escaped(row.local.u8string()),
                                         Escaped(row.key),
                                         Escaped(row.folderId),
                                         Escaped(row.storeFolderId),
                                         replaces,
                                         Escaped(row.reason)};
    std::string line;
    for (const std::string& field : fields) line += (line.empty() ? "" : "\t") + field;
    return line + "\n";
}

bool ReadRow(const std::string& line, TransferRow& row) {
    std::vector<std::string> f = Split(line, '\t');
    if (f.size() != kFields || f[0].size() != 1 || std::string("udUD").find(f[0][0]) == std::string::npos ||
        f[1].size() != 1)
        return false;
    row.upload = f[0] == "u" || f[0] == "U";
    row.sealed = f[0] == "U" || f[0] == "D";
    switch (f[1][0]) {
    case 'w': row.state = TransferState::Waiting; break;
    case 'p': row.state = TransferState::Paused; break;
    case 'f': row.state = TransferState::Failed; break;
    default: return false;
    }
    std::string local;
    if (!ReadNumber(f[2], row.size) || !ReadNumber(f[3], row.done) || row.done > row.size ||
        !Unescaped(f[4], row.name) || !Unescaped(f[5], local) || !Unescaped(f[6], row.key) ||
        !Unescaped(f[7], row.folderId) || !Unescaped(f[8], row.storeFolderId) || !Unescaped(f[10], row.reason))
        return false;
    row.local = std::filesystem::u8path(local);
    if (!f[9].empty()) {
        for (const std::string& id : Split(f[9], ' ')) {
            std::string plain;
            if (!Unescaped(id, plain) || plain.empty()) return false;
            row.replaces.push_back(plain);
        }
    }
    // Each direction needs what it acts on.
    if (row.name.empty() || local.empty()) return false;
    return row.upload || row.sealed ? !row.storeFolderId.empty() && (row.upload || !row.key.empty()) : !row.key.empty();
}
}  // namespace

std::string SavedTransfersText(const std::vector<TransferRow>& rows) {
    std::string body = kHeader;
    std::size_t count = 0;
    for (const TransferRow& row : rows)
        if (Kept(row)) body += RowLine(row), ++count;
    return body + kEnd + std::to_string(count) + " " + Digest(body) + "\n";
}

bool ReadSavedTransfers(const std::string& bytes, std::vector<TransferRow>& rows) {
    rows.clear();
    // The closing line: "end COUNT SHA256\n", the last line of the file.
    if (bytes.size() < 2 || bytes.back() != '\n') return false;
    std::size_t closing = bytes.rfind('\n', bytes.size() - 2);
    if (closing == std::string::npos) return false;
    const std::string body = bytes.substr(0, closing + 1);
    const std::string last = bytes.substr(closing + 1, bytes.size() - closing - 2);
    if (body.compare(0, sizeof kHeader - 1, kHeader) != 0 || last.compare(0, sizeof kEnd - 1, kEnd) != 0) return false;
    std::vector<std::string> end = Split(last.substr(sizeof kEnd - 1), ' ');
    std::uint64_t count = 0;
    if (end.size() != 2 || !ReadNumber(end[0], count) || end[1] != Digest(body)) return false;
    std::vector<std::string> lines = Split(body.substr(sizeof kHeader - 1), '\n');
    lines.pop_back();  // after the last line break
    if (lines.size() != count) return false;
    std::vector<TransferRow> read(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (!ReadRow(lines[i], read[i])) return false;
    rows = std::move(read);
    return true;
}

std::string ShortDigest(const std::string& text) {
    return Digest(text).substr(0, 16);
}

std::filesystem::path SavedTransfersPath(const std::filesystem::path& cacheDir, const std::string& account) {
    // The account's name can hold anything a mailbox allows: its digest
    // names the file.
    return cacheDir / ("transfers-" + ShortDigest(account) + ".txt");
}

bool SaveTransfers(const std::filesystem::path& file, const std::vector<TransferRow>& rows) {
    std::error_code error;
    bool any = false;
    for (const TransferRow& row : rows) any = any || Kept(row);
    if (!any) {
        std::filesystem::remove(file, error);
        return !error;
    }
    std::filesystem::create_directories(file.parent_path(), error);
    return platform::ReplaceFileDurably(file, SavedTransfersText(rows));
}

std::vector<TransferRow> LoadTransfers(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<TransferRow> rows;
    if (!in) return rows;
    std::string bytes;
    char buffer[4096];
    while (in && bytes.size() <= kLargestFile) {
        in.read(buffer, sizeof buffer);
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    if (bytes.size() > kLargestFile) return rows;
    ReadSavedTransfers(bytes, rows);
    return rows;
}

}  // namespace app
