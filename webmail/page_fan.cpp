#include "webmail/page_fan.h"

#include <atomic>
#include <mutex>
#include <thread>

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

catalog::Outcome ReadPagesAtOnce(const std::vector<PageSource>& sources, const session::MessagePage& first,
                                 std::uint32_t limit, std::vector<session::MessagePage>& pages, bool& joined) {
    pages.clear();
    joined = false;
    if (sources.empty() || limit <= kFanOverlap || !first.hasTotal || first.messages.size() != limit)
        return catalog::Success();
    const std::uint64_t step = limit - kFanOverlap;
    const std::uint64_t count = first.total <= limit ? 0 : (first.total - limit + step - 1) / step;
    pages.resize(count);
    std::atomic<std::uint64_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex lock;  // guards `outcome`
    catalog::Outcome outcome = catalog::Success();
    auto work = [&](const PageSource& source) {
        for (std::uint64_t at = next++; at < count && !failed; at = next++) {
            catalog::Outcome read = source((at + 1) * step, limit, pages[at]);
            if (read.Ok()) continue;
            std::lock_guard<std::mutex> hold(lock);
            if (!failed.exchange(true)) outcome = read;
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < sources.size() && i < count; ++i) threads.emplace_back(work, std::cref(sources[i]));
    work(sources.front());
    for (std::thread& thread : threads) thread.join();
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
