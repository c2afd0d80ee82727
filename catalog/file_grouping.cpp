#include "catalog/file_grouping.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "catalog/part_mark.h"

namespace catalog {
namespace {

bool AllDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

struct Member {
    std::uint32_t number;
    const MailInfo* mail;
};

FileEntry EntryOf(const std::vector<Member>& sortedMembers, std::uint32_t parts, const std::string& name,
                  const std::string& tag) {
    FileEntry entry;
    entry.folderId = sortedMembers.front().mail->folderId;
    entry.name = name;
    entry.parts = parts;
    entry.tag = tag;
    std::uint32_t expected = 1;
    for (const Member& member : sortedMembers) {
        entry.present.push_back({member.number, member.mail->id, member.mail->size});
        entry.listedSize += member.mail->size;
        if (member.number < expected) {
            if (entry.duplicated.empty() || entry.duplicated.back() != member.number)
                entry.duplicated.push_back(member.number);
            continue;
        }
        if (member.number > expected) entry.missing.push_back({expected, member.number - 1});
        expected = member.number + 1;
    }
    if (expected <= parts) entry.missing.push_back({expected, parts});
    entry.key = entry.present.front().mailId;
    entry.storedAt = sortedMembers.front().mail->receivedAt;
    entry.keyTextListed = sortedMembers.front().mail->textListed;
    entry.keyText = sortedMembers.front().mail->text;
    return entry;
}

}  // namespace

std::vector<std::string> FileEntry::MailIds() const {
    std::vector<std::string> ids;
    for (const FilePart& part : present) ids.push_back(part.mailId);
    return ids;
}

std::string FileEntry::Problems() const {
    std::string text;
    auto add = [&text](const std::string& item) { text += (text.empty() ? "" : "; ") + item; };
    if (badMark) add("not a valid part mark");
    if (!missing.empty()) {
        std::string list;
        for (const PartRange& range : missing) {
            if (!list.empty()) list += ", ";
            list += std::to_string(range.first);
            if (range.last != range.first) list += "-" + std::to_string(range.last);
        }
        bool one = missing.size() == 1 && missing[0].first == missing[0].last;
        add((one ? "part " : "parts ") + list + " missing");
    }
    for (std::uint32_t number : duplicated) add("part " + std::to_string(number) + " stored twice");
    return text;
}

bool IdLess(const std::string& a, const std::string& b) {
    bool numericA = AllDigits(a), numericB = AllDigits(b);
    if (numericA != numericB) return numericA;
    if (numericA && a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

bool FileOrder(const FileEntry& a, const FileEntry& b) {
    if (a.name != b.name) return a.name < b.name;
    if (a.storedAt != b.storedAt) return a.storedAt < b.storedAt;
    if (a.key != b.key) return IdLess(a.key, b.key);
    return a.folderId < b.folderId;
}

std::vector<FileEntry> GroupFiles(const std::vector<MailInfo>& mails) {
    using GroupKey = std::tuple<std::string, std::string, std::uint32_t, std::string>;  // folder, name, N, tag
    std::map<GroupKey, std::vector<Member>> groups;
    std::set<std::string> seen;
    std::vector<FileEntry> files;
    for (const MailInfo& mail : mails) {
        if (!seen.insert(mail.id).second) continue;
        SubjectMark mark = ReadSubject(mail.subject);
        if (mark.kind == SubjectKind::Part) {
            groups[GroupKey(mail.folderId, mark.name, mark.parts, mark.tag)].push_back({mark.part, &mail});
            continue;
        }
        FileEntry entry = EntryOf({{1, &mail}}, 1, mark.name, {});
        entry.badMark = mark.kind == SubjectKind::BadMark;
        files.push_back(std::move(entry));
    }
    for (auto& [groupKey, members] : groups) {
        std::sort(members.begin(), members.end(), [](const Member& a, const Member& b) {
            return a.number != b.number ? a.number < b.number : IdLess(a.mail->id, b.mail->id);
        });
        files.push_back(EntryOf(members, std::get<2>(groupKey), std::get<1>(groupKey), std::get<3>(groupKey)));
    }
    std::sort(files.begin(), files.end(), FileOrder);
    return files;
}

}  // namespace catalog
