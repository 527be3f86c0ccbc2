// The canvas's redraw: DrawArea::render on a canvas-sized image surface for
// 1,000 to 1,000,000 stored records, against the identical cairo calls on
// precomputed points (so the ratio is what the store and the coordinate
// mapping add), and how long one append waits while render() runs.
#include "results.h"
#include "workload.h"

#include <cairomm/surface.h>
#include <gtkmm/main.h>

#include <algorithm>

namespace {

// Record counts, how many repetitions each gets, and how many timed pairs a
// repetition has. A pass over 1,000,000 records takes over a second, so it
// gets the most repetitions: a long pass is the likeliest to be disturbed.
struct Count {
    long records;
    int repetitions;
    long pairs;
};
const std::vector<Count> kCounts = {
    {1'000, 3, 100}, {10'000, 3, 20}, {100'000, 3, 6}, {1'000'000, 5, 3}};

std::string redrawName(long count)
{
    return "BM_Redraw/" + std::to_string(count) + "/";
}

// Each iteration times the floor and render() once each, taking turns at going
// first so that neither always finds the caches warm. The fastest pass of each
// counts, over repetitions that each fill the store and lay out the floor's
// points afresh: the drawing is the same every pass, and the machine
// (other processes, a busy host under a virtual machine) can only add to it.
void BM_Redraw(benchmark::State& state, DrawArea& canvas)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    fillStore(makeSignature(n), n);
    const auto surface =
        Cairo::ImageSurface::create(Cairo::FORMAT_RGB24, kCanvasWidth, kCanvasHeight);
    const std::vector<PathOp> ops = pathOps(canvas, kCanvasWidth, kCanvasHeight);

    const auto floorPass = [&] {
        drawOps(Cairo::Context::create(surface), ops, kCanvasWidth, kCanvasHeight,
                canvas.bDrawFrame);
    };
    const auto renderPass = [&] {
        canvas.render(Cairo::Context::create(surface), kCanvasWidth, kCanvasHeight);
    };
    // The drawing thread's CPU time, so that time other processes hold the
    // CPU does not count: drawing never waits for anything else.
    const auto timed = [](const auto& pass) {
        const double start = threadCpuSeconds();
        pass();
        return threadCpuSeconds() - start;
    };

    std::vector<double> floorSeconds;
    std::vector<double> renderSeconds;
    bool floorFirst = true;
    for (auto _ : state) {
        if (floorFirst)
            floorSeconds.push_back(timed(floorPass));
        renderSeconds.push_back(timed(renderPass));
        if (!floorFirst)
            floorSeconds.push_back(timed(floorPass));
        floorFirst = !floorFirst;
        state.SetIterationTime(renderSeconds.back());
    }
    const auto records = static_cast<double>(n);
    state.counters["ns_per_record"] =
        1e9 * *std::min_element(renderSeconds.begin(), renderSeconds.end()) / records;
    state.counters["floor_ns_per_record"] =
        1e9 * *std::min_element(floorSeconds.begin(), floorSeconds.end()) / records;
}

void BM_ProducerWaitRender(benchmark::State& state, DrawArea& canvas)
{
    const auto surface =
        Cairo::ImageSurface::create(Cairo::FORMAT_RGB24, kCanvasWidth, kCanvasHeight);
    benchProducerWait(state, [&] {
        canvas.render(Cairo::Context::create(surface), kCanvasWidth, kCanvasHeight);
    });
}

}  // namespace

int main(int argc, char** argv)
{
    Table table(argc, argv);
    Gtk::Main kit(argc, argv);  // a widget needs GTK, and GTK a display
    DrawArea canvas;
    configureCanvas(canvas);

    for (const Count& count : kCounts)
        benchmark::RegisterBenchmark("BM_Redraw", BM_Redraw, std::ref(canvas))
            ->Arg(count.records)
            ->Iterations(count.pairs)
            ->Repetitions(count.repetitions)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ProducerWaitRender", BM_ProducerWaitRender, std::ref(canvas))
        ->Iterations(10)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);

    Results results;
    if (!runBenchmarks(argc, argv, results))
        return 1;

    for (const Count& count : kCounts) {
        const double ns = results.get(redrawName(count.records), "ns_per_record");
        const double floor = results.get(redrawName(count.records), "floor_ns_per_record");
        const double ratio = ns / floor;
        table.row("Redraw of " + std::to_string(count.records) + " records on an image surface",
                  fixed(ns, 1, " ns/record"), fixed(floor, 1, " ns/record") + " (same cairo calls)",
                  ratio, verdict("≤ 1.10x", ratio <= 1.10));
    }
    const auto growth = [&](const std::string& key) {
        return results.get(redrawName(kCounts.back().records), key) /
               results.get(redrawName(kCounts.front().records), key);
    };
    const double renderGrowth = growth("ns_per_record");
    const double floorGrowth = growth("floor_ns_per_record");
    table.row("Redraw growth: ns/record at 1,000,000 over 1,000", fixed(renderGrowth, 2, "x"),
              fixed(floorGrowth, 2, "x") + " (same cairo calls)", renderGrowth / floorGrowth,
              verdict("linear: ≤ 1.10x", renderGrowth / floorGrowth <= 1.10));

    producerWaitRows(table, results, "BM_ProducerWaitRender/", "render() redraws 100,000 records");
    return 0;
}
