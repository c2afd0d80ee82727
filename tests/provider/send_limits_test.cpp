#include "send_limits.h"

#include <gtest/gtest.h>

namespace provider {
namespace {

TEST(SendLimiter, CountsTakenDeliveriesPerAccountWithinEachWindow) {
    SendLimiter limiter(SendLimits{2, 10, 3});
    const std::int64_t day = 24LL * 3600 * 1000;
    EXPECT_EQ(limiter.Take("a", 0), Fault::None);
    EXPECT_EQ(limiter.Take("a", 9999), Fault::None);
    EXPECT_EQ(limiter.Take("a", 9999), Fault::ShortSendQuota);  // refused ones do not count
    EXPECT_EQ(limiter.Take("b", 9999), Fault::None);            // another account
    EXPECT_EQ(limiter.Take("a", 10000), Fault::None);           // the first left the short window
    EXPECT_EQ(limiter.Take("a", 30000), Fault::DailySendQuota);
    EXPECT_EQ(limiter.Take("a", day - 1), Fault::DailySendQuota);
    EXPECT_EQ(limiter.Take("a", day), Fault::None);
    EXPECT_STREQ(FaultCode(Fault::DailySendQuota), "FA_MTA_REJECTED5520");
}

}  // namespace
}  // namespace provider
