#include "catalog/journal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/durable_file.h"

namespace catalog {
namespace {

namespace fs = std::filesystem;

std::string Escaped(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

bool Unescaped(const std::string& value, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            out += value[i];
            continue;
        }
        if (++i == value.size()) return false;
        char c = value[i];
        if (c == '\\')
            out += '\\';
        else if (c == 'n')
            out += '\n';
        else if (c == 'r')
            out += '\r';
        else
            return false;
    }
    return true;
}

bool Number(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::stoull(text);
    return true;
}

}  // namespace

std::string WriteEntry(const PendingStore& s) {
    std::string text = "vantlo-pending: 1\nfolder: " + Escaped(s.folderId) + "\nname: " + Escaped(s.name) + "\n";
    for (const std::string& id : s.replaces) text += "replaces: " + Escaped(id) + "\n";
    text += "modified-ns: " + std::to_string(s.modifiedNs) + "\n";
    if (!s.uploadId.empty())
        text += "part-size: " + std::to_string(s.partSize) + "\nupload-id: " + s.uploadId + "\nsha256: " + s.sha256 +
                "\nstored: " + std::to_string(s.stored) + "\n";
    return text;
}

bool ReadEntry(const std::string& text, PendingStore& s) {
    PendingStore read;
    read.id = s.id;
    std::istringstream in(text);
    std::string line;
    bool versioned = false, named = false, foldered = false;
    while (std::getline(in, line)) {
        std::string::size_type colon = line.find(": ");
        if (colon == std::string::npos) return false;
        std::string key = line.substr(0, colon), value;
        if (!Unescaped(line.substr(colon + 2), value)) return false;
        std::uint64_t number = 0;
        if (key == "vantlo-pending")
            versioned = value == "1";
        else if (key == "folder")
            foldered = true, read.folderId = value;
        else if (key == "name")
            named = !value.empty(), read.name = value;
        else if (key == "replaces")
            read.replaces.push_back(value);
        else if (key == "upload-id")
            read.uploadId = value;
        else if (key == "sha256")
            read.sha256 = value;
        else if (key == "modified-ns" || key == "part-size" || key == "stored") {
            if (!Number(value, number)) return false;
            if (key == "part-size")
                read.partSize = number;
            else if (key == "stored")
                read.stored = static_cast<std::int64_t>(number);
            else
                read.modifiedNs = static_cast<std::int64_t>(number);
        }
    }
    if (!versioned || !named || !foldered || read.name.find('/') != std::string::npos || read.name == "." ||
        read.name == "..")
        return false;
    s = read;
    return true;
}

bool Journal::Open() {
    std::error_code error;
    fs::create_directories(dir_, error);
    return fs::is_directory(dir_, error);
}

std::vector<PendingStore> Journal::Load() {
    std::vector<PendingStore> found;
    std::error_code error;
    std::vector<fs::path> stray;
    for (const fs::directory_entry& item : fs::directory_iterator(dir_, error)) {
        const fs::path path = item.path();
        if (path.extension() != ".entry") {
            fs::path entry = path;
            entry += ".entry";
            if (path.extension() == ".new" || !fs::exists(entry, error)) stray.push_back(path);
            continue;
        }
        std::ifstream in(path, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), {});
        PendingStore store;
        store.id = path.stem().string();
        if (store.id.empty() || !ReadEntry(text, store) || !fs::is_regular_file(DataPath(store), error)) {
            stray.push_back(path);
            if (!store.id.empty()) stray.push_back(dir_ / store.id);
            continue;
        }
        found.push_back(store);
    }
    for (const fs::path& path : stray) fs::remove_all(path, error);
    // Ids begin with the time they were made: oldest first.
    std::sort(found.begin(), found.end(), [](const PendingStore& a, const PendingStore& b) { return a.id < b.id; });
    return found;
}

std::string Journal::NewId() {
    std::lock_guard<std::mutex> lock(mutex_);
    auto now =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    char id[64];
    std::snprintf(id, sizeof id, "%016llx-%08llx", static_cast<unsigned long long>(now),
                  static_cast<unsigned long long>(++counter_));
    return id;
}

bool Journal::Save(const PendingStore& store) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!platform::SyncFile(DataPath(store))) return false;
    platform::SyncDirectory(dir_ / store.id);
    if (!platform::ReplaceFileDurably(dir_ / (store.id + ".entry"), WriteEntry(store))) return false;
    platform::SyncDirectory(dir_);
    return true;
}

void Journal::Remove(const PendingStore& store) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::error_code error;
    fs::remove(dir_ / (store.id + ".entry"), error);
    platform::SyncDirectory(dir_);
    fs::remove_all(dir_ / store.id, error);
}

void Journal::Withdraw(const PendingStore& store) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::error_code error;
    fs::remove(dir_ / (store.id + ".entry"), error);
    platform::SyncDirectory(dir_);
}

}  // namespace catalog
