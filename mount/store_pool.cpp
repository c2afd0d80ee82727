#include "mount/store_pool.h"

namespace mount {

StorePool::StorePool(std::unique_ptr<catalog::MailStore> first, unsigned most) : most_(most ? most : 1) {
    idle_.push_back(std::move(first));
}

StorePool::Lease StorePool::Take() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (!idle_.empty()) {
            std::unique_ptr<catalog::MailStore> store = std::move(idle_.back());
            idle_.pop_back();
            // Keep one idle store to fork from while there is room for more.
            if (idle_.empty() && made_ < most_) {
                std::unique_ptr<catalog::MailStore> fork;
                ++made_;
                lock.unlock();
                bool forked = store->Fork(fork).Ok();
                lock.lock();
                if (forked) idle_.push_back(std::move(fork));
                else --made_;
            }
            return Lease(*this, std::move(store));
        }
        returned_.wait(lock);
    }
}

void StorePool::Return(std::unique_ptr<catalog::MailStore> store) {
    if (!store) return;
    std::lock_guard<std::mutex> lock(mutex_);
    idle_.push_back(std::move(store));
    returned_.notify_one();
}

}  // namespace mount
