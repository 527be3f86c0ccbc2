#include "workload.h"

#include "mainframe.h"
#include "myvector.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

std::vector<PenSample> makeSignature(std::size_t n)
{
    constexpr std::size_t kContact = 100;
    constexpr std::size_t kLifted = 4;
    std::vector<PenSample> samples;
    samples.reserve(n);
    for (std::size_t k = 0; k < n; ++k) {
        const double t = 0.05 * static_cast<double>(k);
        const double stroke = static_cast<double>(k / (kContact + kLifted));
        const bool contact = k % (kContact + kLifted) < kContact;
        // x drifts right along the line and wraps; y loops around the middle.
        const double x =
            400.0 + std::fmod(3.0 * static_cast<double>(k), 8300.0) + 350.0 * std::sin(1.3 * t);
        const double y =
            2705.0 + 1500.0 * std::sin(t) * std::cos(0.21 * t) + 300.0 * std::sin(0.7 * stroke);
        const int pressure = contact ? 300 + static_cast<int>(k * 37 % 700) : 0;
        samples.push_back({static_cast<int>(x), static_cast<int>(y), pressure, contact});
    }
    return samples;
}

void appendSample(const PenSample& sample, std::size_t sequence)
{
    MainFrame::PenDataHandler(sample.x, sample.y, sample.pressure, sample.contact ? 1 : 0, 0, 0, 0,
                              static_cast<std::uint32_t>(sequence));
}

void fillStore(const std::vector<PenSample>& samples, std::size_t count)
{
    myvector.clear();
    for (std::size_t i = 0; i < count; ++i)
        appendSample(samples[i], i);
}

namespace {
std::atomic<std::uint64_t> copied{0};
}  // namespace

void readStore()
{
    const std::size_t n = myvector.size();
    tagDATA_REPORT record;
    for (std::size_t i = 0; i < n; ++i)
        if (myvector.try_get(i, record))
            benchmark::DoNotOptimize(record);
    copied += n;
}

std::uint64_t recordsRead()
{
    return copied;
}

void configureCanvas(DrawArea& canvas)
{
    canvas.minX = 0;
    canvas.minY = 0;
    canvas.maxX = kDeviceMaxX;
    canvas.maxY = kDeviceMaxY;
    canvas.bDrawFrame = true;
}

std::vector<PathOp> pathOps(const DrawArea& canvas, int width, int height)
{
    const std::size_t n = myvector.size();
    std::vector<PathOp> ops;
    ops.reserve(n);
    bool inStroke = false;  // render()'s bFirst
    for (std::size_t i = 0; i < n; ++i) {
        tagDATA_REPORT r{};
        myvector.try_get(i, r);
        const double x =
            static_cast<double>(DrawArea::MapToPixels(r.x, canvas.minX, canvas.maxX, width));
        const double y =
            static_cast<double>(DrawArea::MapToPixels(r.y, canvas.minY, canvas.maxY, height));
        PathOp::Kind kind = PathOp::Lift;
        if (!inStroke) {
            inStroke = true;
            kind = PathOp::Move;
        } else if (r.contact) {
            kind = PathOp::Segment;
        } else {
            inStroke = false;
        }
        ops.push_back({x, y, kind});
    }
    return ops;
}

void drawOps(const Cairo::RefPtr<Cairo::Context>& cr, const std::vector<PathOp>& ops, int width,
             int height, bool frame)
{
    if (frame) {
        cr->set_source_rgb(0, 0, 0.5);
        cr->set_line_width(5.0);
        cr->rectangle(0, 0, width, height);
        cr->stroke();
    }
    cr->set_source_rgb(0, 0, 0);
    cr->set_line_width(3.0);
    for (const PathOp& op : ops) {
        switch (op.kind) {
            case PathOp::Move:
                cr->move_to(op.x, op.y);
                break;
            case PathOp::Segment:
                cr->line_to(op.x, op.y);
                cr->stroke();
                cr->move_to(op.x, op.y);
                break;
            case PathOp::Lift:
                cr->line_to(op.x, op.y);
                break;
        }
    }
}

namespace {
// The CPUs the process may use, read before any thread is pinned.
const cpu_set_t allowedCpus = [] {
    cpu_set_t set;
    CPU_ZERO(&set);
    sched_getaffinity(0, sizeof set, &set);
    return set;
}();
}  // namespace

void pinToCpu(unsigned index)
{
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (!CPU_ISSET(cpu, &allowedCpus))
            continue;
        if (index-- == 0) {
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(cpu, &one);
            pthread_setaffinity_np(pthread_self(), sizeof one, &one);
            return;
        }
    }
}

Background::Background(std::function<void()> pass)
    : thread_([this, pass = std::move(pass)] {
          pinToCpu(1);
          started_ = true;
          while (!stop_)
              pass();
      })
{
    while (!started_)
        std::this_thread::yield();
}

Background::~Background()
{
    stop_ = true;
    thread_.join();
}

double percentile(std::vector<double> values, double q)
{
    const auto rank =
        static_cast<std::size_t>(std::ceil(q * static_cast<double>(values.size()))) - 1;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rank),
                     values.end());
    return values[rank];
}

double pairedRatio(const std::vector<double>& measured, const std::vector<double>& floor)
{
    std::vector<double> ratios;
    for (std::size_t i = 0; i < measured.size() && i < floor.size(); ++i)
        ratios.push_back(measured[i] / floor[i]);
    return percentile(ratios, 0.5);
}

namespace {

struct Waits {
    std::vector<double> all;  // µs
    std::vector<double> own;  // µs, less the time the producer sat queued for a CPU
    std::size_t queued = 0;   // appends that sat queued for a CPU for 1 µs or more
};

// The time the calling thread has spent queued for a CPU (runnable but not
// running), from the kernel's scheduler statistics.
class RunQueueTime {
public:
    RunQueueTime() : fd_(open("/proc/thread-self/schedstat", O_RDONLY)) {}
    ~RunQueueTime() { close(fd_); }
    RunQueueTime(const RunQueueTime&) = delete;
    RunQueueTime& operator=(const RunQueueTime&) = delete;

    // In µs; 0 where the kernel does not tell.
    double us() const
    {
        char text[96];
        const ssize_t n = fd_ < 0 ? -1 : pread(fd_, text, sizeof text - 1, 0);
        if (n <= 0)
            return 0;
        text[n] = '\0';
        unsigned long long running = 0;
        unsigned long long queued = 0;
        return std::sscanf(text, "%llu %llu", &running, &queued) == 2
                   ? static_cast<double>(queued) / 1e3
                   : 0;
    }

private:
    int fd_;
};

// Times each append of samples[first, first + count) on its own with
// steady_clock. Other processes can take the producer's CPU: the time it then
// sits queued for a CPU is read around each append, so that the wait the
// store itself causes can be told apart. That read also spaces the appends
// about a microsecond apart, so each one meets the reader afresh.
void timeAppends(const std::vector<PenSample>& samples, std::size_t first, std::size_t count,
                 Waits& waits)
{
    const RunQueueTime runQueue;
    double queuedBefore = runQueue.us();
    for (std::size_t i = first; i < first + count; ++i) {
        const Clock::time_point start = Clock::now();
        appendSample(samples[i], i);
        const double us = 1e6 * seconds(Clock::now() - start);
        const double queuedAfter = runQueue.us();
        const double queued = std::min(queuedAfter - queuedBefore, us);
        waits.all.push_back(us);
        waits.own.push_back(us - queued);
        if (queued >= 1.0)
            ++waits.queued;
        queuedBefore = queuedAfter;
    }
}

double longest(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

}  // namespace

void benchProducerWait(benchmark::State& state, const std::function<void()>& redrawPass)
{
    constexpr std::size_t kStored = 100'000;
    constexpr std::size_t kTimed = 20'000;
    const std::vector<PenSample> samples = makeSignature(kStored + kTimed);
    pinToCpu(0);
    Waits alone;
    Waits during;
    for (auto _ : state) {
        fillStore(samples, kStored);
        timeAppends(samples, kStored, kTimed, alone);

        fillStore(samples, kStored);
        const std::size_t before = during.all.size();
        {
            Background redraw(redrawPass);
            timeAppends(samples, kStored, kTimed, during);
        }
        double total = 0;
        for (std::size_t i = before; i < during.all.size(); ++i)
            total += during.all[i];
        state.SetIterationTime(total / 1e6);
    }
    state.counters["wait_p999_us"] = percentile(during.all, 0.999);
    state.counters["wait_max_us"] = longest(during.all);
    state.counters["wait_max_own_us"] = longest(during.own);
    state.counters["queued"] = static_cast<double>(during.queued);
    state.counters["floor_p999_us"] = percentile(alone.all, 0.999);
    state.counters["floor_max_us"] = longest(alone.all);
    state.counters["floor_max_own_us"] = longest(alone.own);
}

void producerWaitRows(Table& table, const Results& results, const std::string& prefix,
                      const std::string& what)
{
    const auto row = [&](const std::string& figure, const std::string& key,
                         const std::string& target, double limit) {
        const double wait = results.get(prefix, "wait_" + key);
        const double floor = results.get(prefix, "floor_" + key);
        // Where the appends alone already wait that long, the machine hides
        // what the reader adds.
        std::string judged;
        if (!target.empty())
            judged = wait >= limit && floor >= limit
                         ? target + ": not measurable here, the floor is as long"
                         : verdict(target, wait < limit);
        table.row("Append wait while " + what + ", " + figure, fixed(wait, 2, " µs"),
                  fixed(floor, 2, " µs") + " (alone)", wait / floor, judged);
    };
    row("p99.9", "p999_us", "", 0);
    row("longest less CPU queueing", "max_own_us", "< 50 µs", 50);
    row("longest (" + fixed(results.get(prefix, "queued"), 0) + " appends queued for a CPU)",
        "max_us", "", 0);
}
