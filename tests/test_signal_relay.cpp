// SIGINT reaches the main loop through the relay, once, whenever it comes.
#include "main_loop.h"
#include "signal_relay.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

SignalRelay* g_relay = nullptr;

void relayHandler(int)
{
    g_relay->notify();
}

}  // namespace

TEST(SignalRelay, ABurstOfSignalsRunsTheSlotOnceOnTheMainLoop)
{
    SignalRelay relay;
    g_relay = &relay;
    auto previous = std::signal(SIGINT, relayHandler);

    // Signals that come before anyone listens are kept.
    std::raise(SIGINT);
    std::raise(SIGINT);
    int runs = 0;
    sigc::connection connection = relay.connect([&] { ++runs; });
    EXPECT_EQ(runs, 0) << "the slot must run from the main loop, not from connect";

    EXPECT_TRUE(runUntil([&] { return runs > 0; }));
    for (int i = 0; i < 1000; ++i)
        std::raise(SIGINT);
    drainEvents();
    drainEvents();
    EXPECT_EQ(runs, 1);

    connection.disconnect();
    std::signal(SIGINT, previous);
}

TEST(SignalRelay, NotifyKeepsErrno)
{
    SignalRelay relay;
    errno = EINTR;
    relay.notify();
    EXPECT_EQ(errno, EINTR);
}
