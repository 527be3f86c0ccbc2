// The pen report store: how samples are packed, the store's contract, and
// that records cross from a producer thread intact.
#include "mainframe.h"
#include "myvector.h"

#include <VellixTablet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;

tagDATA_REPORT stored(std::size_t index)
{
    tagDATA_REPORT r{};
    EXPECT_TRUE(myvector.try_get(index, r));
    return r;
}

tagDATA_REPORT pack(std::int32_t x, std::int32_t y, std::int32_t third, unsigned char contact,
                    std::uint32_t eighth)
{
    myvector.clear();
    MainFrame::PenDataHandler(x, y, third, contact, 0, 0, 0, eighth);
    EXPECT_EQ(myvector.size(), 1u);
    return stored(0);
}

// Waits for condition without sleeping longer than a poll interval at a time.
template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds timeout = 5s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

}  // namespace

TEST(PenReportPacking, KeepsOnlyTheLowBitsOfEachArgument)
{
    struct Case {
        std::int32_t x, y, third;
        unsigned char contact;
        std::uint32_t eighth;
        unsigned expContact, expX, expY, expThird, expEighth;
    };
    const Case cases[] = {
        {100, 200, 512, 1, 7, 1, 100, 200, 0, 7},
        {1, 2, 3, 3, 4, 1, 1, 2, 3, 4},            // only bit 0 of contact counts
        {1, 2, 3, 2, 4, 0, 1, 2, 3, 4},
        {70000, 65535, 0x1234, 0, 0xABCDEF12u, 0, 4464, 65535, 0x34, 0x12},
        {-1, -70000, -1, 0xFF, 0xFFFFFFFFu, 1, 65535, 61072, 0xFF, 0xFF},
    };
    for (const Case& c : cases) {
        const tagDATA_REPORT r = pack(c.x, c.y, c.third, c.contact, c.eighth);
        EXPECT_EQ(r.reserved, 0u);
        EXPECT_EQ(r.contact, c.expContact) << "contact argument " << int(c.contact);
        EXPECT_EQ(r.x, c.expX) << "x " << c.x;
        EXPECT_EQ(r.y, c.expY) << "y " << c.y;
        EXPECT_EQ(r.thirdLow, c.expThird);
        EXPECT_EQ(r.eighthLow, c.expEighth);
    }
}

TEST(PenReportPacking, IgnoresTheFifthSixthAndSeventhArguments)
{
    myvector.clear();
    MainFrame::PenDataHandler(10, 20, 30, 1, 0, 0, 0, 40);
    MainFrame::PenDataHandler(10, 20, 30, 1, 0xFF, -12345, 0xFFFFFFFFu, 40);
    const tagDATA_REPORT a = stored(0), b = stored(1);
    EXPECT_EQ(a.contact, b.contact);
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.thirdLow, b.thirdLow);
    EXPECT_EQ(a.eighthLow, b.eighthLow);
}

TEST(PenReportPacking, ByteLayout)
{
    tagDATA_REPORT r{};
    r.contact = 1;
    r.x = 0x1234;
    r.y = 0x5678;
    r.thirdLow = 0x9A;
    r.eighthLow = 0xBC;
    unsigned char bytes[8];
    std::memcpy(bytes, &r, sizeof bytes);
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[1] & 0x01, 0x01);  // contact is bit 0 of byte 1
    EXPECT_EQ(bytes[2] | bytes[3] << 8, 0x1234);
    EXPECT_EQ(bytes[4] | bytes[5] << 8, 0x5678);
    EXPECT_EQ(bytes[6], 0x9A);
    EXPECT_EQ(bytes[7], 0xBC);
}

TEST(ConcurrentVector, TryGetOnAnEmptyStoreIsFalseForAnyIndex)
{
    concurrent_vector<int> store;
    int out = -1;
    for (std::size_t index : {std::size_t{0}, std::size_t{5}, SIZE_MAX})
        EXPECT_FALSE(store.try_get(index, out));
    EXPECT_EQ(out, -1);
}

TEST(ConcurrentVector, TryGetPastTheEndThrowsAndReleasesTheLock)
{
    concurrent_vector<int> store;
    store.push_back(1);
    int out = 0;
    EXPECT_THROW(store.try_get(1, out), std::out_of_range);

    // Another thread can still take the lock.
    auto other = std::async(std::launch::async, [&] {
        store.push_back(2);
        return store.size();
    });
    ASSERT_EQ(other.wait_for(5s), std::future_status::ready) << "lock left held";
    EXPECT_EQ(other.get(), 2u);
}

TEST(ConcurrentVector, ClearEmptiesKeepsCapacityAndAppendsGoOn)
{
    concurrent_vector<int> store;
    for (int i = 0; i < 1000; ++i)
        store.push_back(i);
    const std::size_t capacity = store.capacity();
    EXPECT_GE(capacity, 1000u);
    EXPECT_LT(capacity, 2000u) << "capacity grows by doubling";

    store.clear();
    EXPECT_EQ(store.size(), 0u);
    EXPECT_EQ(store.capacity(), capacity);

    store.push_back(42);
    int out = 0;
    ASSERT_TRUE(store.try_get(0, out));
    EXPECT_EQ(out, 42);
    EXPECT_EQ(store.size(), 1u);
}

// One thread appends numbered records at full speed while another reads and
// sometimes clears. Every record read must be whole, and what is left after
// the last clear must be an unbroken run ending with the last record.
TEST(ConcurrentVector, RecordsCrossThreadsWholeAndNoneAreLost)
{
    constexpr std::uint32_t kRecords = 200000;
    auto makeRecord = [](std::uint32_t n) {
        tagDATA_REPORT r{};
        r.contact = n & 1U;
        r.x = static_cast<std::uint16_t>(n);
        r.y = static_cast<std::uint16_t>(n >> 16);
        r.thirdLow = static_cast<std::uint8_t>(~n);
        r.eighthLow = static_cast<std::uint8_t>(n ^ (n >> 8));
        return r;
    };
    auto numberOf = [](const tagDATA_REPORT& r) { return std::uint32_t{r.x} | std::uint32_t{r.y} << 16; };
    auto whole = [&](const tagDATA_REPORT& r) {
        const tagDATA_REPORT expected = makeRecord(numberOf(r));
        return r.contact == expected.contact && r.thirdLow == expected.thirdLow &&
               r.eighthLow == expected.eighthLow && r.reserved == 0;
    };

    concurrent_vector<tagDATA_REPORT> store;
    std::atomic<bool> done{false};
    // The reader stops clearing, and says so, before the last stretch of
    // appends, so records are always left for the final check.
    std::atomic<bool> clearing{true};
    std::atomic<bool> clearsStopped{false};
    std::thread producer([&] {
        for (std::uint32_t n = 0; n < kRecords; ++n) {
            if (n == kRecords - 10000) {
                clearing = false;
                while (!clearsStopped)
                    std::this_thread::yield();
            }
            store.push_back(makeRecord(n));
        }
        done = true;
    });

    std::size_t torn = 0, reads = 0, clears = 0;
    while (!done) {
        if (!clearing)
            clearsStopped = true;
        const std::size_t n = store.size();
        tagDATA_REPORT r;
        for (std::size_t i = n > 64 ? n - 64 : 0; i < n; ++i) {
            if (store.try_get(i, r)) {
                ++reads;
                torn += whole(r) ? 0 : 1;
            }
        }
        if (n > 20000 && clearing) {
            store.clear();
            ++clears;
        }
    }
    producer.join();

    EXPECT_EQ(torn, 0u);
    EXPECT_GT(reads, 0u);
    const std::size_t n = store.size();
    ASSERT_GT(n, 0u);
    tagDATA_REPORT first{}, last{};
    ASSERT_TRUE(store.try_get(0, first));
    ASSERT_TRUE(store.try_get(n - 1, last));
    EXPECT_EQ(numberOf(last), kRecords - 1);
    EXPECT_EQ(numberOf(last) - numberOf(first) + 1, n) << "records lost after the last clear";
    for (std::size_t i = 0; i < n; ++i) {
        tagDATA_REPORT r;
        ASSERT_TRUE(store.try_get(i, r));
        ASSERT_EQ(numberOf(r), numberOf(first) + i);
        ASSERT_TRUE(whole(r));
    }
    RecordProperty("clears", static_cast<int>(clears));
}

namespace {

std::atomic<bool> g_closeReturned{false};
std::atomic<int> g_callsAfterClose{0};
std::atomic<std::thread::id> g_callbackThread{};

void countingHandler(std::int32_t x, std::int32_t y, std::int32_t third, unsigned char contact,
                     unsigned char fifth, std::int32_t sixth, std::uint32_t seventh,
                     std::uint32_t eighth)
{
    if (g_closeReturned)
        ++g_callsAfterClose;
    g_callbackThread = std::this_thread::get_id();
    MainFrame::PenDataHandler(x, y, third, contact, fifth, sixth, seventh, eighth);
}

}  // namespace

TEST(PadToStore, OurLibraryFillsTheStoreOnItsOwnThreadUntilClose)
{
    setenv("VELLIX_SIM_RATE", "5000", 1);
    myvector.clear();
    VellixTablet pad;
    ASSERT_TRUE(pad.SelectProvider(pad.GetProviderId(0)));
    pad.SetDataCallback(countingHandler);
    ASSERT_TRUE(pad.Open());

    ASSERT_TRUE(waitFor([] { return myvector.size() >= 500; }));
    EXPECT_NE(g_callbackThread.load(), std::this_thread::get_id());

    pad.Close();
    g_closeReturned = true;
    const std::size_t atClose = myvector.size();

    // The sample numbers' low bytes run on without a gap, and the pen both
    // touched and lifted.
    bool touched = false, lifted = false;
    tagDATA_REPORT previous = stored(0);
    for (std::size_t i = 1; i < atClose; ++i) {
        const tagDATA_REPORT r = stored(i);
        ASSERT_EQ(static_cast<std::uint8_t>(previous.eighthLow + 1), r.eighthLow) << "at " << i;
        touched |= r.contact == 1;
        lifted |= r.contact == 0;
        previous = r;
    }
    EXPECT_TRUE(touched);
    EXPECT_TRUE(lifted);

    // An observation window several sample periods long: nothing may arrive.
    EXPECT_FALSE(waitFor([] { return g_callsAfterClose > 0; }, 100ms));
    EXPECT_EQ(myvector.size(), atClose);
    pad.ReleaseProvider();
}
