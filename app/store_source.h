// Where the desktop's work gets its connection to the mailbox. The signed-in
// store is only ever forked, under a lock, never used for work itself: the
// session lane works on a fork of its own, made on the lane at its first
// use; work on a thread of its own (a transfer, a mail's source) forks a
// store for itself and lets it go when done.
// (catalog::StorePool is not used here: a mail's source is read through
// the webmail store itself, which the pool's leases hide.)
#pragma once

#include <memory>
#include <mutex>

#include "catalog/mail_store.h"

namespace app {

class StoreSource {
public:
    explicit StoreSource(std::unique_ptr<catalog::MailStore> root) : root_(std::move(root)) {}
    StoreSource(const StoreSource&) = delete;
    StoreSource& operator=(const StoreSource&) = delete;

    // A store of the caller's own on the account.
    catalog::Outcome Fork(std::unique_ptr<catalog::MailStore>& store);
    // The session lane's store; only the session lane calls these. A store
    // whose connection was lost is let go: the lane's next work forks anew
    // (an IMAP store whose connection broke takes no more work).
    catalog::Outcome LaneStore(catalog::MailStore*& store);
    void LaneStoreLost() { lane_.reset(); }
    // What the account's stores call the inbox (stores never change it).
    std::string InboxId();

private:
    std::mutex lock_;
    std::unique_ptr<catalog::MailStore> root_;
    std::unique_ptr<catalog::MailStore> lane_;  // the session lane's
};

}  // namespace app
