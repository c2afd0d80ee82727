// Uploads whose name is taken in the target folder: the user chooses for
// each 覆盖 (the new file replaces the old, which goes to the trash once the
// new one is stored whole), 跳过 or 保留两者 (the new file is stored as
// "name (2).ext"), and may answer for all the files of the batch at once.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace app {

enum class ConflictChoice { Overwrite, Skip, KeepBoth, CancelAll };

struct ConflictAnswer {
    ConflictChoice choice = ConflictChoice::Skip;
    bool forAll = false;  // "对所有文件"
};

// Asked for one name that is taken; the window shows the question.
using ConflictAsker = std::function<ConflictAnswer(const std::string& name)>;

// The question the window shows for a taken name.
std::string ConflictQuestionText(const std::string& name);

// "name (2).ext" with the lowest number from 2 not in `taken` (the
// extension is what follows the last dot, none for a leading dot).
std::string KeepBothName(const std::string& name, const std::map<std::string, std::vector<std::string>>& taken);

struct PlannedUpload {
    std::filesystem::path source;
    std::string name;                   // as it is to be stored
    std::vector<std::string> replaces;  // the old file's mails (覆盖)
};

// The uploads to queue: `existing` maps each name in the folder to its
// mails. A name taken there, or by an earlier file of the same batch, is
// asked about (until an answer is for all). Nothing is planned after
// CancelAll. Without `ask` every file keeps its own name and nothing is
// asked.
std::vector<PlannedUpload> PlanUploads(const std::vector<std::filesystem::path>& sources,
                                       std::map<std::string, std::vector<std::string>> existing,
                                       const ConflictAsker& ask);

}  // namespace app
