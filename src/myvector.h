// The pen report and the locked store that carries reports from the pad
// library's callback thread to the GUI thread.
#ifndef MYVECTOR_H
#define MYVECTOR_H

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/locks.hpp>
#include <boost/thread/mutex.hpp>

#include <cstddef>
#include <cstdint>
#include <vector>

// One pen sample as stored: 8 bytes, packed from the pad library's callback.
struct tagDATA_REPORT {
    std::uint8_t reserved;     // always 0
    std::uint8_t contact : 1;  // set while the pen touches the pad
    std::uint8_t : 7;          // unused
    std::uint16_t x;           // low 16 bits of the device x
    std::uint16_t y;           // low 16 bits of the device y
    std::uint8_t thirdLow;     // low byte of the pressure argument
    std::uint8_t eighthLow;    // low byte of the sample number
};

static_assert(sizeof(tagDATA_REPORT) == 8, "a pen report is 8 bytes");
static_assert(offsetof(tagDATA_REPORT, reserved) == 0, "reserved is byte 0");
static_assert(offsetof(tagDATA_REPORT, x) == 2, "x is bytes 2-3");
static_assert(offsetof(tagDATA_REPORT, y) == 4, "y is bytes 4-5");
static_assert(offsetof(tagDATA_REPORT, thirdLow) == 6, "thirdLow is byte 6");
static_assert(offsetof(tagDATA_REPORT, eighthLow) == 7, "eighthLow is byte 7");

// A vector guarded by one mutex. Every operation holds the lock only for its
// own access and never calls out while holding it; readers get copies.
template <typename T>
class concurrent_vector {
public:
    void push_back(const T& item)
    {
        {
            boost::unique_lock<boost::mutex> lock(mutex_, boost::try_to_lock);
            // A redraw takes the lock again right after each copy, so a
            // producer that went to sleep on it tends to wake and find it taken
            // again. Retrying briefly first catches the reader between copies.
            for (int i = 0; i < 100 && !lock.owns_lock(); ++i) {
                cpuRelax();
                lock.try_lock();
            }
            if (!lock.owns_lock())
                lock.lock();
            items_.push_back(item);
        }
        // Notified outside the lock so a woken waiter does not block on it.
        appended_.notify_one();
    }

    // Empties the store; the capacity is kept so refilling does not reallocate.
    void clear()
    {
        boost::lock_guard<boost::mutex> lock(mutex_);
        items_.clear();
    }

    // A snapshot: other threads may append right after it is read.
    std::size_t size() const
    {
        boost::lock_guard<boost::mutex> lock(mutex_);
        return items_.size();
    }

    std::size_t capacity() const
    {
        boost::lock_guard<boost::mutex> lock(mutex_);
        return items_.capacity();
    }

    // Copies element index into out. False if the store is empty; an index
    // past the end of a non-empty store throws std::out_of_range.
    bool try_get(std::size_t index, T& out) const
    {
        boost::lock_guard<boost::mutex> lock(mutex_);
        if (items_.empty())
            return false;
        out = items_.at(index);
        return true;
    }

private:
    static void cpuRelax()
    {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }

    std::vector<T> items_;
    mutable boost::mutex mutex_;
    boost::condition_variable appended_;
};

// The process-wide report store, filled by MainFrame::PenDataHandler.
extern concurrent_vector<tagDATA_REPORT> myvector;

#endif
