// Storing a file written through a drive, exactly once however often the
// drive is stopped in the middle: the upload id is written to the journal
// before the first part leaves, and every attempt first looks for the parts
// an earlier one stored (in the folder, and in the inbox where a delivered
// mail may still wait to be moved), keeps them and sends only the rest.
// It is the put's engine (put_resume, parts_pool) with the journal as the
// record of upload ids: one upload driver for every front end.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalog/journal.h"
#include "catalog/upload.h"

namespace catalog {

struct StoredFile {
    catalog::UploadPlan plan;
    std::vector<std::string> mailIds;  // by part number
};

// Runs work on a store (the drive's pool gives each call a connection of
// its own; a test runs it on one store).
using StoreRunner = std::function<catalog::Outcome(const std::function<catalog::Outcome(catalog::MailStore&)>& work)>;

// `pending` gains its upload id (saved in the journal) on the first
// attempt. The parts not stored yet go `parallel` at a time. keepGoing is
// asked between parts and while they are sent. `form`, when given, is the
// form the journal's copy is stored in (a vault's: sealed as each part is
// sent, alike at every attempt, so no sealed copy is kept).
catalog::Outcome StoreOnce(const StoreRunner& run, Journal& journal, PendingStore& pending, std::uint64_t partSize,
                           const std::function<bool()>& keepGoing, unsigned parallel, StoredFile& stored,
                           const StoredFormOf& form = {});

}  // namespace catalog
