// A file written in full before it takes the place of its target: the bytes
// go into a temporary file beside the target, which replaces the target only
// on Commit. Until then, and whenever Commit is not reached, the target is
// left exactly as it was and the temporary file is removed.
#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>

namespace session {

class StagedFile {
public:
    explicit StagedFile(std::filesystem::path target);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // False when the temporary file could not be created.
    bool Open();
    bool Write(const char* data, std::size_t length);
    // Closes the temporary file and moves it over the target.
    bool Commit();
    const std::filesystem::path& TemporaryPath() const { return temporary_; }

private:
    void Discard();

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    std::ofstream out_;
    bool committed_ = false;
};

}  // namespace session
