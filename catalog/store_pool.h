// The connection budget of one account in one process: every store of the
// account, whoever uses it (the mount's and the desktop's work, the parts
// engine's workers, the listing's size readers), is one of the pool's, at
// most `most` at once. Run() takes a store (forked from an idle one while there
// is room, else waiting for one to come back: each holder's calls are
// bounded, so that wait is too) and gives it back. A store handed to work
// forks within the same budget: its Fork() leases an idle store or a new
// one while there is room, and refuses once the budget is spent, so the
// catalog's workers go on with fewer connections instead of opening more;
// the lease goes back to the pool when the fork is destroyed.
// A store whose connection broke is dropped, and a new one is opened in its
// place (an IMAP server ends idle connections; a store that saw its
// connection break refuses further work).
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "catalog/mail_store.h"

namespace catalog {

// Opens a new store on the account (signs in again).
using StoreOpener = std::function<Outcome(std::unique_ptr<MailStore>& store)>;

// Whether an outcome says the connection is gone (rather than the request refused).
bool ConnectionLost(const Outcome& outcome);

class StorePool {
public:
    StorePool(std::unique_ptr<MailStore> first, unsigned most, StoreOpener reopen = {});
    ~StorePool();
    StorePool(const StorePool&) = delete;
    StorePool& operator=(const StorePool&) = delete;

    // Runs `work` on a store of the pool. When the connection was lost the
    // store is dropped and, with `again`, the work runs once more on
    // another (only for work that may safely run twice).
    Outcome Run(const std::function<Outcome(MailStore&)>& work, bool again = true);
    // The budget, and the stores that exist now (idle, run or leased).
    unsigned Most() const { return most_; }
    unsigned Made();

private:
    class Leased;
    // Takes an idle store, or makes one within the budget; waits when
    // `wait` and none can be had, else refuses at once.
    Outcome Take(std::unique_ptr<MailStore>& store, bool wait);
    void Return(std::unique_ptr<MailStore> store, bool lost);

    std::mutex mutex_;
    std::condition_variable returned_;
    std::vector<std::unique_ptr<MailStore>> idle_;
    unsigned made_ = 1;  // stores of the pool, idle, run or leased
    unsigned most_;
    StoreOpener reopen_;
};

}  // namespace catalog
