// A file written in full before it takes the place of its target: the bytes
// go into a temporary file beside the target, which replaces the target only
// on Commit. Until then, and whenever Commit is not reached, the target is
// left exactly as it was and the temporary file is removed. A target that
// is a symbolic link is written through: the file it points to is the one
// replaced. The temporary file takes the mode of the file it replaces.
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
    int slot_ = -1;  // in the list of temporary files to remove on a signal
    bool committed_ = false;
};

// Removes every temporary file of a StagedFile still open in this process.
// Async-signal-safe: a handler of SIGINT, SIGTERM or SIGHUP may call it
// before the process ends, so that no partial download stays behind.
void RemoveStagedFiles();

}  // namespace session
