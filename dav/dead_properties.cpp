#include "dav/dead_properties.h"

#include "dav/paths.h"

namespace dav {

using Guard = std::lock_guard<std::mutex>;

bool DeadProperties::Get(const std::string& path, const std::string& ns, const std::string& name, XmlElement& value) {
    Guard guard(mutex_);
    auto resource = byPath_.find(path);
    if (resource == byPath_.end()) return false;
    auto found = resource->second.find(Key(ns, name));
    if (found == resource->second.end()) return false;
    value = found->second;
    return true;
}

std::vector<XmlElement> DeadProperties::All(const std::string& path) {
    Guard guard(mutex_);
    std::vector<XmlElement> all;
    auto resource = byPath_.find(path);
    if (resource != byPath_.end())
        for (const auto& property : resource->second) all.push_back(property.second);
    return all;
}

void DeadProperties::Set(const std::string& path, const XmlElement& value) {
    Guard guard(mutex_);
    byPath_[path][Key(value.ns, value.name)] = value;
}

void DeadProperties::Remove(const std::string& path, const std::string& ns, const std::string& name) {
    Guard guard(mutex_);
    auto resource = byPath_.find(path);
    if (resource == byPath_.end()) return;
    resource->second.erase(Key(ns, name));
    if (resource->second.empty()) byPath_.erase(resource);
}

void DeadProperties::Drop(const std::string& path) {
    Guard guard(mutex_);
    for (auto it = byPath_.begin(); it != byPath_.end();) it = IsWithin(it->first, path) ? byPath_.erase(it) : ++it;
}

void DeadProperties::Copy(const std::string& from, const std::string& to, bool deep) {
    Guard guard(mutex_);
    std::map<std::string, std::map<Key, XmlElement>> copies;
    for (const auto& resource : byPath_)
        if (deep ? IsWithin(resource.first, from) : resource.first == from)
            copies[to + resource.first.substr(from == "/" ? 0 : from.size())] = resource.second;
    for (auto& copy : copies) byPath_[copy.first] = std::move(copy.second);
}

void DeadProperties::Move(const std::string& from, const std::string& to) {
    {
        Guard guard(mutex_);
        for (auto it = byPath_.begin(); it != byPath_.end();) it = IsWithin(it->first, to) ? byPath_.erase(it) : ++it;
    }
    Copy(from, to);
    Drop(from);
}

}  // namespace dav
