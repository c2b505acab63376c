#include "app/SignalBridge.h"

#include <gtest/gtest.h>

#include <QTest>
#include <csignal>
#include <vector>

namespace vespin::ui {
namespace {

TEST(SignalBridgeTest, EachEndingSignalArrivesLaterOnTheMainThread) {
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    std::vector<int> seen;
    {
      SignalBridge bridge([&](int s) { seen.push_back(s); });
      std::raise(sig);
      // Nothing runs inside the handler: the call comes from the event loop.
      EXPECT_TRUE(seen.empty()) << sig;
      EXPECT_TRUE(QTest::qWaitFor([&] { return !seen.empty(); }, 5000)) << sig;
    }
    EXPECT_EQ(seen, std::vector<int>{sig});
    // Gone with the bridge: the handler before it is back.
    struct sigaction now {};
    sigaction(sig, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL) << sig;
  }
}

}  // namespace
}  // namespace vespin::ui
