// Properties a client set on a resource (PROPPATCH) that the tree itself
// does not keep: held in memory by path, moved, copied and dropped with the
// resources. The Windows client's creation time, access time and attributes
// are kept here too.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "dav/xml.h"

namespace dav {

class DeadProperties {
public:
    // The value element of one property; false when not set.
    bool Get(const std::string& path, const std::string& ns, const std::string& name, XmlElement& value);
    std::vector<XmlElement> All(const std::string& path);
    void Set(const std::string& path, const XmlElement& value);
    void Remove(const std::string& path, const std::string& ns, const std::string& name);
    // Applies to `path` and everything below it.
    void Drop(const std::string& path);
    // With `deep` false only the properties of `from` itself.
    void Copy(const std::string& from, const std::string& to, bool deep = true);
    void Move(const std::string& from, const std::string& to);

private:
    using Key = std::pair<std::string, std::string>;  // namespace, name
    std::mutex mutex_;                                // guards byPath_
    std::map<std::string, std::map<Key, XmlElement>> byPath_;
};

}  // namespace dav
