// Tests of the simulated pad library through its public class, configured by
// VELLIX_SIM_ variables, and of its signature generator.
#include "VellixTablet.h"

#include "../tablet/src/pen_simulator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using vellix_sim::PenSimulator;

struct Record {
    std::int32_t x, y, pressure;
    unsigned char contact, buttons;
    std::int32_t status;
    std::uint32_t timestamp, sequence;
    std::thread::id thread;
};

// The callback is a plain function pointer, so what it sees goes to globals.
std::mutex g_mutex;
std::condition_variable g_cv;
std::vector<Record> g_records;
std::atomic<int> g_inCallback{0};
std::atomic<bool> g_slowCallback{false};  // widens the window in which Close meets a running callback
constexpr std::size_t kMaxRecords = 20000;

void record(std::int32_t x, std::int32_t y, std::int32_t pressure, unsigned char contact,
            unsigned char buttons, std::int32_t status, std::uint32_t timestamp, std::uint32_t sequence) {
    ++g_inCallback;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_records.size() < kMaxRecords)
            g_records.push_back({x, y, pressure, contact, buttons, status, timestamp, sequence,
                                 std::this_thread::get_id()});
    }
    g_cv.notify_all();
    if (g_slowCallback) std::this_thread::sleep_for(1ms);
    --g_inCallback;
}

bool waitForRecords(std::size_t n) {
    std::unique_lock<std::mutex> lock(g_mutex);
    return g_cv.wait_for(lock, 20s, [n] { return g_records.size() >= n; });
}

std::vector<Record> takeRecords() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return std::move(g_records);
}

void clearSimEnvironment() {
    std::vector<std::string> names;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        if (entry.rfind("VELLIX_SIM_", 0) == 0) names.push_back(entry.substr(0, entry.find('=')));
    }
    for (const std::string& name : names) unsetenv(name.c_str());
}

// A fresh object whose settings are the defaults plus one variable.
std::unique_ptr<VellixTablet> padWith(const char* variable, const char* value) {
    clearSimEnvironment();
    setenv(variable, value, 1);
    return std::make_unique<VellixTablet>();
}

std::string rangeOf(VellixTablet& pad) {
    return std::to_string(pad.GetMinX()) + ',' + std::to_string(pad.GetMinY()) + ',' +
           std::to_string(pad.GetMaxX()) + ',' + std::to_string(pad.GetMaxY());
}

short devicesWith(const char* value) {
    auto pad = padWith("VELLIX_SIM_DEVICES", value);
    pad->SelectProvider("SIM0");
    return pad->GetDeviceCount();
}

bool openRecording(VellixTablet& pad) {
    pad.SetDataCallback(record);
    return pad.SelectProvider("SIM0") && pad.Open();
}

class pad_library : public ::testing::Test {
protected:
    void SetUp() override { clearSimEnvironment(); }
};

TEST_F(pad_library, SettingsDefaultsAndOverridesAreReportedAsGiven) {
    VellixTablet defaults;
    ASSERT_EQ(defaults.GetProviderCount(), 2);
    EXPECT_STREQ(defaults.GetProviderId(1), "SIM1");
    EXPECT_STREQ(defaults.GetProviderName(1), "Simulated Pad 2");
    EXPECT_EQ(rangeOf(defaults), "0,0,9500,5410");
    EXPECT_DOUBLE_EQ(defaults.GetWidthInches(), 3.74);
    EXPECT_DOUBLE_EQ(defaults.GetHeightInches(), 2.13);

    const std::string longId(100000, 'x');
    const char* rawName = "\xff\xfe not UTF-8 \xc3";
    setenv("VELLIX_SIM_PROVIDERS", "3", 1);
    setenv("VELLIX_SIM_ID_1", longId.c_str(), 1);
    setenv("VELLIX_SIM_NAME_2", rawName, 1);
    setenv("VELLIX_SIM_RANGE", "100, 50,-100,-50", 1);  // inverted
    setenv("VELLIX_SIM_SIZE", "nan,inf", 1);
    VellixTablet pad;
    ASSERT_EQ(pad.GetProviderCount(), 3);
    EXPECT_EQ(pad.GetProviderId(1), longId);
    EXPECT_STREQ(pad.GetProviderName(2), rawName);
    EXPECT_STREQ(pad.GetProviderId(2), "SIM2");
    EXPECT_EQ(rangeOf(pad), "100,50,-100,-50");
    EXPECT_TRUE(std::isnan(pad.GetWidthInches()));
    EXPECT_TRUE(std::isinf(pad.GetHeightInches()));
    EXPECT_TRUE(pad.SelectProvider(longId.c_str()));

    EXPECT_EQ(padWith("VELLIX_SIM_SIZE", "1e300,-2")->GetWidthInches(), 1e300);
    EXPECT_EQ(padWith("VELLIX_SIM_SIZE", "1e300,-2")->GetHeightInches(), -2.0);
    EXPECT_EQ(devicesWith("12"), 12);
    EXPECT_EQ(devicesWith("-1"), -1);
}

TEST_F(pad_library, MalformedSettingsFallBackAndNumbersClamp) {
    for (const char* bad : {"", "abc", "2x", "0x10", " "})
        EXPECT_EQ(padWith("VELLIX_SIM_PROVIDERS", bad)->GetProviderCount(), 2) << '"' << bad << '"';
    EXPECT_EQ(padWith("VELLIX_SIM_PROVIDERS", "5000")->GetProviderCount(), 100);
    EXPECT_EQ(padWith("VELLIX_SIM_PROVIDERS", "99999999999999999999999")->GetProviderCount(), 100);
    EXPECT_EQ(padWith("VELLIX_SIM_PROVIDERS", "-3")->GetProviderCount(), 0);
    EXPECT_EQ(devicesWith("70000"), SHRT_MAX);
    EXPECT_EQ(devicesWith("-99999999999999999999999"), SHRT_MIN);
    EXPECT_EQ(devicesWith("many"), 1);
    for (const char* bad : {"1,2,3", "1,2,3,4,5", "1,,3,4", "a,b,c,d", "1,2,3,4x", ""})
        EXPECT_EQ(rangeOf(*padWith("VELLIX_SIM_RANGE", bad)), "0,0,9500,5410") << bad;
    EXPECT_EQ(rangeOf(*padWith("VELLIX_SIM_RANGE", "-99999999999,7,99999999999,7")),
              std::to_string(INT32_MIN) + ",7," + std::to_string(INT32_MAX) + ",7");
    for (const char* bad : {"1", "1,2,3", "x,1", "1,", "3,5 inches"}) {
        auto pad = padWith("VELLIX_SIM_SIZE", bad);
        EXPECT_TRUE(pad->GetWidthInches() == 3.74 && pad->GetHeightInches() == 2.13) << bad;
    }
}

TEST_F(pad_library, ProviderLookupSelectAndOpenFailures) {
    VellixTablet pad;
    pad.SetDataCallback(record);
    for (short index : {short{-1}, short{2}, short{SHRT_MIN}})
        EXPECT_TRUE(!pad.GetProviderId(index) && !pad.GetProviderName(index)) << index;
    EXPECT_FALSE(pad.Open());  // nothing selected
    EXPECT_FALSE(pad.SelectProvider(nullptr));
    EXPECT_FALSE(pad.SelectProvider("SIM9"));
    EXPECT_EQ(pad.GetDeviceCount(), 0);
    EXPECT_TRUE(pad.SelectProvider("SIM1"));
    EXPECT_EQ(pad.GetDeviceCount(), 1);
    EXPECT_TRUE(pad.ReleaseProvider());
    EXPECT_EQ(pad.GetDeviceCount(), 0);
    EXPECT_TRUE(pad.ReleaseProvider());
    EXPECT_TRUE(pad.Close());  // harmless when not open

    auto nulls = padWith("VELLIX_SIM_NULL_STRINGS", "1");
    EXPECT_TRUE(nulls->GetProviderCount() == 2 && !nulls->GetProviderId(0) && !nulls->GetProviderName(1));
    EXPECT_FALSE(padWith("VELLIX_SIM_PROVIDERS", "0")->SelectProvider("SIM0"));
    EXPECT_FALSE(padWith("VELLIX_SIM_SELECT", "fail")->SelectProvider("SIM0"));
    EXPECT_FALSE(openRecording(*padWith("VELLIX_SIM_OPEN", "fail")));
    EXPECT_FALSE(openRecording(*padWith("VELLIX_SIM_DEVICES", "0")));
    EXPECT_FALSE(openRecording(*padWith("VELLIX_SIM_DEVICES", "-3")));
    std::this_thread::sleep_for(100ms);  // window: no failed Open delivers samples
    EXPECT_TRUE(takeRecords().empty());
}

TEST_F(pad_library, HighRateSamplesFormContiguousSignatureOnOneThread) {
    setenv("VELLIX_SIM_RATE", "50000", 1);
    setenv("VELLIX_SIM_RANGE", "-3000,1000,3000,5000", 1);
    VellixTablet pad;
    ASSERT_TRUE(openRecording(pad));
    EXPECT_TRUE(pad.Open());  // already open: must not start a second thread
    ASSERT_TRUE(waitForRecords(kMaxRecords));
    pad.Close();
    const std::vector<Record> r = takeRecords();
    EXPECT_NE(r[0].thread, std::this_thread::get_id());
    std::size_t touchDowns = 0, liftedRun = 0;
    for (std::size_t i = 0; i < r.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(r[i].sequence, i);  // also rules out a second thread's duplicates
        ASSERT_EQ(r[i].timestamp, i / 50);
        ASSERT_EQ(r[i].thread, r[0].thread);
        ASSERT_TRUE(r[i].x >= -3000 && r[i].x <= 3000 && r[i].y >= 1000 && r[i].y <= 5000);
        ASSERT_TRUE(r[i].buttons == 0 && r[i].status == 0);
        ASSERT_TRUE(r[i].contact == 1 ? r[i].pressure > 0 : r[i].contact == 0 && r[i].pressure == 0);
        if (r[i].contact == 0) {
            ++liftedRun;
        } else if (liftedRun > 0) {
            ++touchDowns;
            EXPECT_TRUE(liftedRun >= 3 && liftedRun <= 10) << liftedRun;
            liftedRun = 0;
        }
    }
    EXPECT_GE(touchDowns, 2 * PenSimulator::strokeCount());
}

TEST_F(pad_library, TimestampsFollowTheRateSetting) {
    // Timestamps are the samples' due times, so they show the rate in use.
    const struct {
        const char* value;
        std::uint32_t rate;
        std::size_t samples;
    } cases[] = {{"abc", 200, 4}, {"1000", 1000, 4}, {"2000000", 1000000, 2001}, {"0", 1, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        auto pad = padWith("VELLIX_SIM_RATE", c.value);
        ASSERT_TRUE(openRecording(*pad));
        ASSERT_TRUE(waitForRecords(c.samples));
        pad->Close();
        const std::vector<Record> r = takeRecords();
        for (std::size_t i = 0; i < c.samples; ++i)
            EXPECT_EQ(r[i].timestamp, static_cast<std::uint64_t>(i) * 1000 / c.rate) << i;
    }
}

TEST_F(pad_library, NoCallbackAfterCloseAndReopenRestartsSequence) {
    setenv("VELLIX_SIM_RATE", "20000", 1);
    g_slowCallback = true;
    VellixTablet pad;
    ASSERT_TRUE(openRecording(pad));
    ASSERT_TRUE(waitForRecords(100));
    EXPECT_TRUE(pad.Close());
    EXPECT_EQ(g_inCallback.load(), 0);
    g_slowCallback = false;
    const std::size_t count = takeRecords().size();
    std::this_thread::sleep_for(200ms);  // observation window
    EXPECT_TRUE(takeRecords().empty()) << "after " << count << " samples";

    ASSERT_TRUE(pad.Open());
    ASSERT_TRUE(waitForRecords(1));
    EXPECT_EQ(takeRecords().front().sequence, 0u);
}

// Stopping the device from inside the callback, on the sample thread itself.
enum class StopAction { Close, Release, Destroy };
VellixTablet* g_pad = nullptr;
StopAction g_action;
std::atomic<bool> g_actionDone{false};

void stopOnTenth(std::int32_t x, std::int32_t y, std::int32_t pressure, unsigned char contact,
                 unsigned char buttons, std::int32_t status, std::uint32_t timestamp, std::uint32_t sequence) {
    record(x, y, pressure, contact, buttons, status, timestamp, sequence);
    if (sequence != 10 || g_actionDone) return;
    switch (g_action) {
    case StopAction::Close: g_pad->Close(); break;
    case StopAction::Release: g_pad->ReleaseProvider(); break;
    case StopAction::Destroy: delete g_pad; break;
    }
    // Notified under the lock: after a Destroy nothing joins this thread, so
    // the test's wake-up must be ordered after its last use of the globals.
    std::lock_guard<std::mutex> lock(g_mutex);
    g_actionDone = true;
    g_cv.notify_all();
}

std::string actionName(const ::testing::TestParamInfo<StopAction>& info) {
    const char* names[] = {"Close", "Release", "Destroy"};
    return names[static_cast<int>(info.param)];
}

class pad_library_stop_in_callback : public pad_library, public ::testing::WithParamInterface<StopAction> {};

TEST_P(pad_library_stop_in_callback, EndsDeliveryWithoutDeadlock) {
    g_action = GetParam();
    setenv("VELLIX_SIM_RATE", "1000000", 1);  // samples come in batches: the stop must cut one short
    g_pad = new VellixTablet;
    g_pad->SetDataCallback(stopOnTenth);
    ASSERT_TRUE(g_pad->SelectProvider("SIM0") && g_pad->Open());
    {
        std::unique_lock<std::mutex> lock(g_mutex);
        ASSERT_TRUE(g_cv.wait_for(lock, 20s, [] { return g_actionDone.load(); }));
    }
    std::this_thread::sleep_for(100ms);  // window: sample 11 never comes
    EXPECT_EQ(takeRecords().back().sequence, 10u);
    if (g_action == StopAction::Destroy) return;

    if (g_action == StopAction::Release) {
        EXPECT_EQ(g_pad->GetDeviceCount(), 0);
        ASSERT_TRUE(g_pad->SelectProvider("SIM0"));
    }
    // Opening again from this thread collects the stopped thread and starts anew.
    g_pad->SetDataCallback(record);
    ASSERT_TRUE(g_pad->Open());
    ASSERT_TRUE(waitForRecords(1));
    EXPECT_EQ(takeRecords().front().sequence, 0u);
    delete g_pad;
}

INSTANTIATE_TEST_SUITE_P(Actions, pad_library_stop_in_callback,
                         ::testing::Values(StopAction::Close, StopAction::Release, StopAction::Destroy),
                         actionName);

TEST(pad_simulator, RepeatsOneSmoothSignatureInsideTheRange) {
    const std::int32_t w = 9500, h = 5410;
    PenSimulator sim(0, 0, w, h), twin(0, 0, w, h);
    const std::size_t cycle = PenSimulator::cycleLength();
    EXPECT_TRUE(cycle >= 400 && cycle <= 1200) << cycle;  // 2 to 6 s at 200 samples a second
    std::vector<vellix_sim::PenSample> s;
    for (std::size_t i = 0; i < 2 * cycle; ++i) {
        SCOPED_TRACE(i);
        s.push_back(sim.next());
        const vellix_sim::PenSample t = twin.next();
        ASSERT_TRUE(s[i].x == t.x && s[i].y == t.y && s[i].pressure == t.pressure);
        if (i >= cycle) {
            ASSERT_TRUE(s[i].x == s[i - cycle].x && s[i].y == s[i - cycle].y);
            continue;
        }
        ASSERT_TRUE(s[i].x >= w / 10 && s[i].x <= w * 9 / 10 && s[i].y >= h / 5 && s[i].y <= h * 4 / 5);
        ASSERT_TRUE(s[i].touching ? s[i].pressure >= PenSimulator::kMinPressure &&
                                        s[i].pressure <= PenSimulator::kMaxPressure
                                  : s[i].pressure == 0);
        if (i > 0 && s[i].touching && s[i - 1].touching) {
            ASSERT_LT(std::abs(s[i].x - s[i - 1].x) + std::abs(s[i].y - s[i - 1].y), w / 50);
        }
    }
    EXPECT_TRUE(s[0].touching && !s[cycle - 1].touching);
}

TEST(pad_simulator, DegenerateAndExtremeRanges) {
    PenSimulator inverted(100, 50, -100, -50), empty(7, 7, 7, 7);
    PenSimulator full(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    std::int64_t minX = INT64_MAX, maxX = INT64_MIN;
    for (std::size_t i = 0; i < PenSimulator::cycleLength(); ++i) {
        const vellix_sim::PenSample a = inverted.next(), b = empty.next(), c = full.next();
        ASSERT_TRUE(a.x == 100 && a.y == 50 && b.x == 7 && b.y == 7);
        minX = std::min<std::int64_t>(minX, c.x);
        maxX = std::max<std::int64_t>(maxX, c.x);
    }
    EXPECT_GT(maxX - minX, std::int64_t{INT32_MAX});  // spread over most of the full width
}

}  // namespace
