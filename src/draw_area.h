// The signature canvas: polls the report store and renders every stored pen
// report, scaled from the device's coordinate range onto the widget.
#ifndef DRAW_AREA_H
#define DRAW_AREA_H

#include <cairomm/context.h>
#include <gtkmm/drawingarea.h>

class DrawArea : public Gtk::DrawingArea {
public:
    DrawArea();
    ~DrawArea() override;

    void AddTimer();
    // The poll timer stops itself at its next tick.
    void RemoveTimer();

    // Polls the store's size; invalidates the canvas when it changed since
    // the previous poll. Returns whether the timer keeps running.
    bool on_timeout();

    // Renders the frame and the strokes onto cr for a canvas of the given
    // size. on_draw calls it with the allocation; tests and benchmarks call
    // it on image surfaces.
    void render(const Cairo::RefPtr<Cairo::Context>& cr, int width, int height);

    // Maps a device coordinate onto [0, extent] pixels for the range
    // [min, max], truncating toward zero. Computed in 64 bits, so it equals
    // the 32-bit result wherever that does not overflow. max must differ
    // from min.
    static long long MapToPixels(int value, int min, int max, int extent);

    bool bTimerRunning;
    bool bDrawFrame;
    int minX;
    int minY;
    int maxX;
    int maxY;

protected:
    bool on_draw(const Cairo::RefPtr<Cairo::Context>& cr) override;
};

#endif
