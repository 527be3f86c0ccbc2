// The Select/Open, Clear and Reset controls against a fake pad: every state
// change, the calls each makes into the pad library, and the texts shown.
#include "fake_pad.h"
#include "frame_probe.h"
#include "main_loop.h"
#include "myvector.h"

#include <gtest/gtest.h>
#include <glibmm/main.h>
#include <gtkmm/main.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

struct PadControl : testing::Test {
    FakePad pad;
    std::unique_ptr<FrameProbe> frame;

    void SetUp() override { myvector.clear(); }

    void build()
    {
        frame = std::make_unique<FrameProbe>(&pad);
        pad.takeCalls();
    }

    void expectStartState(const std::string& countText)
    {
        EXPECT_EQ(frame->btnSelect.get_label(), "Select");
        EXPECT_TRUE(frame->btnSelect.get_sensitive());
        EXPECT_TRUE(frame->comboProvider.get_sensitive());
        EXPECT_FALSE(frame->btnClear.get_sensitive());
        EXPECT_FALSE(frame->btnReset.get_sensitive());
        EXPECT_FALSE(frame->lblSize.get_visible());
        EXPECT_EQ(frame->lblCount.get_text(), countText);
        EXPECT_FALSE(frame->bSelected);
        EXPECT_FALSE(frame->bOpened);
    }

    void selectProvider()
    {
        click(frame->btnSelect);
        ASSERT_EQ(frame->btnSelect.get_label(), "Open");
        pad.takeCalls();
    }

    void openDevice()
    {
        selectProvider();
        click(frame->btnSelect);
        ASSERT_TRUE(frame->bOpened);
        pad.takeCalls();
    }

    // Runs the exit sequence in a running main loop; returns the pad calls.
    Calls exitCalls()
    {
        EXPECT_TRUE(runUntilQuit([this] { frame->onExitClicked(nullptr); }))
            << "the exit sequence did not quit the main loop";
        return pad.takeCalls();
    }
};

}  // namespace

TEST_F(PadControl, SelectShowsTheDeviceCountAndOffersOpen)
{
    pad.deviceCount = 3;
    build();
    click(frame->btnSelect);

    EXPECT_EQ(pad.takeCalls(), (Calls{"GetProviderId(0)", "SelectProvider(A1)", "GetDeviceCount"}));
    EXPECT_EQ(frame->lblCount.get_text(), "number of device:  3");
    EXPECT_EQ(frame->btnSelect.get_label(), "Open");
    EXPECT_TRUE(frame->btnSelect.get_sensitive());
    EXPECT_TRUE(frame->btnReset.get_sensitive());
    EXPECT_FALSE(frame->btnClear.get_sensitive());
    EXPECT_FALSE(frame->comboProvider.get_sensitive());
    EXPECT_TRUE(frame->bSelected);
    EXPECT_FALSE(frame->bOpened);
    EXPECT_EQ(exitCalls(), Calls{"ReleaseProvider"});
}

TEST_F(PadControl, SelectUsesTheChosenRowAndFillsBothCountPlaces)
{
    pad.deviceCount = 12;
    build();
    frame->comboProvider.set_active(1);
    click(frame->btnSelect);

    EXPECT_EQ(pad.takeCalls(), (Calls{"GetProviderId(1)", "SelectProvider(B2)", "GetDeviceCount"}));
    EXPECT_EQ(frame->lblCount.get_text(), "number of device: 12");
}

TEST_F(PadControl, FailedSelectReleasesAndChangesNothing)
{
    pad.selectResult = false;
    build();
    click(frame->btnSelect);

    EXPECT_EQ(pad.takeCalls(),
              (Calls{"GetProviderId(0)", "SelectProvider(A1)", "ReleaseProvider"}));
    expectStartState("number of device: __ ");
    EXPECT_TRUE(exitCalls().empty());
}

TEST_F(PadControl, NoDevicesChangeNothingAndDoNotRelease)
{
    for (short count : {short{0}, short{-1}}) {
        pad.deviceCount = count;
        build();
        click(frame->btnSelect);

        EXPECT_EQ(pad.takeCalls(),
                  (Calls{"GetProviderId(0)", "SelectProvider(A1)", "GetDeviceCount"}));
        expectStartState("number of device: __ ");
        // The window never took the provider, so leaving does not release it.
        EXPECT_TRUE(exitCalls().empty());
    }
}

TEST_F(PadControl, SelectWithAnEmptyListAsksForProviderMinusOne)
{
    pad.providers.clear();
    pad.selectResult = false;
    build();
    click(frame->btnSelect);

    EXPECT_EQ(pad.takeCalls(),
              (Calls{"GetProviderId(-1)", "SelectProvider(null)", "ReleaseProvider"}));
}

TEST_F(PadControl, OpenShowsTheSizeTheFramedCanvasAndItsRange)
{
    pad.minX = 10;
    pad.minY = 20;
    pad.maxX = 9500;
    pad.maxY = 5410;
    build();
    selectProvider();
    click(frame->btnSelect);

    EXPECT_EQ(pad.takeCalls(),
              (Calls{"SetDataCallback", "Open", "GetWidthInches", "GetHeightInches", "GetMinX",
                     "GetMinY", "GetMaxX", "GetMaxY"}));
    EXPECT_EQ(pad.callback, &MainFrame::PenDataHandler);
    EXPECT_EQ(frame->lblSize.get_text(), "Device is 3.74 inches by 2.13 inches");
    EXPECT_TRUE(frame->lblSize.get_visible());
    EXPECT_TRUE(frame->drawArea.get_visible());
    EXPECT_TRUE(frame->drawArea.bDrawFrame);
    EXPECT_EQ(frame->drawArea.minX, 10);
    EXPECT_EQ(frame->drawArea.minY, 20);
    EXPECT_EQ(frame->drawArea.maxX, 9500);
    EXPECT_EQ(frame->drawArea.maxY, 5410);
    EXPECT_TRUE(frame->btnClear.get_sensitive());
    EXPECT_TRUE(frame->btnReset.get_sensitive());
    EXPECT_FALSE(frame->btnSelect.get_sensitive());
    EXPECT_EQ(frame->btnSelect.get_label(), "Open");
    EXPECT_TRUE(frame->bOpened);
    EXPECT_TRUE(frame->bSelected);

    // Samples from the library now reach the store.
    pad.callback(100, 200, 300, 1, 0, 0, 0, 7);
    EXPECT_EQ(myvector.size(), 1u);

    EXPECT_EQ(exitCalls(), (Calls{"Close", "ReleaseProvider"}));
}

TEST_F(PadControl, SizeLineNeverOverrunsWhateverTheSize)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double w, h;
        std::string expected;  // empty: only checked for length
    };
    const Case cases[] = {
        {-1.5, 0.0, "Device is -1.50 inches by 0.00 inches"},
        {nan, inf, "Device is NAN inches by INF inches"},
        {1e300, 1e300, ""},
        {-std::numeric_limits<double>::max(), 2.0, ""},
    };
    for (const Case& c : cases) {
        pad.widthInches = c.w;
        pad.heightInches = c.h;
        build();
        openDevice();
        const std::string line = frame->lblSize.get_text();
        EXPECT_LE(line.size(), 99u);
        EXPECT_EQ(line.rfind("Device is ", 0), 0u);
        if (!c.expected.empty()) {
            EXPECT_EQ(line, c.expected);
        }
        EXPECT_EQ(exitCalls(), (Calls{"Close", "ReleaseProvider"}));
    }
}

TEST_F(PadControl, FailedOpenReturnsToSelectWithTheListAtRowZero)
{
    pad.openResult = false;
    build();
    frame->comboProvider.set_active(1);
    selectProvider();

    testing::internal::CaptureStdout();
    click(frame->btnSelect);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "current selection : {A1}-Pen, index = 0\n");

    EXPECT_EQ(pad.takeCalls(), (Calls{"SetDataCallback", "Open", "ReleaseProvider"}));
    EXPECT_EQ(frame->comboProvider.get_active_row_number(), 0);
    EXPECT_FALSE(frame->comboProvider.get_sensitive());
    EXPECT_EQ(frame->btnSelect.get_label(), "Select");
    EXPECT_TRUE(frame->btnSelect.get_sensitive());
    EXPECT_FALSE(frame->btnReset.get_sensitive());
    EXPECT_FALSE(frame->bSelected);
    EXPECT_EQ(frame->lblCount.get_text(), "number of device:  1");
    EXPECT_TRUE(exitCalls().empty());

    // With the list locked at row 0, the next Select takes provider 0.
    click(frame->btnSelect);
    EXPECT_EQ(pad.takeCalls(), (Calls{"GetProviderId(0)", "SelectProvider(A1)", "GetDeviceCount"}));
}

TEST_F(PadControl, FailedOpenAtRowZeroPrintsNothing)
{
    pad.openResult = false;
    build();
    selectProvider();
    testing::internal::CaptureStdout();
    click(frame->btnSelect);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(PadControl, ClearEmptiesTheStoreAndKeepsTheDeviceOpen)
{
    build();
    openDevice();
    pad.callback(1, 2, 3, 1, 0, 0, 0, 0);
    pad.callback(4, 5, 6, 0, 0, 0, 0, 1);
    ASSERT_EQ(myvector.size(), 2u);

    click(frame->btnClear);
    EXPECT_EQ(myvector.size(), 0u);
    EXPECT_TRUE(pad.takeCalls().empty());
    EXPECT_TRUE(frame->bOpened);
    EXPECT_TRUE(frame->btnClear.get_sensitive());

    pad.callback(7, 8, 9, 1, 0, 0, 0, 2);
    EXPECT_EQ(myvector.size(), 1u);
}

TEST_F(PadControl, ResetFromProviderSelectedOnlyReleases)
{
    build();
    frame->comboProvider.set_active(1);
    selectProvider();

    testing::internal::CaptureStdout();
    click(frame->btnReset);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "current selection : {A1}-Pen, index = 0\n");

    EXPECT_EQ(pad.takeCalls(), Calls{"ReleaseProvider"});
    expectStartState("number of device: __");
    EXPECT_EQ(frame->comboProvider.get_active_row_number(), 0);
    EXPECT_FALSE(frame->drawArea.get_visible());
    EXPECT_TRUE(exitCalls().empty());
}

TEST_F(PadControl, ResetFromDeviceOpenClosesReleasesAndHidesTheCanvas)
{
    build();
    openDevice();
    pad.callback(1, 2, 3, 1, 0, 0, 0, 0);

    testing::internal::CaptureStdout();
    click(frame->btnReset);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    EXPECT_EQ(pad.takeCalls(), (Calls{"Close", "ReleaseProvider"}));
    expectStartState("number of device: __");
    EXPECT_FALSE(frame->drawArea.get_visible());
    EXPECT_FALSE(frame->drawArea.bDrawFrame);
    EXPECT_EQ(myvector.size(), 0u);
    EXPECT_TRUE(exitCalls().empty());
}

TEST_F(PadControl, AfterResetOnlyASuccessfulOpenShowsTheCanvasAgain)
{
    build();
    openDevice();
    click(frame->btnReset);

    pad.openResult = false;
    selectProvider();
    click(frame->btnSelect);
    EXPECT_FALSE(frame->drawArea.get_visible());

    pad.openResult = true;
    openDevice();
    EXPECT_TRUE(frame->drawArea.get_visible());
    EXPECT_TRUE(frame->drawArea.bDrawFrame);
}

TEST_F(PadControl, AnUnknownButtonLabelIsLoggedAndChangesNothing)
{
    build();
    frame->btnSelect.set_label("Bogus");
    testing::internal::CaptureStdout();
    click(frame->btnSelect);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "text  Bogus unknown state\n");
    EXPECT_TRUE(pad.takeCalls().empty());
    EXPECT_FALSE(frame->bSelected);
}
