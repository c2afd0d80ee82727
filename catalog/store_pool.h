// Connections to the mailbox shared by the mount's threads: each operation
// runs on a store of its own, taken from the pool and given back. Stores
// are forked from an idle one as they are needed, up to a bound; a caller
// waits for one to come back (each holder's calls are bounded, so that wait
// is too). A store whose connection broke is dropped, and a new one is
// opened in its place (an IMAP server ends idle connections; a store that
// saw its connection break refuses further work).
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "catalog/mail_store.h"

namespace mount {

// Opens a new store on the account (signs in again).
using StoreOpener = std::function<catalog::Outcome(std::unique_ptr<catalog::MailStore>& store)>;

// Whether an outcome says the connection is gone (rather than the request refused).
bool ConnectionLost(const catalog::Outcome& outcome);

class StorePool {
public:
    StorePool(std::unique_ptr<catalog::MailStore> first, unsigned most, StoreOpener reopen = {});

    // Runs `work` on a store of the pool. When the connection was lost the
    // store is dropped and, with `again`, the work runs once more on
    // another (only for work that may safely run twice).
    catalog::Outcome Run(const std::function<catalog::Outcome(catalog::MailStore&)>& work, bool again = true);

private:
    catalog::Outcome Take(std::unique_ptr<catalog::MailStore>& store);
    void Return(std::unique_ptr<catalog::MailStore> store, bool lost);

    std::mutex mutex_;
    std::condition_variable returned_;
    std::vector<std::unique_ptr<catalog::MailStore>> idle_;
    unsigned made_ = 1;  // stores in the pool, idle or taken
    unsigned most_;
    StoreOpener reopen_;
};

}  // namespace mount
