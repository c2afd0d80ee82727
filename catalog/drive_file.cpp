#include "catalog/drive_file.h"

#include <cstdint>

namespace catalog {

bool ImpossibleSize(std::uint64_t size, const FileEntry& file) {
    return size > static_cast<std::uint64_t>(INT64_MAX) || (file.listedSize > 0 && size > file.listedSize);
}

bool Damaged(const FileEntry& file) {
    return file.Whole() && (!file.sizeKnown || ImpossibleSize(file.size, file));
}

std::uint64_t ShownSize(const FileEntry& file) {
    return file.sizeKnown && !Damaged(file) ? file.size : 0;
}

}  // namespace catalog
