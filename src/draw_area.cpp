#include "draw_area.h"

#include "myvector.h"

#include <glibmm/main.h>

#include <cstddef>
#include <iostream>

DrawArea::DrawArea()
    : bTimerRunning(true), bDrawFrame(false), minX(1), minY(1), maxX(1024), maxY(1024)
{
    AddTimer();
}

DrawArea::~DrawArea() = default;

void DrawArea::AddTimer()
{
    // The slot is tied to this widget, so the source stops calling it once
    // the widget is destroyed.
    Glib::signal_timeout().connect(sigc::mem_fun(*this, &DrawArea::on_timeout), 200);
}

void DrawArea::RemoveTimer()
{
    bTimerRunning = false;
}

bool DrawArea::on_timeout()
{
    static bool bFirst = true;
    static std::size_t initSize = 0;

    const std::size_t n = myvector.size();
    if (bFirst) {
        initSize = n;
        bFirst = false;
    } else if (n != initSize) {
        initSize = n;
        if (Glib::RefPtr<Gdk::Window> win = get_window()) {
            const Gtk::Allocation alloc = get_allocation();
            win->invalidate_rect(Gdk::Rectangle(0, 0, alloc.get_width(), alloc.get_height()),
                                 false);
        } else {
            std::cout << "no win!!" << std::endl;
        }
    }
    return bTimerRunning;
}

long long DrawArea::MapToPixels(int value, int min, int max, int extent)
{
    return static_cast<long long>(extent) * (static_cast<long long>(value) - min) /
           (static_cast<long long>(max) - min);
}

bool DrawArea::on_draw(const Cairo::RefPtr<Cairo::Context>& cr)
{
    const Gtk::Allocation alloc = get_allocation();
    render(cr, alloc.get_width(), alloc.get_height());
    return true;
}

void DrawArea::render(const Cairo::RefPtr<Cairo::Context>& cr, int width, int height)
{
    // True while a stroke is in progress; deliberately kept from one draw to
    // the next, like the poll's state.
    static bool bFirst = false;

    if (bDrawFrame) {
        cr->set_source_rgb(0, 0, 0.5);
        cr->set_line_width(5.0);
        cr->rectangle(0, 0, width, height);
        cr->stroke();
    }
    cr->set_source_rgb(0, 0, 0);
    cr->set_line_width(3.0);

    // An empty range cannot be scaled onto the canvas: show the frame only.
    if (maxX == minX || maxY == minY)
        return;

    const std::size_t n = myvector.size();
    for (std::size_t i = 0; i < n; ++i) {
        tagDATA_REPORT r;
        if (!myvector.try_get(i, r))
            continue;
        const double px = static_cast<double>(MapToPixels(r.x, minX, maxX, width));
        const double py = static_cast<double>(MapToPixels(r.y, minY, maxY, height));
        if (!bFirst) {
            bFirst = true;
            cr->move_to(px, py);
        } else if (r.contact) {
            cr->line_to(px, py);
            cr->stroke();
            cr->move_to(px, py);
        } else {
            bFirst = false;
            cr->line_to(px, py);
        }
    }
}
