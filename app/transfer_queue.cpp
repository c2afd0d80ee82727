#include "app/transfer_queue.h"

#include <algorithm>

namespace app {

std::uint64_t TransferQueue::Add(TransferRow row) {
    row.id = nextId_++;
    row.state = TransferState::Waiting;
    row.stopAsked = false;
    rows_.push_back(std::move(row));
    return rows_.back().id;
}

std::uint64_t TransferQueue::Restore(TransferRow row) {
    bool failed = row.state == TransferState::Failed;
    std::uint64_t id = Add(std::move(row));
    rows_.back().state = failed ? TransferState::Failed : TransferState::Paused;
    return id;
}

TransferRow* TransferQueue::Find(std::uint64_t id) {
    for (TransferRow& row : rows_)
        if (row.id == id) return &row;
    return nullptr;
}

TransferRow* TransferQueue::NextWaiting() {
    for (TransferRow& row : rows_)
        if (row.state == TransferState::Waiting) return &row;
    return nullptr;
}

TransferRow* TransferQueue::Running() {
    for (TransferRow& row : rows_)
        if (row.state == TransferState::Running) return &row;
    return nullptr;
}

bool TransferQueue::Apply(std::uint64_t id, TransferAction action) {
    TransferRow* row = Find(id);
    if (!row) return false;
    TransferState& state = row->state;
    switch (action) {
    case TransferAction::Pause:
        if (state == TransferState::Waiting) return state = TransferState::Paused, true;
        if (state != TransferState::Running) return false;
        row->stopAsked = true, row->stopAs = TransferState::Paused;
        return true;
    case TransferAction::Resume:
        if (state != TransferState::Paused) return false;
        return state = TransferState::Waiting, true;
    case TransferAction::Cancel:
        if (state == TransferState::Running) {
            row->stopAsked = true, row->stopAs = TransferState::Cancelled;
            return true;
        }
        if (state == TransferState::Done || state == TransferState::Cancelled) return false;
        return state = TransferState::Cancelled, true;
    case TransferAction::Retry:
        if (state != TransferState::Failed && state != TransferState::Cancelled) return false;
        row->reason.clear();
        return state = TransferState::Waiting, true;
    }
    return false;
}

bool TransferQueue::PauseAll() {
    bool changed = false;
    for (TransferRow& row : rows_)
        if (row.state == TransferState::Waiting || row.state == TransferState::Running)
            changed = Apply(row.id, TransferAction::Pause) || changed;
    return changed;
}

bool TransferQueue::ResumeAll() {
    bool changed = false;
    for (TransferRow& row : rows_) changed = Apply(row.id, TransferAction::Resume) || changed;
    return changed;
}

void TransferQueue::Started(std::uint64_t id) {
    if (TransferRow* row = Find(id)) {
        row->state = TransferState::Running;
        row->stopAsked = false;
        row->reason.clear();
    }
}

void TransferQueue::Progress(std::uint64_t id, std::uint64_t done, std::uint64_t total) {
    TransferRow* row = Find(id);
    if (!row) return;
    if (total) row->size = total;
    row->done = std::min(done, row->size);
}

void TransferQueue::Ended(std::uint64_t id, End end, const std::string& reason) {
    TransferRow* row = Find(id);
    if (!row) return;
    switch (end) {
    case End::Stored: row->state = TransferState::Done, row->done = row->size; break;
    case End::Failed: row->state = TransferState::Failed, row->reason = reason; break;
    case End::Stopped: row->state = row->stopAsked ? row->stopAs : TransferState::Waiting; break;
    }
    row->stopAsked = false;
}

std::size_t TransferQueue::Unfinished() const {
    return static_cast<std::size_t>(std::count_if(rows_.begin(), rows_.end(), [](const TransferRow& row) {
        return row.state != TransferState::Done && row.state != TransferState::Cancelled;
    }));
}

bool TransferQueue::AnyWaiting() const {
    return std::any_of(rows_.begin(), rows_.end(),
                       [](const TransferRow& row) { return row.state == TransferState::Waiting; });
}

void TransferQueue::ClearFinished() {
    rows_.erase(std::remove_if(rows_.begin(), rows_.end(),
                               [](const TransferRow& row) {
                                   return row.state == TransferState::Done || row.state == TransferState::Cancelled;
                               }),
                rows_.end());
}

}  // namespace app
