#include "app/store_source.h"

namespace app {

catalog::Outcome StoreSource::Fork(std::unique_ptr<catalog::MailStore>& store) {
    std::lock_guard<std::mutex> lock(lock_);
    if (!root_) return catalog::Failure(catalog::StoreCode::Unreachable, "no account signed in");
    return root_->Fork(store);
}

catalog::Outcome StoreSource::LaneStore(catalog::MailStore*& store) {
    // A fork that failed is tried again at the next piece of work.
    if (!lane_) {
        catalog::Outcome forked = Fork(lane_);
        if (!forked.Ok()) return forked;
    }
    store = lane_.get();
    return catalog::Success();
}

std::string StoreSource::InboxId() {
    std::lock_guard<std::mutex> lock(lock_);
    return root_ ? root_->InboxId() : std::string();
}

}  // namespace app
