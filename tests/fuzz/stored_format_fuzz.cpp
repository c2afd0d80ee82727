// Feeds arbitrary bytes to the stored-file format's readers: a manifest that
// reads must write back to text that reads the same, a subject read as a
// part mark must be exactly what the writer makes of it, and grouping lines
// as subjects must place every mail in exactly one file, in order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "catalog/file_grouping.h"
#include "catalog/manifest.h"
#include "catalog/part_mark.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

void CheckManifest(const std::string& text) {
    catalog::Manifest manifest, again;
    std::string problem;
    if (catalog::ReadManifest(text, manifest, problem) != catalog::ManifestRead::Ok) return;
    const std::string written = catalog::WriteManifest(manifest);
    Check(catalog::ReadManifest(written, again, problem) == catalog::ManifestRead::Ok);
    Check(catalog::WriteManifest(again) == written);
}

void CheckGrouping(const std::string& text) {
    std::vector<catalog::MailInfo> mails;
    for (std::size_t start = 0; start <= text.size() && mails.size() < 64;) {
        std::size_t end = std::min(text.find('\n', start), text.size());
        catalog::MailInfo mail;
        mail.id = std::to_string(mails.size() % 50);  // some ids repeat, as overlapping pages do
        mail.folderId = mails.size() % 3 ? "1" : "2";
        mail.subject = text.substr(start, end - start);
        mail.receivedAt = static_cast<std::int64_t>(mail.subject.size() % 4);
        mails.push_back(mail);
        start = end + 1;

        catalog::SubjectMark mark = catalog::ReadSubject(mail.subject);
        if (mark.kind == catalog::SubjectKind::Part)
            Check(catalog::PartSubject(mark.name, mark.part, mark.parts, mark.tag) == mail.subject);
        else
            Check(mark.name == mail.subject);
    }
    std::map<std::string, int> placed;
    const std::vector<catalog::FileEntry> files = catalog::GroupFiles(mails);
    for (std::size_t i = 0; i < files.size(); ++i) {
        Check(i == 0 || !catalog::FileOrder(files[i], files[i - 1]));
        Check(!files[i].present.empty() && files[i].key == files[i].present.front().mailId);
        Check(!files[i].Whole() || files[i].present.size() == files[i].parts);
        for (const std::string& id : files[i].MailIds()) ++placed[id];
    }
    Check(placed.size() == std::min<std::size_t>(mails.size(), 50));
    for (const auto& [id, count] : placed) Check(count == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckManifest(text);
    CheckGrouping(text);
    return 0;
}
