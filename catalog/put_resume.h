// Resume of a put: parts an earlier, interrupted run stored are found by
// their manifests (same name, same whole-file SHA-256, same part layout)
// in the target folder, or in the inbox when their mail arrived but was
// never moved; those are kept (inbox ones moved) and only the rest is
// sent, under the earlier run's upload id so that all parts group as one
// file. A file already stored whole in the folder is not stored again.
//
// Anyone can mail the account a look-alike part, and it lands in the inbox.
// So a part is kept only when it is provably ours: it sits in the target
// folder (only the account's owner files mail there), its upload id is in
// the local record (upload_record.h), or its attachment was fetched and
// matched the part's SHA-256. Any other part is sent again, and the
// look-alike is left where it is; an upload with one look-alike among its
// parts is not continued at all (its id is known to a stranger).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/upload.h"
#include "catalog/upload_record.h"

namespace catalog {

struct PutJob {
    UploadPlan plan;
    std::vector<std::string> mailIds;  // by part number - 1; empty until stored
    bool planned = false;
};

struct EarlierParts {
    std::uint32_t kept = 0;        // parts taken from earlier runs
    std::uint32_t lookAlikes = 0;  // parts found whose bytes did not check out
};

// Fills job.mailIds with the parts an earlier run stored and gives the plan
// that run's upload id and time. `record` may be null.
Outcome TakeEarlierParts(MailStore& store, const std::string& folderId, UploadRecord* record, PutJob& job,
                         EarlierParts& found);

}  // namespace catalog
