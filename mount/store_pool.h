// Connections to the mailbox shared by the mount's threads: each caller
// takes a store of its own for the length of an operation and gives it
// back. Stores are forked from the first as they are needed, up to a
// bound; a caller waits for one to come back (each holder's calls are
// bounded, so that wait is too).
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "catalog/mail_store.h"

namespace mount {

class StorePool {
public:
    StorePool(std::unique_ptr<catalog::MailStore> first, unsigned most);

    class Lease {
    public:
        Lease(StorePool& pool, std::unique_ptr<catalog::MailStore> store) : pool_(pool), store_(std::move(store)) {}
        ~Lease() { pool_.Return(std::move(store_)); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        catalog::MailStore& operator*() { return *store_; }
        catalog::MailStore* operator->() { return store_.get(); }

    private:
        StorePool& pool_;
        std::unique_ptr<catalog::MailStore> store_;
    };

    Lease Take();

private:
    void Return(std::unique_ptr<catalog::MailStore> store);

    std::mutex mutex_;
    std::condition_variable returned_;
    std::vector<std::unique_ptr<catalog::MailStore>> idle_;
    unsigned made_ = 1;
    unsigned most_;
};

}  // namespace mount
