#include "catalog/sync_plan.h"

#include <fstream>
#include <set>

namespace catalog {
namespace {

// A record line: tab-separated fields; "%", tab and line breaks in a path
// are written as %25, %09, %0A, %0D.
std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '%')
            out += "%25";
        else if (c == '\t')
            out += "%09";
        else if (c == '\n')
            out += "%0A";
        else if (c == '\r')
            out += "%0D";
        else
            out += c;
    }
    return out;
}

std::string Unescaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

constexpr const char* kRecordHead = "vantlo sync record 1";

std::string ParentOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The path a remote file has under its stored name (not the drive's mark):
// copies of one name are candidates for the same local file.
std::string StoredPath(const RemoteFile& file) {
    std::string parent = ParentOf(file.path);
    return parent.empty() ? file.entry.name : parent + "/" + file.entry.name;
}

struct Sides {
    SyncSides& s;
    std::map<std::string, std::vector<const RemoteFile*>> remoteByName;
    std::map<std::string, const LocalFile*> localByPath;

    explicit Sides(SyncSides& sides) : s(sides) {
        for (const RemoteFile& file : s.remote) remoteByName[StoredPath(file)].push_back(&file);
        for (const LocalFile& file : s.local) localByPath[file.path] = &file;
    }

    Outcome LocalSha(const LocalFile& file, std::string& sha) {
        SyncRecordEntry& entry = s.record[file.path];
        if (!entry.sha256.empty() && entry.size == file.size && entry.modifiedNs == file.modifiedNs) {
            sha = entry.sha256;
            return {};
        }
        Outcome outcome = s.hashLocal(file, sha);
        // The key stays only while it names these very bytes: the record
        // stands in for reading that file's manifest.
        if (outcome.Ok()) entry = {file.size, file.modifiedNs, sha, sha == entry.sha256 ? entry.key : std::string()};
        return outcome;
    }

    // The first whole remote copy of the name that holds these bytes; nullptr when none does.
    Outcome Matching(const std::string& path, std::uint64_t size, const std::string& sha, const RemoteFile*& match) {
        match = nullptr;
        const SyncRecordEntry& known = s.record[path];
        for (const RemoteFile* file : remoteByName[path]) {
            if (!file->entry.Whole() || (file->entry.sizeKnown && file->entry.size != size)) continue;
            std::string remoteSha = known.key == file->entry.key ? known.sha256 : "";
            if (remoteSha.empty()) {
                Outcome outcome = s.remoteSha256(*file, remoteSha);
                if (!outcome.Ok()) return outcome;
            }
            if (remoteSha == sha) {
                match = file;
                return {};
            }
        }
        return {};
    }
};

}  // namespace

SyncRecord LoadSyncRecord(const std::filesystem::path& file) {
    SyncRecord record;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != kRecordHead) return {};
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        for (std::size_t at = 0; at <= line.size();) {
            std::size_t end = std::min(line.find('\t', at), line.size());
            fields.push_back(line.substr(at, end - at));
            at = end + 1;
        }
        if (fields.size() != 5) continue;
        try {
            record[Unescaped(fields[0])] = {std::stoull(fields[1]), std::stoll(fields[2]), fields[3], fields[4]};
        } catch (const std::exception&) {
            continue;  // a damaged line: that file is hashed again
        }
    }
    return record;
}

bool SaveSyncRecord(const std::filesystem::path& file, const SyncRecord& record) {
    std::filesystem::path temporary = file;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << kRecordHead << '\n';
        for (const auto& [path, entry] : record)
            if (!entry.sha256.empty())
                out << Escaped(path) << '\t' << entry.size << '\t' << entry.modifiedNs << '\t' << entry.sha256 << '\t'
                    << entry.key << '\n';
        if (!out.flush()) return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, file, error);
    return !error;
}

Outcome PlanSyncUp(SyncSides sides, bool deleteExtra, std::vector<SyncStep>& steps) {
    steps.clear();
    Sides s(sides);
    for (const LocalFile& file : sides.local) {
        std::string sha;
        const RemoteFile* match = nullptr;
        Outcome outcome = s.LocalSha(file, sha);
        if (outcome.Ok()) outcome = s.Matching(file.path, file.size, sha, match);
        if (!outcome.Ok()) return outcome;
        std::vector<std::string> others;
        for (const RemoteFile* copy : s.remoteByName[file.path])
            if (copy != match && copy->entry.Whole()) others.push_back(copy->entry.key);
        if (match) {
            sides.record[file.path].key = match->entry.key;
            // A copy left beside the match by a replace that was cut short.
            for (const std::string& key : others) steps.push_back({SyncAction::Trash, file.path, {}, key});
        } else {
            steps.push_back({SyncAction::Send, file.path, others, {}});
        }
    }
    if (deleteExtra)
        for (const RemoteFile& file : sides.remote)
            if (!s.localByPath.count(StoredPath(file)))
                steps.push_back({SyncAction::Trash, file.path, {}, file.entry.key});
    return {};
}

Outcome PlanSyncDown(SyncSides sides, bool deleteExtra, std::vector<SyncStep>& steps) {
    steps.clear();
    Sides s(sides);
    std::set<std::string> remotePaths;
    for (const RemoteFile& file : sides.remote) {
        remotePaths.insert(file.path);
        if (!file.entry.Whole()) continue;  // cannot be put together: nothing to fetch
        auto local = s.localByPath.find(file.path);
        std::string sha;
        const RemoteFile* match = nullptr;
        Outcome outcome;
        if (local != s.localByPath.end()) {
            outcome = s.LocalSha(*local->second, sha);
            // Only this copy counts here: the path names it alone.
            if (outcome.Ok() && (!file.entry.sizeKnown || file.entry.size == local->second->size)) {
                std::string remoteSha = sides.record[file.path].key == file.entry.key ? sha : "";
                if (remoteSha.empty()) outcome = sides.remoteSha256(file, remoteSha);
                if (remoteSha == sha) match = &file;
            }
        }
        if (!outcome.Ok()) return outcome;
        if (match)
            sides.record[file.path].key = file.entry.key;
        else
            steps.push_back({SyncAction::Fetch, file.path, {}, file.entry.key});
    }
    if (deleteExtra)
        for (const LocalFile& file : sides.local) {
            if (remotePaths.count(file.path)) continue;
            auto known = sides.record.find(file.path);
            bool asLeft = known != sides.record.end() && !known->second.key.empty() &&
                          known->second.size == file.size && known->second.modifiedNs == file.modifiedNs;
            steps.push_back({asLeft ? SyncAction::DeleteLocal : SyncAction::KeepLocal, file.path, {}, {}});
        }
    return {};
}

Outcome CompareTrees(SyncSides sides, std::vector<std::string>& differences) {
    differences.clear();
    Sides s(sides);
    std::set<std::string> remotePaths;
    for (const RemoteFile& file : sides.remote) remotePaths.insert(file.path);
    for (const LocalFile& file : sides.local) {
        if (!remotePaths.count(file.path)) {
            differences.push_back("only here: " + file.path);
            continue;
        }
        std::string sha, remoteSha;
        Outcome outcome = s.LocalSha(file, sha);
        const RemoteFile* remote = nullptr;
        for (const RemoteFile& candidate : sides.remote)
            if (candidate.path == file.path) remote = &candidate;
        if (outcome.Ok() && remote->entry.Whole()) outcome = sides.remoteSha256(*remote, remoteSha);
        if (!outcome.Ok()) return outcome;
        if (remoteSha != sha || !remote->entry.Whole()) differences.push_back("differs: " + file.path);
    }
    for (const RemoteFile& file : sides.remote)
        if (!s.localByPath.count(file.path)) differences.push_back("only there: " + file.path);
    return {};
}

}  // namespace catalog
