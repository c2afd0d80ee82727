// The desktop's transfers as the user sees and steers them: one row per
// file, with its direction, size, bytes done and state. The desktop runs
// the rows one after another through the catalog's parts engine; the panel
// shows them and the user pauses, resumes, cancels or retries each.
//
// A row that is stopped while it runs does not change state at once: the
// engine is asked to stop and the row takes the state asked for when the
// engine has let go of it (Ended). A row stopped by the program's end
// (nobody asked) stays waiting, so that it is saved and offered again.
//
// Threads: user-interface thread only (the desktop owns the one queue).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace app {

enum class TransferState { Waiting, Running, Paused, Done, Failed, Cancelled };

enum class TransferAction { Pause, Resume, Cancel, Retry };

struct TransferRow {
    std::uint64_t id = 0;
    bool upload = true;
    std::string name;             // the file's name in the mailbox (UTF-8)
    std::filesystem::path local;  // an upload's source, a download's target
    std::string key;              // a download's file
    std::string folderId;         // an upload's target, as the windows number it
    std::string storeFolderId;    // the same as the store names it
    // An upload that replaces a file of the same name: that file's mails,
    // which go to the trash once the new file is stored whole.
    std::vector<std::string> replaces;
    bool openWhenDone = false;  // a download to open (not kept across runs)
    // Into or out of a vault: sealed on the way up, opened on the way down,
    // with the key of storeFolderId's vault (name is the file's own).
    bool sealed = false;
    std::uint64_t size = 0;
    std::uint64_t done = 0;
    TransferState state = TransferState::Waiting;
    std::string reason;         // why it failed
    double bytesPerSecond = 0;  // smoothed, while it runs
    // Asked for while it runs: the state it takes when the engine stops.
    TransferState stopAs = TransferState::Waiting;
    bool stopAsked = false;
};

class TransferQueue {
public:
    // Adds a waiting row; returns its id (never 0).
    std::uint64_t Add(TransferRow row);
    // Adds a row an earlier run left: a failed one stays failed (with its
    // reason), any other is held paused.
    std::uint64_t Restore(TransferRow row);
    const std::vector<TransferRow>& Rows() const { return rows_; }
    TransferRow* Find(std::uint64_t id);
    // The first waiting row, or null.
    TransferRow* NextWaiting();
    TransferRow* Running();

    // What the user asked; false when it does not apply to the row's state.
    // For a running row a pause or cancel is only asked (stopAsked): the
    // caller stops the engine.
    bool Apply(std::uint64_t id, TransferAction action);
    // Every row that can be paused (running or waiting), or every paused
    // row resumed; false when none changed.
    bool PauseAll();
    bool ResumeAll();

    void Started(std::uint64_t id);
    void Progress(std::uint64_t id, std::uint64_t done, std::uint64_t total);
    enum class End { Stored, Failed, Stopped };
    void Ended(std::uint64_t id, End end, const std::string& reason = {});

    // Rows not done and not cancelled: what is left to do.
    std::size_t Unfinished() const;
    bool AnyWaiting() const;
    // Forgets the done and cancelled rows.
    void ClearFinished();

private:
    std::vector<TransferRow> rows_;
    std::uint64_t nextId_ = 1;
};

}  // namespace app
