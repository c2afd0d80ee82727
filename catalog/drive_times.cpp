#include "catalog/drive_times.h"

#include <fstream>
#include <sstream>

namespace catalog {

void Times::Load() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::ifstream in(file_);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string key;
        std::uint64_t size = 0;
        std::int64_t ns = 0;
        if (fields >> key >> size >> ns) times_[key] = {size, ns};
    }
}

std::int64_t Times::Find(const std::string& key, std::uint64_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = times_.find(key);
    return found != times_.end() && found->second.first == size ? found->second.second : 0;
}

void Times::Set(const std::string& key, std::uint64_t size, std::int64_t ns) {
    if (key.empty() || key.find_first_of(" \t\r\n") != std::string::npos) return;
    std::lock_guard<std::mutex> lock(mutex_);
    times_[key] = {size, ns};
    Save();
}

void Times::Forget(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (times_.erase(key)) Save();
}

void Times::Save() {
    std::filesystem::path temporary = file_;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        for (auto& [key, value] : times_) out << key << ' ' << value.first << ' ' << value.second << '\n';
        if (!out) return;
    }
    std::error_code error;
    std::filesystem::permissions(temporary, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::replace, error);
    std::filesystem::rename(temporary, file_, error);
}

}  // namespace catalog
