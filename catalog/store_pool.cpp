#include "catalog/store_pool.h"

namespace catalog {

bool ConnectionLost(const Outcome& outcome) {
    return outcome.code == StoreCode::Broken || outcome.code == StoreCode::Unreachable ||
           outcome.code == StoreCode::TimedOut || outcome.code == StoreCode::CertificateRefused;
}

// A store of the pool while it is in use: its calls go to the pool's store,
// its forks are leases of the same pool, and it goes back (or is dropped
// when its connection broke) when it is destroyed.
class StorePool::Leased : public MailStore {
public:
    Leased(StorePool& pool, std::unique_ptr<MailStore> store) : pool_(pool), store_(std::move(store)) {
        store_->SetForkSource(this);
    }
    ~Leased() override {
        store_->SetForkSource(nullptr);
        pool_.Return(std::move(store_), lost_);
    }

    Outcome ListFolders(std::vector<FolderInfo>& folders) override { return Seen(store_->ListFolders(folders)); }
    Outcome CreateFolder(const std::string& parentId, const std::string& name, std::string& newId) override {
        return Seen(store_->CreateFolder(parentId, name, newId));
    }
    Outcome MoveFolder(const std::string& folderId, const std::string& parentId) override {
        return Seen(store_->MoveFolder(folderId, parentId));
    }
    Outcome RenameFolder(const std::string& folderId, const std::string& name) override {
        return Seen(store_->RenameFolder(folderId, name));
    }
    Outcome DeleteFolder(const std::string& folderId) override { return Seen(store_->DeleteFolder(folderId)); }
    Outcome ListMails(const std::string& folderId, std::vector<MailInfo>& mails) override {
        return Seen(store_->ListMails(folderId, mails));
    }
    Outcome SearchMails(const std::string& text, const std::string& folderId, std::vector<MailInfo>& mails) override {
        return Seen(store_->SearchMails(text, folderId, mails));
    }
    Outcome SearchMailsIn(const std::string& text, const std::vector<std::string>& folderIds,
                          std::vector<MailInfo>& mails) override {
        return Seen(store_->SearchMailsIn(text, folderIds, mails));
    }
    Outcome ReadMailText(const std::string& mailId, MailText& mail) override {
        return Seen(store_->ReadMailText(mailId, mail));
    }
    Outcome StorePart(const PartUpload& part, std::string& newMailId) override {
        return Seen(store_->StorePart(part, newMailId));
    }
    Outcome FetchAttachment(const std::string& mailId, const ByteSink& sink) override {
        return Seen(store_->FetchAttachment(mailId, sink));
    }
    Outcome FetchSource(const std::string& mailId, const ByteSink& sink, std::uint64_t limit) override {
        return Seen(store_->FetchSource(mailId, sink, limit));
    }
    Outcome MoveMails(const std::vector<std::string>& mailIds, const std::string& folderId) override {
        return Seen(store_->MoveMails(mailIds, folderId));
    }
    Outcome DeleteMails(const std::vector<std::string>& mailIds) override { return Seen(store_->DeleteMails(mailIds)); }
    Outcome Fork(std::unique_ptr<MailStore>& fork) override {
        std::unique_ptr<MailStore> store;
        Outcome outcome = pool_.Take(store, false);
        if (outcome.Ok()) fork = std::make_unique<Leased>(pool_, std::move(store));
        return outcome;
    }
    std::string InboxId() const override { return store_->InboxId(); }
    MailStore& Lent() override { return store_->Lent(); }

    void MarkLost() { lost_ = true; }

private:
    Outcome Seen(Outcome outcome) {
        if (ConnectionLost(outcome)) lost_ = true;
        return outcome;
    }

    StorePool& pool_;
    std::unique_ptr<MailStore> store_;
    bool lost_ = false;
};

StorePool::StorePool(std::unique_ptr<MailStore> first, unsigned most, StoreOpener reopen)
    : most_(most ? most : 1), reopen_(std::move(reopen)) {
    idle_.push_back(std::move(first));
}

StorePool::~StorePool() = default;

unsigned StorePool::Made() {
    std::lock_guard<std::mutex> lock(mutex_);
    return made_;
}

Outcome StorePool::Take(std::unique_ptr<MailStore>& store, bool wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (!idle_.empty()) {
            store = std::move(idle_.back());
            idle_.pop_back();
            // Keep one idle store to fork from while there is room for more.
            if (idle_.empty() && made_ < most_) {
                std::unique_ptr<MailStore> fork;
                ++made_;
                lock.unlock();
                bool forked = store->Fork(fork).Ok() && fork;
                lock.lock();
                if (forked)
                    idle_.push_back(std::move(fork));
                else
                    --made_;
                returned_.notify_one();
            }
            return Success();
        }
        if (made_ == 0) {
            // Every store was dropped: open a new one.
            if (!reopen_) return Failure(StoreCode::Unreachable, "the connection to the mailbox is gone");
            ++made_;
            lock.unlock();
            Outcome outcome = reopen_(store);
            lock.lock();
            if (!outcome.Ok() || !store) --made_, returned_.notify_all();
            if (outcome.Ok() && !store) return Failure(StoreCode::Unreachable, "the mailbox did not open again");
            return outcome;
        }
        if (!wait) return Failure(StoreCode::Refused, "every connection the account may open is in use");
        returned_.wait(lock);
    }
}

void StorePool::Return(std::unique_ptr<MailStore> store, bool lost) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lost || !store)
        --made_;
    else
        idle_.push_back(std::move(store));
    returned_.notify_all();
}

Outcome StorePool::Run(const std::function<Outcome(MailStore&)>& work, bool again) {
    for (int attempt = 0;; ++attempt) {
        std::unique_ptr<MailStore> store;
        Outcome outcome = Take(store, true);
        if (!outcome.Ok()) return outcome;
        bool lost = false;
        {
            Leased leased(*this, std::move(store));
            outcome = work(leased);
            lost = ConnectionLost(outcome);
            if (lost) leased.MarkLost();
        }
        if (!lost || !again || attempt > 0) return outcome;
    }
}

}  // namespace catalog
