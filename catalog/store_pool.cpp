#include "mount/store_pool.h"

namespace mount {

using catalog::Outcome;
using catalog::StoreCode;

bool ConnectionLost(const Outcome& outcome) {
    return outcome.code == StoreCode::Broken || outcome.code == StoreCode::Unreachable ||
           outcome.code == StoreCode::TimedOut;
}

StorePool::StorePool(std::unique_ptr<catalog::MailStore> first, unsigned most, StoreOpener reopen)
    : most_(most ? most : 1), reopen_(std::move(reopen)) {
    idle_.push_back(std::move(first));
}

Outcome StorePool::Take(std::unique_ptr<catalog::MailStore>& store) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (!idle_.empty()) {
            store = std::move(idle_.back());
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
                returned_.notify_one();
            }
            return {};
        }
        if (made_ == 0) {
            // Every store was dropped: open a new one.
            if (!reopen_) return {StoreCode::Unreachable, "the connection to the mailbox is gone"};
            ++made_;
            lock.unlock();
            Outcome outcome = reopen_(store);
            lock.lock();
            if (!outcome.Ok()) --made_;
            return outcome;
        }
        returned_.wait(lock);
    }
}

void StorePool::Return(std::unique_ptr<catalog::MailStore> store, bool lost) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lost) --made_;
    else idle_.push_back(std::move(store));
    returned_.notify_all();
}

Outcome StorePool::Run(const std::function<Outcome(catalog::MailStore&)>& work, bool again) {
    for (int attempt = 0;; ++attempt) {
        std::unique_ptr<catalog::MailStore> store;
        Outcome outcome = Take(store);
        if (!outcome.Ok()) return outcome;
        outcome = work(*store);
        const bool lost = ConnectionLost(outcome);
        Return(std::move(store), lost);
        if (!lost || !again || attempt > 0) return outcome;
    }
}

}  // namespace mount
