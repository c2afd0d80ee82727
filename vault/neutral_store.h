// The mailbox as a vault stores into it: every call passes through, but a
// stored part's attachment is named "sealed.bin" (a part of several:
// "sealed.bin.003") instead of after the file, so that not even the sealed
// name shows in the attachment, and nothing in it hints at its type.
// Forks are wrapped the same way, so parallel parts keep the rule.
#pragma once

#include <memory>

#include "catalog/mail_store.h"

namespace vault {

constexpr char kNeutralAttachmentName[] = "sealed.bin";

class NeutralStore : public catalog::MailStore {
public:
    // `inner` must outlive this store (the caller's store).
    explicit NeutralStore(catalog::MailStore& inner) : inner_(inner) {}
    // A fork: owned.
    explicit NeutralStore(std::unique_ptr<catalog::MailStore> owned) : owned_(std::move(owned)), inner_(*owned_) {}

    catalog::Outcome ListFolders(std::vector<catalog::FolderInfo>& f) override { return inner_.ListFolders(f); }
    catalog::Outcome CreateFolder(const std::string& p, const std::string& n, std::string& id) override {
        return inner_.CreateFolder(p, n, id);
    }
    catalog::Outcome MoveFolder(const std::string& id, const std::string& p) override {
        return inner_.MoveFolder(id, p);
    }
    catalog::Outcome RenameFolder(const std::string& id, const std::string& n) override {
        return inner_.RenameFolder(id, n);
    }
    catalog::Outcome DeleteFolder(const std::string& id) override { return inner_.DeleteFolder(id); }
    catalog::Outcome ListMails(const std::string& id, std::vector<catalog::MailInfo>& m) override {
        return inner_.ListMails(id, m);
    }
    catalog::Outcome SearchMails(const std::string& t, const std::string& id,
                                 std::vector<catalog::MailInfo>& m) override {
        return inner_.SearchMails(t, id, m);
    }
    catalog::Outcome SearchMailsIn(const std::string& t, const std::vector<std::string>& ids,
                                   std::vector<catalog::MailInfo>& m) override {
        return inner_.SearchMailsIn(t, ids, m);
    }
    catalog::Outcome ReadMailText(const std::string& id, catalog::MailText& m) override {
        return inner_.ReadMailText(id, m);
    }
    catalog::Outcome StorePart(const catalog::PartUpload& part, std::string& newMailId) override;
    catalog::Outcome FetchAttachment(const std::string& id, const catalog::ByteSink& sink) override {
        return inner_.FetchAttachment(id, sink);
    }
    // The source as stored: what the mailbox holds, sealed parts sealed.
    catalog::Outcome FetchSource(const std::string& id, const catalog::ByteSink& sink, std::uint64_t limit) override {
        return inner_.FetchSource(id, sink, limit);
    }
    catalog::Outcome MoveMails(const std::vector<std::string>& ids, const std::string& folderId) override {
        return inner_.MoveMails(ids, folderId);
    }
    catalog::Outcome DeleteMails(const std::vector<std::string>& ids) override { return inner_.DeleteMails(ids); }
    catalog::Outcome Fork(std::unique_ptr<catalog::MailStore>& fork) override;
    std::string InboxId() const override { return inner_.InboxId(); }

private:
    std::unique_ptr<catalog::MailStore> owned_;
    catalog::MailStore& inner_;
};

// "sealed.bin", or "sealed.bin.NNN" for a numbered part's name "X.NNN".
std::string NeutralAttachmentName(const std::string& attachmentName);

}  // namespace vault
