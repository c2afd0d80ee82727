// The connection budget: a lost connection is dropped and replaced, and the
// stores work gets fork within the pool's budget instead of opening more.
#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "catalog/store_pool.h"
#include "memory_store.h"

namespace {

using catalog::StoreCode;

// A store that can fork, counting how many exist at once.
struct Connections {
    int live = 0, most = 0, forks = 0;
};

class CountedStore : public testsupport::MemoryStore {
public:
    explicit CountedStore(Connections& count) : count_(count) { count_.most = std::max(count_.most, ++count_.live); }
    ~CountedStore() override { --count_.live; }
    catalog::Outcome Fork(std::unique_ptr<catalog::MailStore>& fork) override {
        ++count_.forks;
        fork = std::make_unique<CountedStore>(count_);
        return {};
    }

private:
    Connections& count_;
};

TEST(StorePool, ALostConnectionIsDroppedAndTheWorkRunsOnceMoreOnANewOne) {
    int opened = 0, runs = 0;
    catalog::StorePool pool(std::make_unique<testsupport::MemoryStore>(), 4, [&](auto& store) {
        ++opened;
        store = std::make_unique<testsupport::MemoryStore>();
        return catalog::Outcome{};
    });
    auto failing = [&](StoreCode code) {
        return [&runs, code](catalog::MailStore&) {
            return ++runs == 1 ? catalog::Failure(code, "") : catalog::Outcome{};
        };
    };
    EXPECT_TRUE(pool.Run(failing(StoreCode::Broken)).Ok());
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(opened, 1);
    runs = 0;
    EXPECT_EQ(pool.Run(failing(StoreCode::TimedOut), false).code, StoreCode::TimedOut);  // a store is not sent twice
    EXPECT_EQ(runs, 1);
    runs = 0;
    EXPECT_EQ(pool.Run(failing(StoreCode::Refused)).code, StoreCode::Refused);  // refusals are the answer
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(opened, 2);  // the store dropped after the time-out was replaced
    runs = 0;
    auto breaks = [&](catalog::MailStore&) { return ++runs, catalog::Failure(StoreCode::Broken, ""); };
    EXPECT_EQ(pool.Run(breaks).code, StoreCode::Broken) << "a connection that breaks again ends the work";
    EXPECT_EQ(runs, 2);
}

TEST(StorePool, ForksOfTheWorksStoreStayWithinTheBudgetAndComeBack) {
    // budget, forks asked inside one run, forks granted
    const std::tuple<unsigned, int, int> cases[] = {{1, 3, 0}, {2, 3, 1}, {4, 3, 3}, {4, 8, 3}};
    for (const auto& [budget, asked, granted] : cases) {
        Connections count;
        catalog::StorePool pool(std::make_unique<CountedStore>(count), budget);
        // The second run finds the leases given back, and forks as a lent
        // store's own inner work does: through the lease in front of it.
        for (int run = 0; run < 2; ++run) {
            int got = 0;
            ASSERT_TRUE(pool.Run([&, asked = asked](catalog::MailStore& store) {
                                std::vector<std::unique_ptr<catalog::MailStore>> forks;
                                for (int i = 0; i < asked; ++i) {
                                    std::unique_ptr<catalog::MailStore> fork;
                                    catalog::Outcome outcome =
                                        run == 0 ? store.Fork(fork) : store.Lent().ForkSource().Fork(fork);
                                    if (!outcome.Ok()) continue;
                                    ++got;
                                    forks.push_back(std::move(fork));
                                }
                                return catalog::Outcome{};
                            })
                            .Ok());
            EXPECT_EQ(got, granted) << "budget " << budget << ", run " << run;
        }
        EXPECT_LE(count.most, static_cast<int>(budget)) << "connections beyond the budget";
        EXPECT_LE(pool.Made(), budget);
    }
}

}  // namespace
