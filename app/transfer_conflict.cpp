#include "app/transfer_conflict.h"

#include <optional>

namespace app {

std::string ConflictQuestionText(const std::string& name) {
    return "此文件夹中已有名为“" + name +
           "”的文件。\n\n覆盖: 新文件存好后, 旧文件移到“已删除”\n跳过: 不上传这个文件\n保留两者: 新文件另起名字";
}

std::string KeepBothName(const std::string& name, const std::map<std::string, std::vector<std::string>>& taken) {
    std::size_t dot = name.rfind('.');
    if (dot == 0 || dot == std::string::npos) dot = name.size();
    const std::string stem = name.substr(0, dot), extension = name.substr(dot);
    for (unsigned number = 2;; ++number) {
        std::string candidate = stem + " (" + std::to_string(number) + ")" + extension;
        if (!taken.count(candidate)) return candidate;
    }
}

std::vector<PlannedUpload> PlanUploads(const std::vector<std::filesystem::path>& sources,
                                       std::map<std::string, std::vector<std::string>> existing,
                                       const ConflictAsker& ask) {
    std::vector<PlannedUpload> planned;
    std::optional<ConflictAnswer> forAll;
    for (const std::filesystem::path& source : sources) {
        PlannedUpload upload{source, source.filename().u8string(), {}};
        auto taken = ask ? existing.find(upload.name) : existing.end();
        if (taken != existing.end()) {
            ConflictAnswer answer = forAll ? *forAll : ask(upload.name);
            if (answer.forAll) forAll = answer;
            if (answer.choice == ConflictChoice::CancelAll) return {};
            if (answer.choice == ConflictChoice::Skip) continue;
            if (answer.choice == ConflictChoice::KeepBoth)
                upload.name = KeepBothName(upload.name, existing);
            else
                upload.replaces = taken->second;
        }
        // A later file of the batch with this name meets this one.
        existing[upload.name] = {};
        planned.push_back(std::move(upload));
    }
    return planned;
}

}  // namespace app
