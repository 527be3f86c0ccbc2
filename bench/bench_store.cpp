// The report store under the pen's producer thread: appends per second, alone
// and while a reader does what a redraw does; how long one append waits while
// a reader walks 100,000 records; the append that grows the store; and the
// memory held per stored record.
#include "myvector.h"
#include "results.h"
#include "workload.h"

#include <optional>

namespace {

constexpr std::size_t kBatch = 100'000;

// The same packing as MainFrame::PenDataHandler.
tagDATA_REPORT pack(const PenSample& sample, std::size_t sequence)
{
    tagDATA_REPORT r{};
    r.contact = sample.contact ? 1U : 0U;
    r.x = static_cast<std::uint16_t>(sample.x);
    r.y = static_cast<std::uint16_t>(sample.y);
    r.thirdLow = static_cast<std::uint8_t>(sample.pressure);
    r.eighthLow = static_cast<std::uint8_t>(sequence);
    return r;
}

// The floor: the batch pushed into an unlocked vector, emptied first.
double pushPlain(std::vector<tagDATA_REPORT>& plain, const std::vector<PenSample>& samples)
{
    plain.clear();
    const Clock::time_point start = Clock::now();
    for (std::size_t i = 0; i < samples.size(); ++i)
        plain.push_back(pack(samples[i], i));
    benchmark::DoNotOptimize(plain.data());
    benchmark::ClobberMemory();
    return seconds(Clock::now() - start);
}

// Each iteration appends a batch of 100,000 records through PenDataHandler
// into the emptied store (so memory stays bounded and the capacity is reused),
// paired with the floor batch; medians of the batches' times count, as other
// processes may take the CPU now and then. With reader:1, a thread on another
// CPU walks the store as a redraw does for as long as the batch runs.
void BM_Append(benchmark::State& state)
{
    const bool withReader = state.range(0) != 0;
    const std::vector<PenSample> samples = makeSignature(kBatch);
    pinToCpu(0);
    std::vector<tagDATA_REPORT> plain;
    fillStore(samples, kBatch);  // both reach their final capacity before timing
    pushPlain(plain, samples);

    std::vector<double> floorSeconds;
    std::vector<double> storeSeconds;
    const std::uint64_t readBefore = recordsRead();
    for (auto _ : state) {
        floorSeconds.push_back(pushPlain(plain, samples));
        myvector.clear();
        std::optional<Background> reader;
        if (withReader)
            reader.emplace(readStore);
        const Clock::time_point start = Clock::now();
        for (std::size_t i = 0; i < kBatch; ++i)
            appendSample(samples[i], i);
        storeSeconds.push_back(seconds(Clock::now() - start));
        reader.reset();
        state.SetIterationTime(storeSeconds.back());
    }
    const double records = kBatch;
    state.counters["records_per_s"] = records / percentile(storeSeconds, 0.5);
    state.counters["floor_records_per_s"] = records / percentile(floorSeconds, 0.5);
    state.counters["ratio"] = pairedRatio(storeSeconds, floorSeconds);
    double total = 0;
    for (double batch : storeSeconds)
        total += batch;
    state.counters["reader_records_per_s"] =
        static_cast<double>(recordsRead() - readBefore) / total;
}
BENCHMARK(BM_Append)->ArgName("reader")->Arg(0)->Arg(1)->UseManualTime()->Unit(
    benchmark::kMillisecond);

void BM_ProducerWait(benchmark::State& state)
{
    benchProducerWait(state, readStore);
}
BENCHMARK(BM_ProducerWait)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

// The append that finds the store full moves every record to a buffer twice
// the size, under the lock. Timed at 131,072 records, against the same append
// to an unlocked vector that is just as full; each pair takes turns at going
// first. Medians count.
void BM_GrowingAppend(benchmark::State& state)
{
    constexpr std::size_t kFull = 131'072;  // the capacity after as many appends from empty
    const tagDATA_REPORT record = pack(PenSample{4000, 2000, 300, true}, 0);
    std::vector<double> storeUs;
    std::vector<double> plainUs;
    bool storeFirst = true;
    for (auto _ : state) {
        concurrent_vector<tagDATA_REPORT> store;
        std::vector<tagDATA_REPORT> plain;
        for (std::size_t i = 0; i < kFull; ++i) {
            store.push_back(record);
            plain.push_back(record);
        }
        if (store.capacity() != kFull || plain.capacity() != kFull) {
            state.SkipWithError("the vector grows by another rule");
            return;
        }
        const auto timed = [](auto&& append) {
            const Clock::time_point start = Clock::now();
            append();
            return 1e6 * seconds(Clock::now() - start);
        };
        if (storeFirst)
            storeUs.push_back(timed([&] { store.push_back(record); }));
        plainUs.push_back(timed([&] { plain.push_back(record); }));
        if (!storeFirst)
            storeUs.push_back(timed([&] { store.push_back(record); }));
        storeFirst = !storeFirst;
        state.SetIterationTime(storeUs.back() / 1e6);
    }
    state.counters["median_us"] = percentile(storeUs, 0.5);
    state.counters["floor_median_us"] = percentile(plainUs, 0.5);
    state.counters["ratio"] = pairedRatio(storeUs, plainUs);
}
BENCHMARK(BM_GrowingAppend)->Iterations(20)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Bytes the store holds per record after 1,000,000 appends; run first, while
// the store is still new.
double bytesPerRecord()
{
    constexpr std::size_t kRecords = 1'000'000;
    fillStore(makeSignature(kRecords), kRecords);
    return static_cast<double>(myvector.capacity() * sizeof(tagDATA_REPORT)) /
           static_cast<double>(myvector.size());
}

std::string rate(double perSecond)
{
    return fixed(perSecond / 1e6, 1, " M/s");
}

}  // namespace

int main(int argc, char** argv)
{
    Table table(argc, argv);
    const double bytes = bytesPerRecord();
    myvector.clear();
    Results results;
    if (!runBenchmarks(argc, argv, results))
        return 1;

    for (const char* reader : {"0", "1"}) {
        const std::string name = std::string("BM_Append/reader:") + reader + "/";
        const double perSecond = results.get(name, "records_per_s");
        const double floor = results.get(name, "floor_records_per_s");
        const bool concurrent = reader[0] == '1';
        const std::string figure = concurrent
                                       ? "Appends, with a reader walking the store (it copied " +
                                             rate(results.get(name, "reader_records_per_s")) + ")"
                                       : "Appends, producer alone";
        table.row(figure, rate(perSecond), rate(floor) + " (unlocked vector)",
                  results.get(name, "ratio"),
                  concurrent ? verdict("≥ 5 M/s", perSecond >= 5e6) : "");
    }

    producerWaitRows(table, results, "BM_ProducerWait/", "a reader walks 100,000 records");

    const double growing = results.get("BM_GrowingAppend/", "median_us");
    const double growingFloor = results.get("BM_GrowingAppend/", "floor_median_us");
    table.row("Append that doubles the store at 131,072 records (median)", fixed(growing, 1, " µs"),
              fixed(growingFloor, 1, " µs") + " (unlocked vector)",
              results.get("BM_GrowingAppend/", "ratio"));

    table.row("Store bytes per record at 1,000,000 records", fixed(bytes, 2, " B"),
              std::to_string(sizeof(tagDATA_REPORT)) + " B (record size)",
              bytes / static_cast<double>(sizeof(tagDATA_REPORT)), verdict("≤ 16 B", bytes <= 16));
    return 0;
}
