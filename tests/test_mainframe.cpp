// The main window against a fake pad: construction, the provider list, the
// provider-selection line and the exit sequence.
#include "fake_pad.h"
#include "frame_probe.h"
#include "main_loop.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <glibmm/main.h>
#include <gtkmm/main.h>

#include <clocale>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

struct Attach {
    int left, top, width, height;
    bool operator==(const Attach& o) const
    {
        return left == o.left && top == o.top && width == o.width && height == o.height;
    }
};

Attach attachOf(Gtk::Grid& grid, Gtk::Widget& child)
{
    Attach a{};
    gtk_container_child_get(GTK_CONTAINER(grid.gobj()), child.gobj(), "left-attach", &a.left,
                            "top-attach", &a.top, "width", &a.width, "height", &a.height,
                            nullptr);
    return a;
}

std::vector<std::string> entries(Gtk::ComboBoxText& combo)
{
    std::vector<std::string> texts;
    auto model = combo.get_model();
    for (const auto& row : model->children()) {
        Glib::ustring text;
        row.get_value(0, text);
        texts.push_back(text.raw());
    }
    return texts;
}

}  // namespace

TEST(MainFrameConstruction, AsksForProvidersInOrderAndListsThemAsIdThenName)
{
    FakePad pad;
    FrameProbe frame(&pad);

    EXPECT_EQ(pad.takeCalls(), (Calls{"GetProviderCount", "GetProviderName(0)", "GetProviderId(0)",
                                      "GetProviderName(1)", "GetProviderId(1)"}));
    EXPECT_EQ(entries(frame.comboProvider), (std::vector<std::string>{"{A1}-Pen", "{B2}-Spare"}));
    EXPECT_EQ(frame.comboProvider.get_active_row_number(), 0);
    EXPECT_FALSE(frame.comboProvider.get_has_entry());
}

TEST(MainFrameConstruction, StartStateAndLayout)
{
    FakePad pad;
    FrameProbe frame(&pad);

    EXPECT_EQ(frame.get_title(), "Generic Vellix Test Program");
    EXPECT_EQ(frame.get_border_width(), 10u);
    EXPECT_TRUE(frame.grid.get_column_homogeneous());
    EXPECT_EQ(frame.grid.get_row_spacing(), 10u);

    EXPECT_EQ(frame.lblProvider.get_text(), "Provider List:");
    EXPECT_EQ(frame.lblCount.get_text(), "number of device: __ ");
    EXPECT_EQ(frame.lblSize.get_text(), "Device is 3.74 inches by 2.12 inches");
    EXPECT_EQ(frame.btnClear.get_label(), "Clear");
    EXPECT_EQ(frame.btnReset.get_label(), "Reset");
    EXPECT_EQ(frame.btnSelect.get_label(), "Select");

    EXPECT_EQ(attachOf(frame.grid, frame.lblProvider), (Attach{0, 0, 1, 1}));
    EXPECT_EQ(attachOf(frame.grid, frame.comboProvider), (Attach{0, 1, 5, 1}));
    EXPECT_EQ(attachOf(frame.grid, frame.lblSize), (Attach{0, 2, 3, 1}));
    EXPECT_EQ(attachOf(frame.grid, frame.lblCount), (Attach{3, 2, 2, 1}));
    EXPECT_EQ(attachOf(frame.grid, frame.btnClear), (Attach{0, 5, 1, 1}));
    EXPECT_EQ(attachOf(frame.grid, frame.btnReset), (Attach{2, 5, 1, 1}));
    EXPECT_EQ(attachOf(frame.grid, frame.btnSelect), (Attach{4, 5, 1, 1}));
    EXPECT_EQ(attachOf(frame.grid, frame.drawArea), (Attach{0, 6, 5, 35}));

    // Only the provider list and Select are active; the size line is hidden
    // and the canvas is visible but without its frame.
    EXPECT_TRUE(frame.comboProvider.get_sensitive());
    EXPECT_TRUE(frame.btnSelect.get_sensitive());
    EXPECT_FALSE(frame.btnClear.get_sensitive());
    EXPECT_FALSE(frame.btnReset.get_sensitive());
    EXPECT_FALSE(frame.lblSize.get_visible());
    EXPECT_TRUE(frame.lblCount.get_visible());
    EXPECT_TRUE(frame.drawArea.get_visible());
    EXPECT_FALSE(frame.drawArea.bDrawFrame);
    EXPECT_FALSE(frame.bOpened);
    EXPECT_FALSE(frame.bSelected);
}

TEST(MainFrameConstruction, CanvasTakesItsHeightFromTheRowsItSpans)
{
    FakePad pad;
    FrameProbe frame(&pad);
    frame.show();
    ASSERT_TRUE(runUntil([&] { return frame.drawArea.get_allocated_height() > 1; }));

    // 34 gaps of 10 pixels between the 35 rows the canvas spans.
    EXPECT_EQ(frame.drawArea.get_allocated_height(), 340);
    EXPECT_EQ(frame.drawArea.get_allocated_width(), frame.grid.get_allocated_width());
}

TEST(MainFrameConstruction, NoProvidersGiveAnEmptyListWithoutActiveRow)
{
    FakePad pad;
    pad.providers.clear();
    FrameProbe frame(&pad);

    EXPECT_EQ(pad.takeCalls(), Calls{"GetProviderCount"});
    EXPECT_TRUE(entries(frame.comboProvider).empty());
    EXPECT_EQ(frame.comboProvider.get_active_row_number(), -1);
}

TEST(MainFrameConstruction, LongEntriesAreCutToABufferAtACharacterBoundary)
{
    // 40 two-byte characters after "{id}-": the cut falls inside one.
    std::string name;
    for (int i = 0; i < 40; ++i)
        name += "\xC3\xA9";  // é
    const std::string id(20, 'I');
    FakePad pad;
    pad.providers = {{id.c_str(), name.c_str()}};
    FrameProbe frame(&pad);

    const std::string entry = entries(frame.comboProvider).at(0);
    EXPECT_LE(entry.size(), 99u);
    EXPECT_GE(entry.size(), 98u);
    EXPECT_TRUE(g_utf8_validate(entry.c_str(), -1, nullptr));
    EXPECT_EQ(entry.rfind("{" + id + "}-" + "\xC3\xA9", 0), 0u);
}

TEST(MainFrameConstruction, NullAndInvalidStringsBecomeValidText)
{
    FakePad pad;
    pad.providers = {{nullptr, nullptr}, {"\xFF\xFE", "Pen\xC3"}};
    FrameProbe frame(&pad);

    const auto texts = entries(frame.comboProvider);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "{}-");
    EXPECT_TRUE(g_utf8_validate(texts[1].c_str(), -1, nullptr));
    EXPECT_EQ(texts[1], "{\xEF\xBF\xBD\xEF\xBF\xBD}-Pen\xEF\xBF\xBD");
}

TEST(ProviderSelectionLine, PrintedOnAChangeOfRowOnly)
{
    FakePad pad;
    testing::internal::CaptureStdout();
    FrameProbe frame(&pad);
    frame.comboProvider.set_active(0);  // already active: no change
    frame.comboProvider.set_active(1);
    frame.comboProvider.set_active(1);
    frame.comboProvider.set_active(0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "current selection : {B2}-Spare, index = 1\n"
              "current selection : {A1}-Pen, index = 0\n");
}

TEST(ProviderSelectionLine, StillWrittenWhenTheLocaleCannotShowTheName)
{
    FakePad pad;
    pad.providers = {{"A1", "Pen"}, {"B2", "Stift \xC3\xA4\xE2\x9C\x8D"}};  // "Stift ä✍"
    FrameProbe frame(&pad);

    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    testing::internal::CaptureStdout();
    frame.comboProvider.set_active(1);
    const std::string line = testing::internal::GetCapturedStdout();
    std::setlocale(LC_ALL, saved.c_str());

    EXPECT_EQ(line, "current selection : {B2}-Stift ??, index = 1\n");
}

TEST(ExitSequence, StartStateOnlyQuitsTheLoop)
{
    FakePad pad;
    FrameProbe frame(&pad);
    pad.takeCalls();

    EXPECT_TRUE(runUntilQuit([&] { EXPECT_TRUE(frame.onExitClicked(nullptr)); }));
    EXPECT_TRUE(pad.takeCalls().empty());
}

TEST(ExitSequence, ClosesAndReleasesAsTheFlagsSay)
{
    struct Case {
        bool opened, selected;
        Calls expected;
    };
    const Case cases[] = {
        {true, true, {"Close", "ReleaseProvider"}},
        {false, true, {"ReleaseProvider"}},
        {true, false, {"Close"}},
    };
    for (const Case& c : cases) {
        FakePad pad;
        FrameProbe frame(&pad);
        pad.takeCalls();
        frame.bOpened = c.opened;
        frame.bSelected = c.selected;

        EXPECT_TRUE(runUntilQuit([&] { frame.onExitClicked(nullptr); }));
        EXPECT_EQ(pad.takeCalls(), c.expected);
        EXPECT_FALSE(frame.bOpened);
        EXPECT_FALSE(frame.bSelected);
    }
}

TEST(ExitSequence, ClosingTheWindowRunsItAndKeepsTheWindow)
{
    FakePad pad;
    FrameProbe frame(&pad);
    frame.show();
    ASSERT_TRUE(runUntil([&] { return frame.get_realized(); }));
    frame.bOpened = true;
    frame.bSelected = true;
    pad.takeCalls();

    EXPECT_TRUE(runUntilQuit([&] { frame.close(); }));
    EXPECT_EQ(pad.takeCalls(), (Calls{"Close", "ReleaseProvider"}));
    // The handler answered the delete event, so the window is still there
    // for main to delete.
    EXPECT_TRUE(frame.get_realized());
}
