#include <gtest/gtest.h>

#include "updater/core/network_report.h"

namespace qlx::updater {
namespace {

TEST(NetworkReportTest, LinesAreTheReportsOwn) {
    EXPECT_EQ(UnknownHostLine("nowhere.invalid"), "nowhere.invalid: unknown host");
    EXPECT_EQ(EchoReplyLine("127.0.0.1", 0, "127.0.0.1", 3),
              "Pinging 127.0.0.1: response code 0 from 127.0.0.1 after 3 "
              "milliseconds.\r\n");
    EXPECT_EQ(QuotingReplyLine("127.0.0.1", 11, "127.0.0.2", 64, 12),
              "Pinging 127.0.0.1: response code 11 from 127.0.0.2, TTL=64, after 12 "
              "milliseconds.\r\n");
    EXPECT_EQ(ReceiveTimedOutLine("127.0.0.1"), "Pinging 127.0.0.1: operation timed out.\r\n");
    EXPECT_EQ(RequestTimedOutLine("127.0.0.1"), "127.0.0.1: request timed out.\r\n");
}

TEST(NetworkReportTest, EachHostGetsFourAttempts) {
    PingSchedule schedule(2);
    int again = 0;
    while (schedule.AttemptEnded(0)) {
        ++again;
    }
    EXPECT_EQ(again, 3); // four attempts in all: the first and three more
    EXPECT_FALSE(schedule.Active(0));
    EXPECT_FALSE(schedule.Done());
    schedule.Drop(1); // a host whose socket could not be set up
    EXPECT_TRUE(schedule.Done());
    EXPECT_FALSE(schedule.AttemptEnded(1));
}

} // namespace
} // namespace qlx::updater
