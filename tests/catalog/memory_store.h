// A mailbox in memory for the catalog's tests: folders, mails with subject,
// text and attachment bytes, deterministic ids, and faults on demand (tests
// edit `mails` directly to lose, double or damage a part).
#pragma once

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "catalog/mail_store.h"

namespace testsupport {

using catalog::Failure;
using catalog::Outcome;
using catalog::StoreCode;
using Text = const std::string&;
using Ids = const std::vector<std::string>&;

struct StoredMail {
    catalog::MailInfo info;
    std::string text, attachmentName, bytes;
};

class MemoryStore : public catalog::MailStore {
public:
    std::map<std::string, std::string> folders{{"1", "inbox"}, {"4", "trash"}, {"7", "files"}, {"9", "archive"}};
    std::map<std::string, std::string> parents;  // folder id -> the folder it is nested in; absent at the top
    std::map<std::string, StoredMail> mails;     // by id
    int storesBeforeRefusal = -1;                // StorePart calls that succeed before one is refused
    std::size_t chunk = 5;                       // attachment bytes per sink call
    bool searchBlind = false;                    // searches find nothing
    int foldersBeforeRefusal = -1;               // CreateFolder calls that succeed before one is refused
    bool textsBroken = false;                    // ReadMailText fails as over a cut connection
    int fetches = 0, listings = 0, textsRead = 0, partsSent = 0;  // calls so far (parts: those stored)

    std::string Add(Text folder, Text subject, Text bytes = "x", Text text = "", Text attachmentName = "") {
        std::string id = std::to_string(nextId_++);
        mails[id] = {
            {id, folder, subject, bytes.size() + 600, 1700000000 + nextId_, true}, text, attachmentName, bytes};
        return id;
    }
    Outcome ListFolders(std::vector<catalog::FolderInfo>& out) override {
        out.clear();
        for (auto& [id, name] : folders) {
            out.push_back({id, name, 0, 0, 0, id == "1" || id == "4", parents.count(id) ? parents[id] : ""});
        }
        return {};
    }
    Outcome CreateFolder(Text parent, Text name, std::string& id) override {
        if (foldersBeforeRefusal >= 0 && foldersBeforeRefusal-- == 0) return Failure(StoreCode::Refused, "too deep");
        if (!parent.empty() && !folders.count(parent)) return Failure(StoreCode::NotFound, parent);
        for (auto& [other, otherName] : folders)
            if (otherName == name && (parents.count(other) ? parents[other] : "") == parent)
                return {StoreCode::Refused, name + " exists", "ALREADYEXISTS"};
        id = std::to_string(nextId_++);
        folders[id] = name;
        if (!parent.empty()) parents[id] = parent;
        return {};
    }
    Outcome MoveFolder(Text id, Text parent) override {
        if (!folders.count(id) || (!parent.empty() && !folders.count(parent))) return Failure(StoreCode::NotFound, id);
        for (std::string at = parent; !at.empty(); at = parents.count(at) ? parents[at] : "")
            if (at == id) return Failure(StoreCode::Refused, "a folder cannot go below itself");
        if (parent.empty())
            parents.erase(id);
        else
            parents[id] = parent;
        return {};
    }
    Outcome RenameFolder(Text id, Text name) override {
        if (!folders.count(id)) return Failure(StoreCode::NotFound, id);
        folders[id] = name;
        return {};
    }
    Outcome DeleteFolder(Text id) override {
        for (auto& [child, parent] : parents)
            if (parent == id) return Failure(StoreCode::Refused, "folders are nested in " + id);
        parents.erase(id);
        return folders.erase(id) ? Outcome{} : Failure(StoreCode::NotFound, id);
    }
    Outcome ListMails(Text folder, std::vector<catalog::MailInfo>& out) override {
        ++listings;
        return SearchMails("", folder, out);
    }
    Outcome SearchMails(Text text, Text folder, std::vector<catalog::MailInfo>& out) override {
        out.clear();
        auto same = [](char a, char b) { return std::tolower(a & 0xff) == std::tolower(b & 0xff); };
        for (auto& [id, mail] : mails) {
            Text subject = mail.info.subject;
            if ((folder.empty() || mail.info.folderId == folder) && !(searchBlind && !text.empty()) &&
                std::search(subject.begin(), subject.end(), text.begin(), text.end(), same) != subject.end())
                out.push_back(mail.info);
        }
        return {};
    }
    Outcome ReadMailText(Text id, catalog::MailText& out) override {
        ++textsRead;
        if (textsBroken) return Failure(StoreCode::Broken, "cut");
        if (!mails.count(id)) return Failure(StoreCode::NotFound, id);
        out = {mails[id].info.subject, mails[id].text, {{mails[id].attachmentName, mails[id].bytes.size()}}};
        return {};
    }
    Outcome StorePart(const catalog::PartUpload& part, std::string& id) override {
        if (storesBeforeRefusal >= 0 && storesBeforeRefusal-- == 0) return Failure(StoreCode::TooLarge, "on demand");
        const std::shared_ptr<platform::ByteReader> in = catalog::PartBytes(part);
        std::string bytes(part.length, '\0');
        if (!in || !in->ReadAt(part.offset, bytes.data(), bytes.size()))
            return Failure(StoreCode::LocalFile, "short source");
        if (part.progress) part.progress(part.length);
        if (part.stop.StopRequested()) return Failure(StoreCode::Cancelled, "");
        id = Add(part.folderId, part.subject, bytes, part.text, part.attachmentName);
        ++partsSent;
        return {};
    }
    Outcome FetchAttachment(Text id, const catalog::ByteSink& sink) override {
        ++fetches;
        if (!mails.count(id)) return Failure(StoreCode::NotFound, id);
        for (std::size_t at = 0; at < mails[id].bytes.size(); at += chunk)
            if (!sink(&mails[id].bytes[at], std::min(chunk, mails[id].bytes.size() - at)))
                return Failure(StoreCode::Cancelled, "");
        return {};
    }
    // A plain-text stand-in for a mail's source: its header, its text and its bytes.
    Outcome FetchSource(Text id, const catalog::ByteSink& sink, std::uint64_t limit) override {
        if (!mails.count(id)) return Failure(StoreCode::NotFound, id);
        const StoredMail& mail = mails[id];
        const std::string source = "Subject: " + mail.info.subject + "\r\n\r\n" + mail.text + "\r\n" + mail.bytes;
        if (source.size() > limit) return Failure(StoreCode::TooLarge, id);
        return sink(source.data(), source.size()) ? Outcome{} : Failure(StoreCode::Cancelled, "");
    }
    Outcome MoveMails(Ids ids, Text folder) override {
        for (Text id : ids) mails.at(id).info.folderId = folder;  // an unknown id fails the test
        return {};
    }
    Outcome DeleteMails(Ids ids) override { return MoveMails(ids, "4"); }
    Outcome Fork(std::unique_ptr<catalog::MailStore>&) override { return Failure(StoreCode::Refused, "one thread"); }
    std::string InboxId() const override { return "1"; }

private:
    int nextId_ = 100;
};

}  // namespace testsupport
