#include "messagelist/drag_files.h"

#include <windows.h>

#include <algorithm>
#include <map>

#include "app/texts.h"
#include "app/transfer_conflict.h"
#include "catalog/local_name.h"
#include "platform/text.h"

namespace messagelist {

namespace {
// A file descriptor holds MAX_PATH units with the NUL; room is kept for
// the " (2)" a name taken twice gets.
constexpr std::size_t kNameUnits = MAX_PATH - 1 - 8;
// An extension longer than this is cut with the rest of a long name.
constexpr std::size_t kLongestExtension = 16;

std::string::size_type FindIgnoringAsciiCase(const std::string& text, std::string_view part) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    auto found = std::search(text.begin(), text.end(), part.begin(), part.end(),
                             [&](char a, char b) { return lower(a) == lower(b); });
    return found == text.end() ? std::string::npos : static_cast<std::string::size_type>(found - text.begin());
}

void DropTrailingDotsAndSpaces(std::string& name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
}

// What the rule still refuses once every unsafe character is replaced.
std::string Tamed(std::string name) {
    DropTrailingDotsAndSpaces(name);  // "." and ".." go with it
    for (std::string::size_type at; (at = FindIgnoringAsciiCase(name, catalog::kPartialSuffix)) != std::string::npos;)
        name[at] = '_';
    std::string local;
    if (!catalog::LocalNameFor(name, local).Ok()) name.insert(0, "_");  // empty, or a device name
    return name;
}

// A long name keeps its extension and loses the end of the rest.
std::wstring Fitted(std::wstring name) {
    if (name.size() <= kNameUnits) return name;
    std::wstring::size_type dot = name.rfind(L'.');
    std::wstring extension;
    if (dot != std::wstring::npos && dot > 0 && name.size() - dot <= kLongestExtension) extension = name.substr(dot);
    std::wstring stem = platform::CutWide(name, kNameUnits - extension.size());
    while (!stem.empty() && (stem.back() == L'.' || stem.back() == L' ')) stem.pop_back();
    return stem + extension;
}
}  // namespace

std::wstring DroppedName(const std::string& stored) {
    std::string local;
    if (catalog::LocalNameFor(stored, local).Ok()) return Fitted(platform::Utf8ToWide(local));
    // Separators, reserved characters and control bytes become "-"; what
    // only shows as an escape (bytes that are not UTF-8, marks that reorder
    // the text) is written as its escape, whose backslash becomes "-" too.
    std::string replaced = app::ProposedFileName(catalog::EscapedName(app::ProposedFileName(stored)));
    return Fitted(platform::Utf8ToWide(Tamed(std::move(replaced))));
}

std::vector<DraggedFile> DraggedFiles(const app::FileList& files, const std::vector<std::size_t>& items) {
    std::vector<DraggedFile> dragged;
    std::map<std::string, std::vector<std::string>> taken;
    for (std::size_t item : items) {
        const app::FileRow* row = files.Row(item);
        if (!row || !row->attached) continue;
        const catalog::FileEntry& file = row->file;
        std::string name = platform::WideToUtf8(DroppedName(file.name));
        if (taken.count(name)) name = app::KeepBothName(name, taken);
        taken[name] = {};
        dragged.push_back({file.key, platform::Utf8ToWide(name), file.sizeKnown, file.size,
                           file.modifiedAt ? file.modifiedAt : file.storedAt});
    }
    return dragged;
}

}  // namespace messagelist
