// The window with our real pad library delivering samples at a very high
// rate, driven through its buttons while the main loop runs: the store must
// hold an unbroken run of samples after every Clear, the canvas must keep
// drawing, and Reset must stop the flow for good.
#include "frame_probe.h"
#include "main_loop.h"
#include "myvector.h"

#include <VellixTablet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

using namespace std::chrono_literals;

// Samples a second: far above a real pad, so that the library's thread
// appends while the GUI thread clears and draws.
constexpr const char* kRate = "50000";

// Checks that the stored records' sample numbers run on by one (mod 256)
// from the first to the last; returns how many records were checked. The
// library's thread may append meanwhile, so only a snapshot's worth is read.
std::size_t expectUnbroken(const std::string& when)
{
    const std::size_t n = myvector.size();
    tagDATA_REPORT previous{};
    for (std::size_t i = 0; i < n; ++i) {
        tagDATA_REPORT r{};
        EXPECT_TRUE(myvector.try_get(i, r)) << when << ": record " << i << " of " << n;
        if (i > 0 && r.eighthLow != static_cast<std::uint8_t>(previous.eighthLow + 1)) {
            ADD_FAILURE() << when << ": sample number " << int(r.eighthLow) << " at record " << i
                          << " follows " << int(previous.eighthLow) << " (" << n << " records)";
            return n;
        }
        previous = r;
    }
    return n;
}

std::uint8_t firstSampleNumber()
{
    tagDATA_REPORT r{};
    EXPECT_TRUE(myvector.try_get(0, r));
    return r.eighthLow;
}

struct HighRateWindow : testing::Test {
    std::unique_ptr<VellixTablet> pad;
    std::unique_ptr<FrameProbe> frame;
    int draws = 0;

    void SetUp() override
    {
        // The library reads its settings when the object is made.
        setenv("VELLIX_SIM_RATE", kRate, 1);
        pad = std::make_unique<VellixTablet>();
        frame = std::make_unique<FrameProbe>(pad.get());
        // Counts the canvas's draws; returning false lets the canvas draw.
        frame->drawArea.signal_draw().connect(
            [this](const Cairo::RefPtr<Cairo::Context>&) {
                ++draws;
                return false;
            },
            false);
        frame->show();
        ASSERT_TRUE(runUntil([this] { return draws > 0; })) << "the window never drew its canvas";
    }

    void TearDown() override
    {
        // The exit sequence without its quit: close and release if open.
        if (frame && frame->btnReset.is_sensitive())
            frame->btnReset.clicked();
        frame.reset();
        pad.reset();
        unsetenv("VELLIX_SIM_RATE");
    }

    void selectAndOpen()
    {
        click(frame->btnSelect);
        ASSERT_EQ(frame->btnSelect.get_label(), "Open");
        click(frame->btnSelect);
        ASSERT_TRUE(frame->bOpened) << "our library did not open";
    }

    // Runs the main loop until the store holds at least n records.
    void fillTo(std::size_t n)
    {
        ASSERT_TRUE(runUntil([n] { return myvector.size() >= n; }, 5s))
            << "only " << myvector.size() << " records arrived";
    }

    // Runs the main loop until the canvas has drawn again.
    void expectRedrawn(const std::string& when)
    {
        const int before = draws;
        EXPECT_TRUE(runUntil([&] { return draws > before; }, 5s))
            << "the canvas stopped drawing " << when;
    }
};

TEST_F(HighRateWindow, EveryClearLeavesAnUnbrokenRunAndTheCanvasKeepsDrawing)
{
    selectAndOpen();
    fillTo(5000);
    // Open restarts the library's count, and nothing came before it.
    EXPECT_EQ(int{firstSampleNumber()}, 0);
    expectUnbroken("before any Clear");

    for (int round = 1; round <= 6; ++round) {
        const std::string when = "after Clear " + std::to_string(round);
        const std::size_t before = myvector.size();
        click(frame->btnClear);
        // Only what arrived since the click can be there.
        EXPECT_LT(myvector.size(), before / 2) << when;
        // A Clear from the GUI thread cannot race a half-written record: the
        // store is whole and the samples after it run on.
        fillTo(3000);
        expectRedrawn(when);
        EXPECT_GE(expectUnbroken(when), 3000u);
        EXPECT_TRUE(frame->bOpened);
    }
}

TEST_F(HighRateWindow, ResetStopsTheFlowAndReopeningStartsAFreshRun)
{
    for (int cycle = 1; cycle <= 3; ++cycle) {
        const std::string when = "in open " + std::to_string(cycle);
        selectAndOpen();
        fillTo(3000);
        expectRedrawn(when);
        // No sample of the previous open is left over or arrives late.
        EXPECT_EQ(int{firstSampleNumber()}, 0) << when;
        expectUnbroken(when);

        click(frame->btnReset);
        EXPECT_EQ(myvector.size(), 0u) << "Reset left records behind " << when;
        EXPECT_FALSE(frame->drawArea.get_visible());
        // Many sample periods, with the main loop running: nothing arrives.
        EXPECT_FALSE(runUntil([] { return myvector.size() > 0; }, 300ms))
            << myvector.size() << " records arrived after Reset " << when;
        EXPECT_EQ(frame->btnSelect.get_label(), "Select");
    }
}

}  // namespace
