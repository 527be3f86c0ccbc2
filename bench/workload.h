// The workloads the benchmarks share: a realistic signature, filling the
// report store through the program's own callback, a reader on a thread of
// its own, the canvas's cairo calls precomputed (the redraw's floor), and the
// producer-wait measurement.
#ifndef BENCH_WORKLOAD_H
#define BENCH_WORKLOAD_H

#include "draw_area.h"
#include "results.h"

#include <benchmark/benchmark.h>
#include <cairomm/context.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

inline double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// The calling thread's CPU time in seconds: what CPU-bound work costs, less
// the time other processes held the CPU.
double threadCpuSeconds();

// The device range the signature spans and the canvas it is drawn on.
constexpr int kDeviceMaxX = 9500;
constexpr int kDeviceMaxY = 5410;
constexpr int kCanvasWidth = 520;
constexpr int kCanvasHeight = 340;

struct PenSample {
    int x;
    int y;
    int pressure;
    bool contact;
};

// n samples of handwriting moving across the device: strokes of 100 contact
// samples, each followed by 4 lifted samples while the pen moves on.
std::vector<PenSample> makeSignature(std::size_t n);

// Appends one sample to the store through MainFrame::PenDataHandler.
void appendSample(const PenSample& sample, std::size_t sequence);

// Empties the store (its capacity is kept) and appends the first count samples.
void fillStore(const std::vector<PenSample>& samples, std::size_t count);

// What a redraw does with the store, without the drawing: reads its size,
// then copies every record, each under the lock.
void readStore();
// How many records readStore has copied, counted at the end of each pass: it
// shows how much the reader actually ran on a busy machine.
std::uint64_t recordsRead();

// Sets the canvas to the signature's device range, with the frame on, as
// after the device is opened.
void configureCanvas(DrawArea& canvas);

// The cairo calls render() makes for the records now in the store, with the
// same coordinates, precomputed: what a redraw costs without the store.
struct PathOp {
    enum Kind : unsigned char { Move, Segment, Lift };
    double x;
    double y;
    Kind kind;
};
std::vector<PathOp> pathOps(const DrawArea& canvas, int width, int height);
void drawOps(const Cairo::RefPtr<Cairo::Context>& cr, const std::vector<PathOp>& ops, int width,
             int height, bool frame);

// Puts the calling thread on the index-th CPU the process may use, so that a
// producer (on the first) and a reader (on the second) really run at the same
// time rather than take turns on one CPU. Does nothing without such a CPU.
void pinToCpu(unsigned index);

// Runs pass over and over on a thread of its own, on the second CPU, from
// construction (which returns once the first pass has begun) until
// destruction.
class Background {
public:
    explicit Background(std::function<void()> pass);
    ~Background();
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

private:
    std::atomic<bool> started_{false};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The q-quantile (0 < q <= 1) of values, which must not be empty.
double percentile(std::vector<double> values, double q);

// The median of measured[i] / floor[i]: timings taken in pairs, so that a
// spell of load from other processes weighs on both sides of a pair alike.
double pairedRatio(const std::vector<double>& measured, const std::vector<double>& floor);

// How long single appends wait while redrawPass runs over 100,000 stored
// records on another thread, against the same appends with nothing else
// running (the floor). Each iteration times 20,000 appends of each kind; the
// store stays within its capacity so that no append pays for growing it.
// Counters, in µs: wait_p999_us, wait_max_us, and wait_max_own_us (the
// longest, less the time the producer sat queued for a CPU that other
// processes held), the same with floor_ for the floor; and queued, how many
// appends sat queued for a CPU for 1 µs or more.
void benchProducerWait(benchmark::State& state, const std::function<void()>& redrawPass);

// The summary rows of a benchProducerWait run (named by prefix); what says
// what ran meanwhile.
void producerWaitRows(Table& table, const Results& results, const std::string& prefix,
                      const std::string& what);

#endif
