// Where the desktop's work gets its connection to the mailbox: one pool of
// stores for everything the desktop does on the account (the session lane,
// transfers with their parallel parts, saving a mail's source), so that the
// account never has more than the budget open at once. The signed-in store
// is only ever forked, never used for work itself: the pool's first store
// is forked from it at the first work, and a new one is forked from it when
// every store's connection was lost.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "catalog/mail_store.h"
#include "catalog/store_pool.h"

namespace app {

// The session lane, one transfer's parts (TransferPacing's default of
// four) and one more piece of work of a thread of its own.
constexpr unsigned kDesktopConnections = 6;

class StoreSource {
public:
    StoreSource(std::unique_ptr<catalog::MailStore> root, unsigned most) : root_(std::move(root)), most_(most) {}
    StoreSource(const StoreSource&) = delete;
    StoreSource& operator=(const StoreSource&) = delete;

    // Runs `work` on a store of the pool, waiting while the budget is spent.
    // Forks the work makes come out of the same budget and are refused
    // rather than waited for (the parts engine then goes on with fewer).
    // Work is never run twice: a store whose connection was lost is dropped.
    catalog::Outcome Run(const std::function<catalog::Outcome(catalog::MailStore&)>& work);
    // The pool itself, made now when it is not yet (forks a store: not on
    // the user-interface thread), for a user of its own such as the drive.
    catalog::Outcome Pool(catalog::StorePool*& pool);
    // What the account's stores call the inbox (stores never change it).
    std::string InboxId();

private:
    std::mutex lock_;
    std::unique_ptr<catalog::MailStore> root_;
    const unsigned most_;
    std::unique_ptr<catalog::StorePool> pool_;  // made at the first work, off the UI thread
};

}  // namespace app
