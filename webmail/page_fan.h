// A long listing's pages read on several connections at once. Every page
// starts a few mails before the end of the one before it, so that the
// pages prove they join up: when the folder changed while they were read
// (a mail arrived or left and the pages shifted), they do not, and the
// caller pages one at a time instead (ReadEveryPage).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "webmail/webmail_store.h"

namespace webmail {

// Mails each page shares with the page before it.
constexpr std::uint32_t kFanOverlap = 8;

// A page source reading on the given store (one of the parts engine's workers).
using PageSourceOn = std::function<PageSource(catalog::MailStore& store)>;

// The pages after `first`, which holds `limit` mails and the folder's
// total, read at once on the parts engine: `store` and up to `connections`
// - 1 forks of it, each page on whichever worker takes it. On Ok, `joined`
// says whether the pages join up and end at the total; the mails of all
// pages, each once, are then `first`'s, then each page's after its
// overlap. Any failed page ends the call with its outcome.
catalog::Outcome ReadPagesAtOnce(catalog::MailStore& store, unsigned connections, const PageSourceOn& sourceOn,
                                 const session::MessagePage& first, std::uint32_t limit,
                                 std::vector<session::MessagePage>& pages, bool& joined);

}  // namespace webmail
