#include "webmail/page_fan.h"

#include <atomic>

#include "catalog/parts_pool.h"

namespace webmail {

namespace {

// The last `count` ids of `before` are the first `count` of `after`.
bool JoinsUp(const session::MessagePage& before, const session::MessagePage& after, std::size_t count) {
    if (before.messages.size() < count || after.messages.size() < count) return false;
    for (std::size_t i = 0; i < count; ++i)
        if (before.messages[before.messages.size() - count + i].id != after.messages[i].id) return false;
    return true;
}

}  // namespace

catalog::Outcome ReadPagesAtOnce(catalog::MailStore& store, unsigned connections, const PageSourceOn& sourceOn,
                                 const session::MessagePage& first, std::uint32_t limit,
                                 std::vector<session::MessagePage>& pages, bool& joined) {
    pages.clear();
    joined = false;
    if (limit <= kFanOverlap || !first.hasTotal || first.messages.size() != limit) return catalog::Success();
    const std::uint64_t step = limit - kFanOverlap;
    const std::uint64_t count = first.total <= limit ? 0 : (first.total - limit + step - 1) / step;
    pages.resize(count);
    std::atomic<bool> failed{false};
    std::vector<catalog::Unit> units;
    for (std::size_t at = 0; at < count; ++at)
        units.push_back({at, [&, at](catalog::MailStore& reader, const catalog::Moved&, const platform::StopToken&) {
                             // After one failure the listing fails: the other pages are not read.
                             if (failed) return catalog::Success();
                             catalog::Outcome read = sourceOn(reader)((at + 1) * step, limit, pages[at]);
                             if (!read.Ok()) failed = true;
                             return read;
                         }});
    const catalog::ProgressCallback quiet;
    catalog::Pool pool(catalog::TransferProgress::Phase::Receiving, 0, 0, quiet, {});
    std::vector<catalog::Outcome> failures(units.size());
    pool.Run(store, connections, units, failures);
    catalog::Outcome outcome = catalog::FirstFailure(failures);
    if (!outcome.Ok()) return outcome;

    joined = true;
    const session::MessagePage* before = &first;
    for (const session::MessagePage& page : pages) {
        const bool last = &page == &pages.back();
        joined = joined && page.hasTotal && page.total == first.total && JoinsUp(*before, page, kFanOverlap) &&
                 (last ? step * pages.size() + page.messages.size() == first.total : page.messages.size() == limit);
        before = &page;
    }
    return catalog::Success();
}

}  // namespace webmail
