// The --listen address: what is taken, what is refused, and what counts as this machine only.
#include <gtest/gtest.h>

#include "tools/command.h"
#include "tools/serve/web_server.h"

namespace vexacam_serve_test {
namespace {

using vexacam::tools::CommandFailure;
using vexacam::tools::IsLoopback;
using vexacam::tools::ParseListenAddress;

TEST(ListenAddress, TakesHostAndPort) {
    struct Case {
        const char* Text;
        const char* Host;
        int Port;
    } cases[] = {
        {"127.0.0.1:8570", "127.0.0.1", 8570},
        {"0.0.0.0:80", "0.0.0.0", 80},
        {"[::1]:9000", "::1", 9000},
        {"localhost:0", "localhost", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        const auto address = ParseListenAddress(c.Text);
        EXPECT_EQ(address.Host, c.Host);
        EXPECT_EQ(address.Port, c.Port);
    }
}

TEST(ListenAddress, RefusesBadText) {
    const char* cases[] = {
        "8570",             // no host
        ":8570",            // empty host
        "127.0.0.1:",       // empty port
        "127.0.0.1:65536",  // past the last port
        "127.0.0.1:-1",     // negative
        "127.0.0.1:+80",    // signed
        "127.0.0.1:80x",    // junk after the number
        "127.0.0.1:999999999999",  // overflow
    };
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        try {
            ParseListenAddress(text);
            ADD_FAILURE() << "taken";
        } catch (const CommandFailure& failure) {
            EXPECT_EQ(failure.Status(), vexacam::tools::kUsageError);
        }
    }
}

TEST(ListenAddress, OnlyLoopbackCountsAsThisMachineOnly) {
    EXPECT_TRUE(IsLoopback("127.0.0.1"));
    EXPECT_TRUE(IsLoopback("127.1.2.3"));
    EXPECT_TRUE(IsLoopback("::1"));
    EXPECT_TRUE(IsLoopback("localhost"));
    EXPECT_FALSE(IsLoopback("0.0.0.0"));     // every address
    EXPECT_FALSE(IsLoopback("::"));
    EXPECT_FALSE(IsLoopback("192.168.1.10"));
    EXPECT_FALSE(IsLoopback("128.0.0.1"));
    EXPECT_FALSE(IsLoopback("127.0.0.1.example"));
}

}  // namespace
}  // namespace vexacam_serve_test
