// The signature canvas: mapping device coordinates onto pixels, the frame and
// strokes it renders (on image surfaces and in a real window), and the poll
// that asks for a redraw when the report store changes size.
// The canvas keeps its poll and path state in function statics, so every
// case expects a process of its own (ctest runs them that way).
#include "draw_area.h"
#include "main_loop.h"
#include "mainframe.h"
#include "myvector.h"

#include <cairomm/surface.h>
#include <gdk/gdk.h>
#include <gdkmm/pixbuf.h>
#include <gtest/gtest.h>
#include <gtkmm/window.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

struct Sample { int x, y; bool contact; };
struct Point { int x, y; };
struct Rgb { int r, g, b; };

bool isBlack(Rgb c) { return c.r < 60 && c.g < 60 && c.b < 60; }
bool isWhite(Rgb c) { return c.r >= 250 && c.g >= 250 && c.b >= 250; }
bool isFrameBlue(Rgb c) { return c.r < 40 && c.g < 40 && c.b > 100 && c.b < 160; }

void fillStore(const std::vector<Sample>& samples)
{
    myvector.clear();
    std::uint32_t seq = 0;
    for (const Sample& s : samples)
        MainFrame::PenDataHandler(s.x, s.y, 300, s.contact ? 1 : 0, 0, 0, 0, seq++);
}

void setRange(DrawArea& area, int minX, int maxX, int minY, int maxY)
{
    std::tie(area.minX, area.maxX, area.minY, area.maxY) = std::tie(minX, maxX, minY, maxY);
}

// A white RGB24 image that the canvas renders onto.
class Image {
public:
    Image(int width, int height)
        : surface_(Cairo::ImageSurface::create(Cairo::FORMAT_RGB24, width, height))
    {
        auto cr = Cairo::Context::create(surface_);
        cr->set_source_rgb(1, 1, 1);
        cr->paint();
    }

    void render(DrawArea& area)
    {
        area.render(Cairo::Context::create(surface_), surface_->get_width(),
                    surface_->get_height());
        surface_->flush();
    }

    // RGB24 pixels are native-endian 32-bit words 0x00RRGGBB.
    Rgb at(int x, int y) const
    {
        std::uint32_t word;
        std::memcpy(&word, surface_->get_data() + y * surface_->get_stride() + 4 * x, sizeof word);
        return {int((word >> 16) & 0xFF), int((word >> 8) & 0xFF), int(word & 0xFF)};
    }

    // Black (a stroke) at every point of dark, untouched white at every point of white.
    void expect(const std::vector<Point>& dark, const std::vector<Point>& white) const
    {
        for (Point p : dark)
            EXPECT_TRUE(isBlack(at(p.x, p.y))) << "expected black at " << p.x << "," << p.y;
        for (Point p : white)
            EXPECT_TRUE(isWhite(at(p.x, p.y))) << "expected white at " << p.x << "," << p.y;
    }

private:
    Cairo::RefPtr<Cairo::ImageSurface> surface_;
};

// Brings the path state to "no stroke in progress": a contact sample
// followed by a lifted one always ends there, whatever the state before.
void settlePathState(DrawArea& area)
{
    fillStore({{10, 10, true}, {20, 10, false}});
    Image scratch(400, 400);
    scratch.render(area);
    myvector.clear();
}

// A canvas whose device range 0..400 equals the pixels of a 400x400 image.
struct PixelCanvas : ::testing::Test {
    DrawArea area;
    void SetUp() override { setRange(area, 0, 400, 0, 400); }
};

// A canvas shown in a window, realised and drawn once.
struct ShownCanvas {
    Gtk::Window window;
    DrawArea area;
    int draws = 0;

    ShownCanvas(int width, int height)
    {
        area.set_size_request(width, height);
        window.add(area);
        // Read-back takes what is on the screen, and without a window
        // manager every window opens at the top left corner, where the other
        // GUI tests of the run show theirs (the end-to-end tests use the
        // middle of the screen). The right edge is left to this one.
        window.move(950, 20);
        // Before the canvas's own handler, which stops the emission.
        area.signal_draw().connect([this](const Cairo::RefPtr<Cairo::Context>&) {
            ++draws;
            return false;
        }, false);
    }

    bool showAndWaitForDraw()
    {
        window.show_all();
        return runUntil([this] { return area.get_realized() && draws > 0; });
    }
};

// Takes the window's pending invalid area (so it will not be painted) and
// returns its bounding box, or an empty box when nothing is pending.
std::vector<int> takeInvalidArea(const Glib::RefPtr<Gdk::Window>& win)
{
    cairo_region_t* region = gdk_window_get_update_area(win->gobj());
    std::vector<int> box;
    if (region && !cairo_region_is_empty(region)) {
        cairo_rectangle_int_t r;
        cairo_region_get_extents(region, &r);
        box = {r.x, r.y, r.width, r.height};
    }
    cairo_region_destroy(region);  // accepts null
    return box;
}

}  // namespace

TEST(MapToPixels, MapsTheDeviceRangeOntoTheExtent)
{
    struct Case { const char* what; int value, min, max, extent; long long pixels; };
    const Case cases[] = {
        {"range start maps to 0", 1, 1, 1024, 640, 0},
        {"range end maps to the extent", 1024, 1, 1024, 640, 640},
        {"fractions truncate", 333, 0, 1000, 500, 166},
        {"below the range goes negative", 50, 100, 1100, 500, -25},
        {"negative fractions truncate toward zero", 0, 1, 1024, 500, 0},
        {"product past 32 bits", 65535, 0, 65535, 40000, 40000},
        {"product past 32 bits, mid-range", 32768, 0, 65535, 40000, 20000},
        {"inverted range mirrors: min end", 1000, 1000, 0, 500, 0},
        {"inverted range mirrors: max end", 0, 1000, 0, 500, 500},
        {"inverted range mirrors: inside", 250, 1000, 0, 500, 375},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DrawArea::MapToPixels(c.value, c.min, c.max, c.extent), c.pixels) << c.what;
}

// Which segments between consecutive samples end up painted in one draw that
// starts with no stroke in progress. Points sit on a coarse grid so that no
// checked midpoint lies near another segment.
TEST_F(PixelCanvas, PaintsOnlyTheSegmentsThePenStateCloses)
{
    using Segments = std::vector<std::pair<int, int>>;  // by sample index
    struct Case { const char* what; std::vector<Sample> samples; Segments painted, notPainted; };
    const Case cases[] = {
        // The lift segment C-D stays in the path unstroked; E starts afresh.
        {"A B C touching, D lifted, E touching",
         {{50, 50, true}, {200, 50, true}, {350, 50, true}, {350, 200, false}, {200, 200, true}},
         {{0, 1}, {1, 2}},
         {{2, 3}, {3, 4}}},
        // Lifted samples alternate line/move; P's stroke paints what is pending.
        {"A B touching, four lifted, P Q touching",
         {{50, 50, true}, {200, 50, true}, {350, 50, false}, {350, 150, false},
          {200, 150, false}, {50, 150, false}, {50, 250, true}, {200, 250, true}},
         {{0, 1}, {1, 2}, {3, 4}, {5, 6}, {6, 7}},
         {{2, 3}, {4, 5}}},
        // After an odd number of lifted samples P opens a new sub-path.
        {"A B touching, five lifted, P Q touching",
         {{50, 50, true}, {200, 50, true}, {350, 50, false}, {350, 150, false},
          {200, 150, false}, {50, 150, false}, {50, 250, false}, {200, 350, true},
          {350, 350, true}},
         {{0, 1}, {1, 2}, {3, 4}, {5, 6}, {7, 8}},
         {{2, 3}, {4, 5}, {6, 7}}},
        {"trailing lifted sample stays unstroked",
         {{50, 50, true}, {200, 50, true}, {200, 200, false}},
         {{0, 1}},
         {{1, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto midpoints = [&](const Segments& segments) {
            std::vector<Point> points;
            for (auto [from, to] : segments) {
                const Sample& a = c.samples[std::size_t(from)];
                const Sample& b = c.samples[std::size_t(to)];
                points.push_back({(a.x + b.x) / 2, (a.y + b.y) / 2});
            }
            return points;
        };
        settlePathState(area);
        fillStore(c.samples);
        Image image(400, 400);
        image.render(area);
        image.expect(midpoints(c.painted), midpoints(c.notPainted));
    }
}

// The path state is kept from one draw to the next: the same store draws
// differently depending on how the previous draw ended, and a draw that
// starts inside a stroke must not paint anything from outside the store.
TEST_F(PixelCanvas, EachDrawContinuesThePathStateOfThePreviousDraw)
{
    struct Case {
        const char* what;
        std::vector<Sample> previous, current;
        std::vector<Point> dark, white;
    };
    const std::vector<Sample> liftedFirst{{50, 200, false}, {200, 200, true}, {350, 200, true}};
    const Case cases[] = {
        {"previous draw ended with a lift: the lifted sample opens the stroke",
         {{10, 10, true}, {20, 10, false}}, liftedFirst, {{125, 200}, {275, 200}}, {}},
        {"previous draw ended inside a stroke: the lifted sample closes it",
         {{10, 10, true}, {20, 10, true}}, liftedFirst, {{275, 200}}, {{125, 200}}},
        {"previous draw ended inside a stroke: nothing joins its last point or the origin",
         {{350, 350, true}, {380, 380, true}},
         {{50, 200, true}, {200, 200, true}},
         {{125, 200}},
         {{200, 275}, {25, 100}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        settlePathState(area);
        fillStore(c.previous);
        Image(400, 400).render(area);
        fillStore(c.current);
        Image current(400, 400);
        current.render(area);
        current.expect(c.dark, c.white);
    }
}

// Device ranges are scaled onto the canvas without clamping or flipping:
// larger y is lower, and points outside the range land outside the canvas.
TEST(CanvasStrokes, ScalesTheDeviceRangeWithoutClampingOrFlipping)
{
    DrawArea area;
    setRange(area, 1000, 5000, 0, 1000);  // 10 device units per pixel in x, 5 in y
    settlePathState(area);
    // Pixels (-100,50) -> (100,150) -> (200,150).
    fillStore({{0, 250, true}, {2000, 750, true}, {3000, 750, true}});
    Image image(400, 200);
    image.render(area);

    // Black on the diagonal coming in from off-canvas and on the horizontal
    // part low on the canvas; white where a clamped start or a flipped y would
    // have put them, and past the last sample.
    image.expect({{50, 125}, {150, 150}}, {{50, 100}, {150, 50}, {210, 150}});
}

TEST(CanvasFrame, FrameIsABlueBandAlongTheEdgesUnderBlackStrokes)
{
    for (bool frame : {true, false}) {
        SCOPED_TRACE(frame ? "frame on" : "frame off");
        DrawArea area;
        area.bDrawFrame = frame;
        setRange(area, 0, 400, 0, 300);
        settlePathState(area);
        fillStore({{50, 150, true}, {350, 150, true}});
        Image image(400, 300);
        image.render(area);

        for (Point edge : {Point{1, 100}, Point{398, 100}, Point{200, 1}, Point{200, 298}}) {
            const Rgb c = image.at(edge.x, edge.y);
            EXPECT_TRUE(frame ? isFrameBlue(c) : isWhite(c)) << edge.x << "," << edge.y;
        }
        // The band is 2.5 px wide: a few pixels in, the canvas is untouched.
        for (Point inside : {Point{4, 100}, Point{395, 100}, Point{200, 4}, Point{200, 295}})
            EXPECT_TRUE(isWhite(image.at(inside.x, inside.y))) << inside.x << "," << inside.y;
        EXPECT_TRUE(isBlack(image.at(200, 150)));
    }
}

// With an empty range nothing can be scaled: only the frame is drawn, and
// the draw must not divide by zero.
TEST(CanvasFrame, EmptyRangeDrawsOnlyTheFrame)
{
    struct Case { const char* what; int minX, maxX, minY, maxY; };
    const Case cases[] = {
        {"empty x range", 100, 100, 0, 300},
        {"empty y range", 0, 400, 50, 50},
        {"both empty", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DrawArea area;
        area.bDrawFrame = true;
        setRange(area, c.minX, c.maxX, c.minY, c.maxY);
        fillStore({{0, 0, true}, {100, 50, true}, {400, 300, true}, {200, 150, false},
                   {300, 100, true}});
        Image image(400, 300);
        image.render(area);

        EXPECT_TRUE(isFrameBlue(image.at(1, 150)));
        int marked = 0;
        for (int y = 3; y < 297; ++y)
            for (int x = 3; x < 397; ++x)
                marked += isWhite(image.at(x, y)) ? 0 : 1;
        EXPECT_EQ(marked, 0);
    }
}

// The poll on a canvas that is not realised reports every size change on
// stdout instead of invalidating, which shows exactly when it would redraw.
// This case needs the first poll of the process.
TEST(CanvasPoll, ReportsEachSizeChangeSinceThePreviousPoll)
{
    DrawArea area;
    fillStore({{1, 1, true}, {2, 2, true}});
    auto push = [] { MainFrame::PenDataHandler(5, 5, 0, 1, 0, 0, 0, 0); };
    struct Step { const char* what; std::function<void()> change; const char* printed; };
    const Step steps[] = {
        {"first poll only records the size", [] {}, ""},
        {"unchanged", [] {}, ""},
        {"one more sample", push, "no win!!\n"},
        {"unchanged after growing", [] {}, ""},
        {"store cleared", [] { myvector.clear(); }, "no win!!\n"},
        {"grown and cleared between polls", [&] { push(); myvector.clear(); }, ""},
        {"several samples in one poll", [&] { push(); push(); push(); }, "no win!!\n"},
    };
    for (const Step& s : steps) {
        s.change();
        testing::internal::CaptureStdout();
        const bool keepRunning = area.on_timeout();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), s.printed) << s.what;
        EXPECT_TRUE(keepRunning) << s.what;
    }

    // The poll state belongs to the process, not to one canvas.
    DrawArea other;
    push();
    testing::internal::CaptureStdout();
    EXPECT_TRUE(other.on_timeout());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "no win!!\n");

    area.RemoveTimer();
    EXPECT_FALSE(area.on_timeout());
    EXPECT_TRUE(other.on_timeout());
}

// On a realised canvas a size change invalidates the whole canvas, and an
// unchanged size invalidates nothing. The pending update area is read (and
// consumed) right after each poll, so the background timer cannot interfere.
TEST(CanvasPoll, RealisedCanvasInvalidatesItselfWhenTheSizeChanges)
{
    fillStore({{100, 100, true}});
    ShownCanvas shown(300, 200);
    ASSERT_TRUE(shown.showAndWaitForDraw());
    drainEvents();
    const Glib::RefPtr<Gdk::Window> win = shown.area.get_window();
    const int w = shown.area.get_allocated_width();
    const int h = shown.area.get_allocated_height();

    // The background timer may have polled already; either way this poll
    // brings the recorded size up to date. Start with nothing pending.
    shown.area.on_timeout();
    takeInvalidArea(win);

    auto push = [] { MainFrame::PenDataHandler(200, 200, 0, 1, 0, 0, 0, 0); };
    struct Step { const char* what; std::function<void()> change; bool invalidates; };
    const Step steps[] = {
        {"unchanged", [] {}, false},
        {"grown", push, true},
        {"unchanged again", [] {}, false},
        {"shrunk", [] { myvector.clear(); }, true},
    };
    for (const Step& s : steps) {
        s.change();
        testing::internal::CaptureStdout();
        shown.area.on_timeout();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << s.what;
        const std::vector<int> whole{0, 0, w, h};
        EXPECT_EQ(takeInvalidArea(win), s.invalidates ? whole : std::vector<int>{}) << s.what;
    }

    // And the invalidation leads to a draw.
    const int before = shown.draws;
    push();
    shown.area.on_timeout();
    EXPECT_TRUE(runUntil([&] { return shown.draws > before; }));
}

// The canvas as the program shows it: frame, a horizontal stroke, and the
// window's background elsewhere, read back from the X window.
TEST(CanvasWindow, ShowsFrameAndStrokeOnScreen)
{
    fillStore({{500, 1000, true}, {2500, 1000, true}});
    ShownCanvas shown(300, 200);
    shown.area.bDrawFrame = true;
    setRange(shown.area, 0, 3000, 0, 2000);
    ASSERT_TRUE(shown.showAndWaitForDraw());
    drainEvents();
    ASSERT_EQ(shown.area.get_allocated_width(), 300);
    ASSERT_EQ(shown.area.get_allocated_height(), 200);

    const auto shot = Gdk::Pixbuf::create(shown.area.get_window(), 0, 0, 300, 200);
    ASSERT_TRUE(shot);
    auto at = [&](int x, int y) {
        const guint8* p = shot->get_pixels() + y * shot->get_rowstride() +
                          x * shot->get_n_channels();
        return Rgb{p[0], p[1], p[2]};
    };

    for (Point edge : {Point{1, 100}, Point{298, 100}, Point{150, 1}, Point{150, 198}})
        EXPECT_TRUE(isFrameBlue(at(edge.x, edge.y))) << edge.x << "," << edge.y;
    for (Point on : {Point{60, 100}, Point{150, 100}, Point{240, 100}})
        EXPECT_TRUE(isBlack(at(on.x, on.y))) << on.x << "," << on.y;
    for (Point off : {Point{150, 50}, Point{150, 150}, Point{20, 100}, Point{280, 100}}) {
        const Rgb c = at(off.x, off.y);
        EXPECT_FALSE(isBlack(c) || isFrameBlue(c)) << off.x << "," << off.y;
    }
}
