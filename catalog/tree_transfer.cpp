#include "catalog/tree_transfer.h"

#include <algorithm>
#include <map>
#include <set>
#include <system_error>

#include "catalog/catalog.h"
#include "catalog/drive_names.h"
#include "catalog/file_sizes.h"
#include "catalog/format_values.h"
#include "catalog/local_name.h"
#include "catalog/manifest.h"
#include "catalog/parts_pool.h"
#include "catalog/sync_times.h"

namespace catalog {
namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& path) {
    auto text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

std::string ParentOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string Below(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + "/" + name;
}

// Progress of one of several calls, shown over the bytes of all of them.
ProgressCallback Shifted(const ProgressCallback& whole, const std::uint64_t& before, std::uint64_t total) {
    if (!whole) return {};
    return [&whole, &before, total](const TransferProgress& p) {
        return whole({p.phase, before + p.done, std::max(total, before + p.total)});
    };
}

// Makes `dir` when it is missing; a link or anything but a directory in
// its place is refused, never followed.
Outcome MakeLocalDirectory(const fs::path& dir) {
    std::error_code error;
    fs::file_status status = fs::symlink_status(dir, error);
    if (status.type() == fs::file_type::not_found) {
        fs::create_directory(dir, error);
        return error ? Failure(StoreCode::LocalFile, Utf8(dir) + ": " + error.message()) : Outcome{};
    }
    if (status.type() != fs::file_type::directory)
        return Failure(StoreCode::LocalFile, Utf8(dir) + " is in the way and is not a directory");
    return {};
}

}  // namespace

Outcome LocalPathBelow(const fs::path& root, const std::string& path, bool lastIsDirectory, fs::path& local) {
    std::vector<std::string> segments;
    for (std::size_t at = 0; at <= path.size();) {
        std::size_t end = std::min(path.find('/', at), path.size());
        segments.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    local = root;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        std::string name;
        Outcome outcome = LocalNameFor(segments[i], name);
        if (!outcome.Ok()) return outcome;
        local /= fs::u8path(name);
        if (i + 1 < segments.size() || lastIsDirectory) {
            outcome = MakeLocalDirectory(local);
            if (!outcome.Ok()) return outcome;
        }
    }
    return {};
}

Outcome WalkLocalTree(const fs::path& root, LocalTree& tree) {
    tree = {};
    std::error_code error;
    fs::recursive_directory_iterator it(root, error), end;
    if (error) return Failure(StoreCode::LocalFile, Utf8(root) + ": " + error.message());
    for (; it != end; it.increment(error)) {
        if (error) return Failure(StoreCode::LocalFile, Utf8(it->path()) + ": " + error.message());
        const fs::path& path = it->path();
        const std::string relative = Utf8(path.lexically_relative(root));
        const fs::file_status status = it->symlink_status(error);
        if (status.type() == fs::file_type::directory) {
            tree.dirs.push_back(relative);
            continue;
        }
        if (status.type() != fs::file_type::regular) {
            tree.skipped.push_back(relative + ": not a regular file (links are not followed)");
            continue;
        }
        const auto name = path.filename().u8string();
        Outcome named = CheckFileName(std::string(name.begin(), name.end()));
        if (!named.Ok()) {
            tree.skipped.push_back(EscapedName(relative) + ": " + named.detail);
            continue;
        }
        LocalFile file{relative, path, fs::file_size(path, error), 0};
        if (!error)
            file.modifiedNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  fs::last_write_time(path, error).time_since_epoch())
                                  .count();
        if (error) return Failure(StoreCode::LocalFile, relative + ": " + error.message());
        tree.files.push_back(file);
    }
    std::sort(tree.dirs.begin(), tree.dirs.end());
    std::sort(tree.files.begin(), tree.files.end(),
              [](const LocalFile& a, const LocalFile& b) { return a.path < b.path; });
    return {};
}

Outcome WalkRemoteTree(MailStore& store, const FolderTree& folders, const std::string& rootId, RemoteTree& tree,
                       ManifestCache* sizes) {
    tree = {};
    std::vector<std::pair<std::string, std::string>> pending{{rootId, ""}};  // id, relative path
    std::set<std::string> seen;
    while (!pending.empty()) {
        auto [id, path] = pending.back();
        pending.pop_back();
        if (!seen.insert(id).second) continue;  // a loop of parents is walked once
        std::vector<FileEntry> files;
        Outcome outcome = ListFiles(store, id, files);
        if (outcome.Ok() && sizes) outcome = FillFileSizes(store, *sizes, files);
        if (!outcome.Ok()) return outcome;
        std::vector<Named> named;
        for (const FileEntry& file : files) named.push_back({file.name, file.key});
        std::vector<std::string> names = UniqueNames(named);
        for (std::size_t i = 0; i < files.size(); ++i) tree.files.push_back({Below(path, names[i]), files[i]});
        for (const FolderInfo& child : folders.Children(id)) {
            const std::string below = Below(path, NameToSegment(child.name));
            tree.dirs.push_back(below);
            tree.dirIds.push_back(child.id);
            pending.push_back({child.id, below});
        }
    }
    std::sort(tree.files.begin(), tree.files.end(),
              [](const RemoteFile& a, const RemoteFile& b) { return a.path < b.path; });
    std::vector<std::size_t> order(tree.dirs.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return tree.dirs[a] < tree.dirs[b]; });
    RemoteTree sorted = tree;
    for (std::size_t i = 0; i < order.size(); ++i)
        sorted.dirs[i] = tree.dirs[order[i]], sorted.dirIds[i] = tree.dirIds[order[i]];
    tree = std::move(sorted);
    return {};
}

Outcome PutTree(MailStore& store, FolderTree& folders, const std::string& rootId, const std::vector<std::string>& dirs,
                const std::vector<LocalFile>& files, const TransferSettings& settings,
                std::vector<TreePutReport>& reports) {
    reports.clear();
    std::map<std::string, std::vector<const LocalFile*>> byDir;
    std::uint64_t total = 0, before = 0;
    for (const LocalFile& file : files) byDir[ParentOf(file.path)].push_back(&file), total += file.size;
    for (const std::string& dir : dirs) byDir[dir];
    Outcome first;
    for (const auto& [dir, group] : byDir) {
        std::string folderId = rootId;
        Outcome outcome = dir.empty() ? Outcome{} : MakeFolderPath(store, folders, dir, folderId, rootId);
        std::vector<fs::path> sources;
        for (const LocalFile* file : group) sources.push_back(file->source);
        std::vector<PutReport> put;
        if (outcome.Ok() && !sources.empty()) {
            TransferSettings shifted = settings;
            shifted.progress = Shifted(settings.progress, before, total);
            outcome = PutFiles(store, sources, folderId, shifted, put);
        }
        const Outcome unsent = outcome.Ok() ? Failure(StoreCode::Cancelled, "not sent") : outcome;
        put.resize(group.size());
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (put[i].source.empty()) put[i].source = group[i]->source, put[i].outcome = unsent;
            reports.push_back({group[i]->path, put[i]});
            before += group[i]->size;
        }
        if (!outcome.Ok() && first.Ok()) first = outcome;
        if (StopsEverything(outcome.code)) break;
    }
    return first;
}

Outcome RemoveTree(MailStore& store, const RemoteTree& tree, const std::string& rootId) {
    Outcome outcome;
    for (std::size_t i = 0; outcome.Ok() && i < tree.files.size(); ++i)
        outcome = RemoveFile(store, tree.files[i].entry.key);
    for (std::size_t i = tree.dirIds.size(); outcome.Ok() && i-- > 0;) outcome = store.DeleteFolder(tree.dirIds[i]);
    return outcome.Ok() ? store.DeleteFolder(rootId) : outcome;
}

Outcome GetTree(MailStore& store, const std::vector<std::string>& dirs, const std::vector<RemoteFile>& files,
                const fs::path& root, const TransferSettings& settings, std::vector<TreeGetReport>& reports,
                std::vector<std::string>& skipped) {
    reports.clear();
    skipped.clear();
    Outcome first;
    for (const std::string& dir : dirs) {
        fs::path local;
        Outcome outcome = LocalPathBelow(root, dir, true, local);
        if (!outcome.Ok()) skipped.push_back(EscapedName(dir) + ": " + outcome.detail);
    }
    std::vector<GetRequest> requests;
    std::vector<std::size_t> requested;  // index into reports
    for (const RemoteFile& file : files) {
        TreeGetReport report{file.path, {}, {}};
        fs::path local;
        report.report.outcome = LocalPathBelow(root, file.path, false, local);
        if (report.report.outcome.Ok()) {
            report.target = local;
            requests.push_back({file.entry.key, local});
            requested.push_back(reports.size());
        } else if (first.Ok()) {
            first = report.report.outcome;
        }
        reports.push_back(report);
    }
    std::vector<GetReport> got;
    Outcome outcome = GetFiles(store, requests, settings, got);
    if (!outcome.Ok() && first.Ok()) first = outcome;
    GetReport unfetched;
    unfetched.outcome = outcome.Ok() ? Failure(StoreCode::Cancelled, "not fetched") : outcome;
    got.resize(requests.size(), unfetched);
    for (std::size_t i = 0; i < requests.size(); ++i) reports[requested[i]].report = got[i];
    return first;
}

}  // namespace catalog
