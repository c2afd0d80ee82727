#include "app/store_source.h"

namespace app {

catalog::Outcome StoreSource::Run(const std::function<catalog::Outcome(catalog::MailStore&)>& work) {
    catalog::StorePool* pool = nullptr;
    catalog::Outcome made = Pool(pool);
    return made.Ok() ? pool->Run(work, false) : made;
}

catalog::Outcome StoreSource::Pool(catalog::StorePool*& pool) {
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!root_) return catalog::Failure(catalog::StoreCode::Unreachable, "no account signed in");
        if (!pool_) {
            std::unique_ptr<catalog::MailStore> first;
            catalog::Outcome forked = root_->Fork(first);
            if (!forked.Ok()) return forked;
            pool_ = std::make_unique<catalog::StorePool>(std::move(first), most_,
                                                         [this](std::unique_ptr<catalog::MailStore>& store) {
                                                             std::lock_guard<std::mutex> again(lock_);
                                                             return root_->Fork(store);
                                                         });
        }
        pool = pool_.get();
    }
    return catalog::Success();
}

std::string StoreSource::InboxId() {
    std::lock_guard<std::mutex> lock(lock_);
    return root_ ? root_->InboxId() : std::string();
}

}  // namespace app
