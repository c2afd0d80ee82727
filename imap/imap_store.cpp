// The IMAP store: one class that fills in the whole mail-store interface
// over one IMAP session (the selected folder, the UID cache and the
// connection are shared by every call). It is kept in one file, past the
// usual size, because splitting its methods apart would mean handing that
// session state out through a header only this store uses; the codecs and
// the response reader it calls live in files of their own.
#include "imap/imap_store.h"

#include <algorithm>
#include <map>

#include "catalog/format_values.h"
#include "catalog/manifest.h"
#include "imap/body_structure.h"
#include "imap/client.h"
#include "imap/fetch_items.h"
#include "imap/header_words.h"
#include "imap/mailbox_name.h"
#include "imap/part_message.h"
#include "imap/transfer_coding.h"

namespace imap {
namespace {

using catalog::FolderInfo;
using catalog::MailInfo;
using catalog::MailText;

constexpr std::size_t kMaxCachedStructures = 64;
constexpr std::uint64_t kMaxTextBody = 1024 * 1024;  // more of a text body is not read
// Bytes of each mail's first part a listing fetches along: a manifest
// whole, base64 and all, with a name of a few hundred characters.
constexpr std::uint64_t kListedText = 2048;
// Bytes of each end of a base64 part that tell its decoded length: a few
// lines, whatever their width.
constexpr std::uint64_t kEndSample = 512;

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool Contains(const Value& list, const std::string& lowerAtom) {
    return std::any_of(list.items.begin(), list.items.end(), [&](const Value& v) { return v.Lower() == lowerAtom; });
}

// A trash by name, for servers that do not mark it (the last one is the
// name the webmail of our domains uses).
bool TrashByName(const std::string& id) {
    std::string leaf = id.substr(id.find_last_of("/.") == std::string::npos ? 0 : id.find_last_of("/.") + 1);
    for (const char* name :
         {"TRASH", "DELETED MESSAGES", "DELETED ITEMS", "DELETED", "BIN", "\xE5\xB7\xB2\xE5\x88\xA0\xE9\x99\xA4"})
        if (Upper(leaf) == name) return true;
    return false;
}

// The text part's bytes as sent, decoded to UTF-8 (a charset we do not
// read: its UTF-8 stands, anything else becomes U+FFFD).
bool DecodeText(const BodyPart& part, const std::string& bytes, std::string& text) {
    Coding coding = Coding::Identity;
    std::string decoded;
    Decoder decoder(CodingOf(part.encoding, coding) ? coding : Coding::Identity);
    if (!decoder.Feed(bytes.data(), bytes.size(), decoded) || !decoder.Finish(decoded)) return false;
    if (!ToUtf8(part.charset, decoded, text)) ToUtf8("utf-8", decoded, text);
    return true;
}

Outcome CheckFolderName(const std::string& name) {
    if (name.empty() || !catalog::IsUtf8(name) || name.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return Failure(StoreCode::Refused, "not a folder name: " + name);
    return Success();
}

struct Folder {
    std::string raw;     // the name on the wire
    char delimiter = 0;  // the server's hierarchy delimiter for it; 0: it cannot nest
    bool system = false;
    bool trash = false;
    bool hollow = false;  // a level that holds no mail (\Noselect): only a path to its children
};

struct Cached {
    MailStructure structure;
    std::string subject;
};

struct Settings {
    ServerAddress address;
    std::string account, password, caFile;
    StoreLimits limits;
};

class ImapStore : public catalog::MailStore {
public:
    explicit ImapStore(Settings settings) : settings_(std::move(settings)) {}

    Outcome Ready() {
        if (client_ && !client_->Broken()) return Success();
        client_ = std::make_unique<Client>(settings_.limits.idleTimeoutMs);
        selected_.clear();
        Outcome outcome = client_->Connect(settings_.address, settings_.caFile);
        if (outcome.Ok()) outcome = client_->SignIn(settings_.account, settings_.password);
        if (!outcome.Ok()) client_->Close();
        return outcome;
    }

    Outcome ListFolders(std::vector<FolderInfo>& out) override {
        out.clear();
        Outcome outcome = LoadFolders();
        for (auto& [id, folder] : folders_) {
            if (!outcome.Ok()) break;
            if (folder.hollow) continue;
            FolderInfo info = InfoOf(id, folder);
            const bool size = client_->Has("STATUS=SIZE");
            outcome = client_->Run(
                Command("STATUS").String(folder.raw).Text(size ? " (MESSAGES UNSEEN SIZE)" : " (MESSAGES UNSEEN)"),
                [&](const Untagged& head, ResponseReader& reader, bool& taken) {
                    if (head.word != "STATUS") return Success();
                    taken = true;
                    std::vector<Value> values;
                    Outcome read = ReadLine(reader, values);
                    const Value& counts = values.size() > 1 ? values[1] : Value();
                    for (std::size_t i = 0; i + 1 < counts.items.size(); i += 2) {
                        std::uint64_t n = 0;
                        ParseNumber(counts.items[i + 1].text, ~std::uint64_t(0) >> 1, n);
                        const std::string key = Upper(counts.items[i].text);
                        if (key == "MESSAGES") info.messages = n;
                        if (key == "UNSEEN") info.unread = n;
                        if (key == "SIZE") info.bytes = n;
                    }
                    return read;
                });
            out.push_back(info);
        }
        return outcome;
    }

    Outcome CreateFolder(const std::string& parentId, const std::string& name, std::string& newId) override {
        Outcome outcome = CheckFolderName(name);
        Folder parent;
        if (outcome.Ok() && !parentId.empty()) outcome = Nestable(parentId, parent);
        if (outcome.Ok()) outcome = Ready();
        if (!outcome.Ok()) return outcome;
        const char delimiter = parentId.empty() ? TopDelimiter() : parent.delimiter;
        const std::string level = LevelOfName(name, delimiter);
        std::string raw = EncodeMailboxName(level), id = level;
        if (!parentId.empty()) raw = parent.raw + delimiter + raw, id = parentId + delimiter + level;
        outcome = client_->Run(Command("CREATE").String(raw));
        folders_.clear();
        if (outcome.Ok()) newId = Upper(id) == "INBOX" ? "INBOX" : id;
        return outcome;
    }

    // The folder keeps its place and takes the new name; what lies below it follows.
    Outcome RenameFolder(const std::string& folderId, const std::string& name) override {
        Folder folder;
        Outcome outcome = CheckFolderName(name);
        if (outcome.Ok()) outcome = Find(folderId, folder);
        if (outcome.Ok() && folder.system) return Failure(StoreCode::Refused, folderId + " cannot be renamed");
        if (!outcome.Ok()) return outcome;
        const MailboxPath path = SplitMailboxPath(folder.raw, folder.delimiter);
        const std::string level = EncodeMailboxName(LevelOfName(name, folder.delimiter));
        return Rename(folderId, folder, path.parent.empty() ? level : path.parent + folder.delimiter + level);
    }

    Outcome MoveFolder(const std::string& folderId, const std::string& parentId) override {
        Folder folder, parent;
        Outcome outcome = Find(folderId, folder);
        if (outcome.Ok() && folder.system) return Failure(StoreCode::Refused, folderId + " cannot be moved");
        if (outcome.Ok() && !parentId.empty()) outcome = Nestable(parentId, parent);
        if (!outcome.Ok()) return outcome;
        if (Within(parentId, folderId, folder.delimiter))
            return Failure(StoreCode::Refused, "folder " + folderId + " cannot go below itself");
        const std::string leaf = SplitMailboxPath(folder.raw, folder.delimiter).leaf;
        return Rename(folderId, folder, parentId.empty() ? leaf : parent.raw + parent.delimiter + leaf);
    }

    // Only an empty folder goes: IMAP's DELETE would destroy the mails in it.
    Outcome DeleteFolder(const std::string& folderId) override {
        Folder folder;
        Outcome outcome = LoadFolders();
        if (outcome.Ok()) outcome = Find(folderId, folder);
        if (outcome.Ok() && folder.system) return Failure(StoreCode::Refused, folderId + " cannot be deleted");
        // IMAP would delete a parent and leave its children hanging: the drive goes from the leaves up.
        for (auto& [id, other] : folders_)
            if (outcome.Ok() && id != folderId && Within(id, folderId, folder.delimiter))
                return Failure(StoreCode::Refused, folderId + " still holds folder " + id);
        std::uint64_t exists = 0;
        if (outcome.Ok()) outcome = Select(folderId), exists = client_->Exists();
        if (outcome.Ok() && exists > 0)
            return Failure(StoreCode::Refused, folderId + " still holds " + std::to_string(exists) + " mails");
        if (outcome.Ok() && client_->Has("UNSELECT")) outcome = client_->Run(Command("UNSELECT"));
        selected_.clear();
        if (outcome.Ok()) outcome = client_->Run(Command("DELETE").String(folder.raw));
        folders_.clear();
        return outcome;
    }

    Outcome ListMails(const std::string& folderId, std::vector<MailInfo>& mails) override {
        mails.clear();
        std::vector<std::uint32_t> uids;
        // Selected afresh: a folder that stayed selected does not show what
        // other connections (the parts engine's) appended since.
        selected_.clear();
        Outcome outcome = Select(folderId);
        if (outcome.Ok()) outcome = Search(Command("UID SEARCH UNDELETED"), uids);
        if (outcome.Ok()) outcome = Describe(folderId, uids, mails, true);
        return outcome;
    }

    Outcome SearchMails(const std::string& text, const std::string& folderId, std::vector<MailInfo>& mails) override {
        mails.clear();
        std::vector<std::string> where{folderId};
        Outcome outcome = Ready();
        if (outcome.Ok() && folderId.empty()) {
            where.clear();
            outcome = LoadFolders();
            for (auto& [id, folder] : folders_) where.push_back(id);
        }
        const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
        for (const std::string& folder : where) {
            std::vector<std::uint32_t> uids;
            std::vector<MailInfo> found;
            Command search(ascii ? "UID SEARCH UNDELETED" : "UID SEARCH CHARSET UTF-8 UNDELETED");
            if (!text.empty()) search.Text(" SUBJECT").String(text);
            if (outcome.Ok()) selected_.clear(), outcome = Select(folder);
            if (outcome.Ok()) outcome = Search(search, uids);
            if (outcome.Ok()) outcome = Describe(folder, uids, found);
            mails.insert(mails.end(), found.begin(), found.end());
        }
        return outcome;
    }

    Outcome ReadMailText(const std::string& mailId, MailText& mail) override {
        mail = MailText();
        MailRef ref;
        Cached cached;
        Outcome outcome = Structure(mailId, ref, cached);
        if (!outcome.Ok()) return outcome;
        mail.subject = cached.subject;
        const MailStructure& structure = cached.structure;
        if (structure.text >= 0) {
            const BodyPart& text = structure.leaves[structure.text];
            std::string bytes;
            outcome = FetchOne(ref, "(BODY.PEEK[" + text.section + "]<0." + std::to_string(kMaxTextBody) + ">)",
                               [&](std::map<std::string, Value>& fetched) {
                                   for (auto& [key, value] : fetched)
                                       if (key.compare(0, 5, "BODY[") == 0) bytes = value.text;
                               });
            if (!outcome.Ok()) return outcome;
            if (!DecodeText(text, bytes, mail.text))
                return Failure(StoreCode::Corrupt, "the text of mail " + mailId + " is not valid " + text.encoding);
        }
        // A mail of ours says its part's length in its manifest (and what
        // reads the part checks every byte against it anyway): asking the
        // server would make it decode the whole part first.
        catalog::Manifest manifest;
        std::string problem;
        const bool described = structure.attachments.size() == 1 &&
                               catalog::ReadManifest(mail.text, manifest, problem) == catalog::ManifestRead::Ok;
        for (int index : structure.attachments) {
            const BodyPart& part = structure.leaves[index];
            std::uint64_t length = described ? manifest.partSize : 0;
            if (!described && !(outcome = DecodedLength(ref, part, length)).Ok()) return outcome;
            mail.attachments.push_back({part.name, length});
        }
        return Success();
    }

    Outcome StorePart(const catalog::PartUpload& part, std::string& newMailId) override {
        Folder folder;
        std::string random, messageId, from;
        Outcome outcome = Find(part.folderId, folder);
        if (outcome.Ok()) outcome = catalog::NewUploadId(random);
        if (!outcome.Ok()) return outcome;
        if (part.subject.find_first_of("\r\n") != std::string::npos ||
            part.attachmentName.find_first_of("\r\n") != std::string::npos)
            return Failure(StoreCode::Refused, "a subject or name holding a line break");
        messageId = random + "." + part.uploadId + "@vantlo.invalid";
        const bool address = settings_.account.find('@') != std::string::npos &&
                             std::all_of(settings_.account.begin(), settings_.account.end(),
                                         [](char c) { return c > 0x20 && c < 0x7F && c != '<' && c != '>'; });
        from = address ? settings_.account : "vantlo@localhost.invalid";
        const PartMessage message = ComposePart(part, from, messageId, "=_vantlo_" + random, catalog::UtcNow());

        const std::shared_ptr<platform::ByteReader> source = catalog::PartBytes(part);
        if (!source) return Failure(StoreCode::LocalFile, "the file to store could not be read");
        auto write = [&](Connection& connection) {
            Outcome sent = connection.Send(message.head);
            std::vector<char> chunk(kSendChunk);
            std::string lines;  // its room kept from one chunk to the next
            for (std::uint64_t done = 0; sent.Ok() && done < part.length;) {
                const std::size_t want =
                    static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), part.length - done));
                if (!source->ReadAt(part.offset + done, chunk.data(), want))
                    return Failure(StoreCode::LocalFile, "the file to store ended early");
                lines.clear();
                AppendBase64Lines(chunk.data(), want, lines);
                sent = connection.Send(lines);
                done += want;
                if (sent.Ok() && part.progress) part.progress(done);
                if (sent.Ok() && part.stop.StopRequested()) return Failure(StoreCode::Cancelled, "");
            }
            return sent.Ok() ? connection.Send(message.tail) : sent;
        };
        StatusResponse end;
        outcome = client_->Run(Command("APPEND").String(folder.raw).Text(" (\\Seen)").Stream(message.Size(), write), {},
                               &end);
        if (!outcome.Ok()) return outcome;

        MailRef ref{part.folderId, 0, 0};
        std::uint64_t validity = 0, uid = 0;
        const std::string code = end.code + " ";
        const std::size_t space = code.find(' ', 10);
        if (client_->Has("UIDPLUS") && Upper(code.substr(0, 10)) == "APPENDUID " && space != std::string::npos &&
            ParseNumber(code.substr(10, space - 10), 0xffffffffu, validity) &&
            ParseNumber(code.substr(space + 1, code.find(' ', space + 1) - space - 1), 0xffffffffu, uid)) {
            ref.validity = static_cast<std::uint32_t>(validity);
            ref.uid = static_cast<std::uint32_t>(uid);
        } else {
            // Without UIDPLUS our mail is the one with our random Message-ID.
            std::vector<std::uint32_t> uids;
            outcome = Select(part.folderId);
            if (outcome.Ok()) outcome = Search(Command("UID SEARCH HEADER Message-ID").String(messageId), uids);
            if (!outcome.Ok()) return outcome;
            if (uids.empty()) return Failure(StoreCode::NotFound, "the stored mail is not in " + part.folderId);
            ref.validity = validity_[part.folderId];
            ref.uid = *std::max_element(uids.begin(), uids.end());
        }
        newMailId = MailIdOf(ref);
        return Success();
    }

    Outcome FetchAttachment(const std::string& mailId, const catalog::ByteSink& sink) override {
        MailRef ref;
        Cached cached;
        Outcome outcome = Structure(mailId, ref, cached);
        if (!outcome.Ok()) return outcome;
        if (cached.structure.attachments.empty())
            return Failure(StoreCode::NotFound, "mail " + mailId + " has no attachment");
        const BodyPart& part = cached.structure.leaves[cached.structure.attachments.front()];
        return StreamSection(ref, part, sink);
    }

    // The literal's announced size is checked before a byte is read, so a
    // mail past the bound hands nothing on.
    Outcome FetchSource(const std::string& mailId, const catalog::ByteSink& sink, std::uint64_t limit) override {
        MailRef ref;
        if (!ParseMailId(mailId, ref)) return Failure(StoreCode::NotFound, "no such mail: " + mailId);
        Outcome outcome = Selected(ref);
        if (!outcome.Ok()) return outcome;
        bool tooLarge = false;
        outcome = FetchOne(
            ref, "(UID BODY.PEEK[])", [](std::map<std::string, Value>&) {},
            [&](ResponseReader& reader, const Token& token) {
                if (token.kind == TokenKind::Quoted)
                    return sink(token.text.data(), token.text.size()) ? Success() : Failure(StoreCode::Cancelled, "");
                if (token.kind != TokenKind::Literal) return Success();  // NIL
                // Leaving the literal unread ends the connection: the conversation is out of step.
                if (token.size > limit) return tooLarge = true, Failure(StoreCode::Cancelled, "");
                bool stopped = false;
                Outcome read = reader.LiteralStream(token.size, sink, stopped);
                return read.Ok() && stopped ? Failure(StoreCode::Cancelled, "") : read;
            });
        if (tooLarge)
            return Failure(StoreCode::TooLarge,
                           "mail " + mailId + " is larger than " + std::to_string(limit) + " bytes");
        return outcome;
    }

    Outcome MoveMails(const std::vector<std::string>& mailIds, const std::string& folderId) override {
        Folder target;
        Outcome outcome = Find(folderId, target);
        std::map<std::string, std::vector<MailRef>> byFolder;
        for (const std::string& id : mailIds) {
            MailRef ref;
            if (!ParseMailId(id, ref)) return Failure(StoreCode::NotFound, "no such mail: " + id);
            if (ref.folder != folderId) byFolder[ref.folder].push_back(ref);
            structures_.erase(id);
        }
        for (auto& [folder, refs] : byFolder) {
            std::vector<std::uint32_t> uids;
            for (const MailRef& ref : refs) {
                if (outcome.Ok()) outcome = Selected(ref);
                uids.push_back(ref.uid);
            }
            std::sort(uids.begin(), uids.end());
            uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
            const std::string set = UidSet(uids);
            if (!outcome.Ok()) break;
            if (client_->Has("MOVE")) {
                outcome = client_->Run(Command("UID MOVE " + set).String(target.raw));
                continue;
            }
            outcome = client_->Run(Command("UID COPY " + set).String(target.raw));
            if (outcome.Ok()) outcome = client_->Run(Command("UID STORE " + set + " +FLAGS.SILENT (\\Deleted)"));
            if (outcome.Ok()) outcome = Expunge(uids);
        }
        return outcome;
    }

    Outcome DeleteMails(const std::vector<std::string>& mailIds) override {
        std::string trash;
        Outcome outcome = Trash(trash);
        std::vector<std::string> elsewhere;
        for (const std::string& id : mailIds) {
            MailRef ref;
            // Mails already in the trash stay: nothing is destroyed.
            if (!ParseMailId(id, ref) || ref.folder != trash) elsewhere.push_back(id);
        }
        return outcome.Ok() ? MoveMails(elsewhere, trash) : outcome;
    }

    Outcome Fork(std::unique_ptr<catalog::MailStore>& fork) override {
        auto store = std::make_unique<ImapStore>(settings_);
        Outcome outcome = store->Ready();
        if (outcome.Ok()) fork = std::move(store);
        return outcome;
    }

    std::string InboxId() const override { return {}; }

private:
    Outcome LoadFolders() {
        Outcome outcome = Ready();
        if (!outcome.Ok()) return outcome;
        std::map<std::string, Folder> folders;
        outcome =
            client_->Run(Command("LIST \"\" \"*\""), [&](const Untagged& head, ResponseReader& reader, bool& taken) {
                if (head.word != "LIST") return Success();
                taken = true;
                std::vector<Value> values;
                Outcome read = ReadLine(reader, values);
                if (!read.Ok() || values.size() < 3)
                    return read.Ok() ? Failure(StoreCode::Corrupt, "a garbled LIST") : read;
                const Value& flags = values[0];
                Folder folder;
                folder.raw = values[2].text;
                folder.delimiter = values[1].IsNil() || values[1].text.size() != 1 ? 0 : values[1].text[0];
                folder.hollow = Contains(flags, "\\noselect") || Contains(flags, "\\nonexistent");
                std::string id;
                if (!DecodeMailboxName(folder.raw, id)) id = folder.raw;
                if (Upper(id) == "INBOX") id = "INBOX";
                folder.trash = Contains(flags, "\\trash");
                folder.system = id == "INBOX" || folder.trash;
                for (const char* use : {"\\sent", "\\drafts", "\\junk", "\\archive", "\\all", "\\flagged"})
                    folder.system = folder.system || Contains(flags, use);
                folders[id] = folder;
                return read;
            });
        if (!outcome.Ok()) return outcome;
        // Without a marked trash, one of the well-known names serves.
        if (std::none_of(folders.begin(), folders.end(), [](auto& f) { return f.second.trash; }))
            for (auto& [id, folder] : folders)
                if (TrashByName(id)) {
                    folder.trash = folder.system = true;
                    break;
                }
        folders_ = std::move(folders);
        return Success();
    }

    Outcome Find(const std::string& folderId, Folder& folder) {
        Outcome outcome = Ready();
        if (outcome.Ok() && !folders_.count(folderId)) outcome = LoadFolders();
        if (!outcome.Ok()) return outcome;
        if (!folders_.count(folderId) || folders_[folderId].hollow)
            return Failure(StoreCode::NotFound, "no folder " + folderId);
        folder = folders_[folderId];
        return Success();
    }

    // A folder that can take folders below it.
    Outcome Nestable(const std::string& folderId, Folder& folder) {
        Outcome outcome = Find(folderId, folder);
        if (outcome.Ok() && folder.delimiter == 0)
            return Failure(StoreCode::Refused, "this server cannot nest folders (it names no hierarchy delimiter)");
        return outcome;
    }

    // The delimiter of the top level: INBOX's, or any folder's when the server lists no INBOX.
    char TopDelimiter() {
        if (folders_.empty()) LoadFolders();
        if (folders_.count("INBOX")) return folders_["INBOX"].delimiter;
        return folders_.empty() ? 0 : folders_.begin()->second.delimiter;
    }

    // What the drive sees of a listed folder: its last level and the folder
    // above it (the nearest one that holds mail; levels of hollow ones in
    // between stay in the name, each delimiter shown as "／").
    FolderInfo InfoOf(const std::string& id, const Folder& folder) {
        FolderInfo info;
        info.id = id;
        info.system = folder.system;
        MailboxPath path = SplitMailboxPath(id, folder.delimiter);
        std::string name = path.leaf;
        for (auto above = folders_.find(path.parent);
             !path.parent.empty() && (above == folders_.end() || above->second.hollow);
             above = folders_.find(path.parent)) {
            const MailboxPath up = SplitMailboxPath(path.parent, folder.delimiter);
            name = up.leaf + folder.delimiter + name;
            path.parent = up.parent;
        }
        info.name = LevelOfName(name, folder.delimiter);
        info.parentId = path.parent;
        return info;
    }

    // True when `id` is `ancestor` or lies below it.
    static bool Within(const std::string& id, const std::string& ancestor, char delimiter) {
        return id == ancestor || (delimiter != 0 && id.size() > ancestor.size() &&
                                  id.compare(0, ancestor.size(), ancestor) == 0 && id[ancestor.size()] == delimiter);
    }

    // RENAME carries everything below the folder along; every id under the
    // old name is gone, so the cached folders and selection are dropped.
    Outcome Rename(const std::string& folderId, const Folder& folder, const std::string& raw) {
        if (Within(selected_, folderId, folder.delimiter)) selected_.clear();
        Outcome outcome = client_->Run(Command("RENAME").String(folder.raw).String(raw));
        folders_.clear();
        return outcome;
    }

    Outcome Trash(std::string& trash) {
        Outcome outcome = LoadFolders();
        for (auto& [id, folder] : folders_)
            if (folder.trash) return trash = id, outcome;
        if (outcome.Ok()) outcome = CreateFolder({}, "Trash", trash);
        return outcome;
    }

    Outcome Select(const std::string& folderId) {
        Folder folder;
        Outcome outcome = Find(folderId, folder);
        if (!outcome.Ok() || selected_ == folderId) return outcome;
        selected_.clear();
        client_->ForgetUidValidity();
        outcome = client_->Run(Command("SELECT").String(folder.raw));
        if (!outcome.Ok()) return outcome;
        const std::uint32_t validity = client_->UidValidity();
        if (validity == 0) return Failure(StoreCode::Corrupt, "the server gave no UIDVALIDITY for " + folderId);
        // A renumbered folder: nothing known about its mails holds any more.
        if (validity_.count(folderId) && validity_[folderId] != validity) structures_.clear();
        validity_[folderId] = validity;
        selected_ = folderId;
        return Success();
    }

    Outcome Selected(const MailRef& ref) {
        Outcome outcome = Select(ref.folder);
        if (outcome.Ok() && validity_[ref.folder] != ref.validity)
            return Failure(StoreCode::NotFound, "the server renumbered the mails of " + ref.folder + " since mail " +
                                                    MailIdOf(ref) + " was listed: list it again");
        return outcome;
    }

    Outcome Search(const Command& command, std::vector<std::uint32_t>& uids) {
        uids.clear();
        Outcome outcome = client_->Run(command, [&](const Untagged& head, ResponseReader& reader, bool& taken) {
            if (head.word != "SEARCH") return Success();
            taken = true;
            return ReadNumbers(reader, uids);
        });
        std::sort(uids.begin(), uids.end());
        uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
        return outcome;
    }

    // Each FETCH of the command that carries a UID, with its items.
    Outcome Fetch(const std::string& command,
                  const std::function<void(std::uint32_t, std::map<std::string, Value>&)>& each,
                  const SectionReader& section = {}) {
        return client_->Run(Command(command), [&](const Untagged& head, ResponseReader& reader, bool& taken) {
            if (head.word != "FETCH") return Success();
            taken = true;
            std::map<std::string, Value> items;
            Outcome read = ReadFetch(reader, items, section);
            std::uint64_t uid = 0;
            if (read.Ok() && items.count("UID") && ParseNumber(items["UID"].text, 0xffffffffu, uid))
                each(static_cast<std::uint32_t>(uid), items);
            return read;
        });
    }

    Outcome FetchOne(const MailRef& ref, const std::string& items,
                     const std::function<void(std::map<std::string, Value>&)>& got, const SectionReader& section = {}) {
        bool found = false;
        Outcome outcome = Fetch(
            "UID FETCH " + std::to_string(ref.uid) + " " + items,
            [&](std::uint32_t uid, std::map<std::string, Value>& fetched) {
                if (uid != ref.uid) return;
                found = true;
                got(fetched);
            },
            section);
        if (outcome.Ok() && !found) return Failure(StoreCode::NotFound, "no mail " + MailIdOf(ref));
        return outcome;
    }

    // The text body, when it is the mail's first part and came whole with
    // the listing (its size as sent within what was fetched).
    static void TakeListedText(std::map<std::string, Value>& items, MailInfo& mail) {
        MailStructure structure;
        auto text = items.find("BODY[1]<0>");
        if (text == items.end() || !items.count("BODYSTRUCTURE") ||
            !ReadStructure(items["BODYSTRUCTURE"], structure).Ok() || structure.text < 0)
            return;
        const BodyPart& part = structure.leaves[structure.text];
        if (part.section != "1" || part.octets >= kListedText || text->second.text.size() != part.octets) return;
        mail.textListed = DecodeText(part, text->second.text, mail.text);
        if (!mail.textListed) mail.text.clear();
    }

    // Listings (withTexts) also bring each mail's text body where it is short.
    Outcome Describe(const std::string& folderId, const std::vector<std::uint32_t>& uids, std::vector<MailInfo>& mails,
                     bool withTexts = false) {
        std::map<std::uint32_t, MailInfo> found;
        const std::size_t batch = std::max<std::size_t>(1, settings_.limits.fetchBatch);
        for (std::size_t at = 0; at < uids.size(); at += batch) {
            std::vector<std::uint32_t> part(uids.begin() + at, uids.begin() + std::min(uids.size(), at + batch));
            Outcome outcome =
                Fetch("UID FETCH " + UidSet(part) +
                          " (UID RFC822.SIZE INTERNALDATE ENVELOPE BODY.PEEK[HEADER.FIELDS (CONTENT-TYPE)]" +
                          (withTexts ? " BODYSTRUCTURE BODY.PEEK[1]<0." + std::to_string(kListedText) + ">)" : ")"),
                      [&](std::uint32_t uid, std::map<std::string, Value>& items) {
                          if (!items.count("ENVELOPE")) return;  // a flag change
                          MailInfo& mail = found[uid];
                          mail.id = MailIdOf({folderId, validity_[folderId], uid});
                          mail.folderId = folderId;
                          mail.subject = DecodeHeader(items["ENVELOPE"].At(1).text);
                          ParseNumber(items["RFC822.SIZE"].text, ~std::uint64_t(0) >> 2, mail.size);
                          ParseInternalDate(items["INTERNALDATE"].text, mail.receivedAt);
                          for (auto& [key, value] : items)
                              if (key.compare(0, 12, "BODY[HEADER.") == 0)
                                  mail.attached = Upper(value.text).find("MULTIPART/MIXED") != std::string::npos;
                          if (withTexts) TakeListedText(items, mail);
                      });
            if (!outcome.Ok()) return outcome;
        }
        for (auto& [uid, mail] : found)
            if (std::binary_search(uids.begin(), uids.end(), uid)) mails.push_back(std::move(mail));
        return Success();
    }

    Outcome Structure(const std::string& mailId, MailRef& ref, Cached& cached) {
        if (!ParseMailId(mailId, ref)) return Failure(StoreCode::NotFound, "no such mail: " + mailId);
        Outcome outcome = Selected(ref);
        if (!outcome.Ok()) return outcome;
        if (structures_.count(mailId)) return cached = structures_[mailId], Success();
        Outcome read = Failure(StoreCode::Corrupt, "no body structure for mail " + mailId);
        outcome = FetchOne(ref, "(UID BODYSTRUCTURE ENVELOPE)", [&](std::map<std::string, Value>& items) {
            cached.subject = DecodeHeader(items["ENVELOPE"].At(1).text);
            read = ReadStructure(items["BODYSTRUCTURE"], cached.structure);
        });
        if (outcome.Ok()) outcome = read;
        if (!outcome.Ok()) return outcome;
        if (structures_.size() >= kMaxCachedStructures) structures_.clear();
        structures_[mailId] = cached;
        return Success();
    }

    // An attachment's length once its transfer coding is undone: BINARY
    // tells it; else base64's comes from the part's two ends, so that only
    // a part in lines of uneven width (or quoted-printable) is read through
    // to count it.
    Outcome DecodedLength(const MailRef& ref, const BodyPart& part, std::uint64_t& length) {
        Coding coding = Coding::Identity;
        length = part.octets;
        if (!CodingOf(part.encoding, coding) || coding == Coding::Identity) return Success();
        Outcome outcome = Success();
        bool told = false;
        if (client_->Has("BINARY")) {
            outcome = FetchOne(ref, "(BINARY.SIZE[" + part.section + "])", [&](std::map<std::string, Value>& fetched) {
                for (auto& [key, value] : fetched)
                    if (key.compare(0, 12, "BINARY.SIZE[") == 0)
                        told = ParseNumber(value.text, ~std::uint64_t(0) >> 2, length);
            });
        } else if (coding == Coding::Base64 && part.octets > 2 * kEndSample) {
            const std::string section = "[" + part.section + "]<", from = std::to_string(part.octets - kEndSample);
            const std::string sample = "." + std::to_string(kEndSample) + ">";
            std::string head, tail;
            outcome =
                FetchOne(ref, "(BODY.PEEK" + section + "0" + sample + " BODY.PEEK" + section + from + sample + ")",
                         [&](std::map<std::string, Value>& fetched) {
                             head = fetched["BODY" + section + "0>"].text;
                             tail = fetched["BODY" + section + from + ">"].text;
                         });
            told = outcome.Ok() && Base64LengthFromEnds(part.octets, head, tail, length);
        }
        if (outcome.code == StoreCode::Refused) outcome = Success();
        if (!outcome.Ok() || told) return outcome;
        length = 0;
        return StreamSection(ref, part, [&](const char*, std::size_t size) { return length += size, true; });
    }

    // The part's bytes, decoded, to the sink. Its transfer coding is undone
    // here as it streams, even where the server offers BINARY: a server
    // decodes a whole part before it can announce the literal's length, so
    // the first byte would wait for the last (what BINARY saves on the wire
    // a fast link does not miss, and the decoding here is cheap).
    Outcome StreamSection(const MailRef& ref, const BodyPart& part, const catalog::ByteSink& sink) {
        Coding coding = Coding::Identity;
        if (!CodingOf(part.encoding, coding))
            return Failure(StoreCode::Corrupt, "an attachment in the unknown coding " + part.encoding);
        Decoder decoder(coding);
        bool stopped = false, bad = false;
        std::string decoded;
        auto feed = [&](const char* data, std::size_t size) {
            decoded.clear();
            if (!decoder.Feed(data, size, decoded)) return bad = true, false;
            return decoded.empty() || sink(decoded.data(), decoded.size()) || (stopped = true, false);
        };
        Outcome outcome = FetchOne(
            ref, "(UID BODY.PEEK[" + part.section + "])", [](std::map<std::string, Value>&) {},
            [&](ResponseReader& reader, const Token& token) {
                bool cut = false;
                if (token.kind == TokenKind::Quoted) return feed(token.text.data(), token.text.size()), Success();
                if (token.kind != TokenKind::Literal) return Success();  // NIL
                Outcome read = reader.LiteralStream(token.size, feed, cut);
                if (read.Ok() && (cut || stopped || bad))
                    return bad ? Failure(StoreCode::Corrupt, "the attachment is not valid " + part.encoding)
                               : Failure(StoreCode::Cancelled, "");
                return read;
            });
        decoded.clear();
        if (outcome.Ok() && !decoder.Finish(decoded)) return Failure(StoreCode::Corrupt, "the attachment ends garbled");
        if (outcome.Ok() && !decoded.empty() && !sink(decoded.data(), decoded.size()))
            return Failure(StoreCode::Cancelled, "");
        return outcome;
    }

    // Removes the mails marked \Deleted: only ours, with UIDPLUS; without it
    // only when no other mail is marked, else they stay marked (listings
    // leave them out).
    Outcome Expunge(const std::vector<std::uint32_t>& uids) {
        if (client_->Has("UIDPLUS")) return client_->Run(Command("UID EXPUNGE " + UidSet(uids)));
        std::vector<std::uint32_t> marked;
        Outcome outcome = Search(Command("UID SEARCH DELETED"), marked);
        if (outcome.Ok() && std::includes(uids.begin(), uids.end(), marked.begin(), marked.end()))
            outcome = client_->Run(Command("EXPUNGE"));
        return outcome;
    }

    Settings settings_;
    std::unique_ptr<Client> client_;
    std::map<std::string, Folder> folders_;
    std::map<std::string, std::uint32_t> validity_;  // the last UIDVALIDITY seen, per folder
    std::map<std::string, Cached> structures_;       // by mail id
    std::string selected_;
};

}  // namespace

Outcome OpenStore(const std::string& url, const std::string& account, const std::string& password,
                  const std::string& caFile, const StoreLimits& limits, std::unique_ptr<catalog::MailStore>& store) {
    Settings settings;
    settings.account = account;
    settings.password = password;
    settings.caFile = caFile;
    settings.limits = limits;
    std::string problem;
    if (!ParseServerUrl(url, settings.address, problem)) return Failure(StoreCode::Refused, problem);
    if (account.find_first_of(std::string("\r\n\0", 3)) != std::string::npos ||
        password.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return Failure(StoreCode::Refused, "an account or password holding a line break");
    auto imap = std::make_unique<ImapStore>(settings);
    Outcome outcome = imap->Ready();
    if (outcome.Ok()) store = std::move(imap);
    return outcome;
}

}  // namespace imap
