// Storing a file written through the mount, exactly once however often the
// mount is stopped in the middle: the upload id is written to the journal
// before the first part leaves, and every attempt first looks for the parts
// an earlier one stored (in the folder, and in the inbox where a delivered
// mail may still wait to be moved), keeps them and sends only the rest.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "catalog/upload.h"
#include "mount/journal.h"

namespace mount {

struct StoredFile {
    catalog::UploadPlan plan;
    std::vector<std::string> mailIds;  // by part number
};

// `pending` gains its upload id (saved in the journal) on the first
// attempt. keepGoing is asked between parts and while they are sent.
catalog::Outcome StoreOnce(catalog::MailStore& store, Journal& journal, PendingStore& pending,
                           std::uint64_t partSize, const std::function<bool()>& keepGoing, StoredFile& stored);

}  // namespace mount
