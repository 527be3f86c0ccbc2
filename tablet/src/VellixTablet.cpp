// The simulated pad: providers and device properties come from VELLIX_SIM_
// environment variables (read once per object), and an open device delivers
// PenSimulator samples from a sample thread of its own.

// The library is built with hidden visibility; only the interface class is exported.
#pragma GCC visibility push(default)
#include "VellixTablet.h"
#pragma GCC visibility pop

#include "pen_simulator.h"
#include "settings.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint64_t kNanosPerSecond = 1000000000;

// Stop request for one sample thread. The thread shares ownership of it (and
// of the callback slot), so it never touches the VellixTablet object and keeps
// working state even when the object is destroyed from inside the callback.
struct StopSignal {
    std::mutex mutex;
    std::condition_variable cv;
    std::atomic<bool> stop{false};

    void request() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop.store(true);
        }
        cv.notify_all();
    }
};

using CallbackSlot = std::atomic<PenDataCallback>;

// Sample n is due ceil(n / rate) seconds after the start. The products are
// split into whole seconds and a remainder so that they cannot overflow.
std::chrono::nanoseconds dueTime(std::uint64_t n, std::uint32_t rate) {
    const std::uint64_t ns = n / rate * kNanosPerSecond + ((n % rate) * kNanosPerSecond + rate - 1) / rate;
    return std::chrono::nanoseconds(static_cast<std::int64_t>(ns));
}

// Number of samples due once `elapsed` has passed (sample 0 is due at once).
std::uint64_t samplesDue(Clock::duration elapsed, std::uint32_t rate) {
    const auto ns = static_cast<std::uint64_t>(
        std::max<std::int64_t>(0, std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()));
    return ns / kNanosPerSecond * rate + (ns % kNanosPerSecond) * rate / kNanosPerSecond + 1;
}

// Milliseconds from the start to sample n's due time; wraps like the pad's
// 32-bit counter.
std::uint32_t timestampMs(std::uint64_t n, std::uint32_t rate) {
    return static_cast<std::uint32_t>(n / rate * 1000 + (n % rate) * 1000 / rate);
}

struct SampleParams {
    std::int32_t minX, minY, maxX, maxY;
    std::uint32_t rate;
};

// Body of the sample thread. Pacing is absolute: every sample due by now is
// emitted (a batch at high rates or after a delay), then the thread waits
// until the next one is due or a stop is requested. The stop flag is checked
// before every sample, so a Close from inside the callback ends delivery at once.
void runSamples(std::shared_ptr<StopSignal> signal, std::shared_ptr<CallbackSlot> callback,
                SampleParams p) {
    vellix_sim::PenSimulator simulator(p.minX, p.minY, p.maxX, p.maxY);
    const Clock::time_point start = Clock::now();
    std::uint64_t n = 0;
    while (!signal->stop.load()) {
        const std::uint64_t due = samplesDue(Clock::now() - start, p.rate);
        for (; n < due && !signal->stop.load(); ++n) {
            const vellix_sim::PenSample s = simulator.next();
            if (const PenDataCallback fn = callback->load()) {
                fn(s.x, s.y, s.pressure, s.touching ? 1 : 0, 0, 0, timestampMs(n, p.rate),
                   static_cast<std::uint32_t>(n));
            }
        }
        std::unique_lock<std::mutex> lock(signal->mutex);
        signal->cv.wait_until(lock, start + dueTime(n, p.rate), [&] { return signal->stop.load(); });
    }
}

}  // namespace

class VellixTablet::Impl {
public:
    const vellix_sim::SimSettings settings = vellix_sim::readSimSettings();
    const std::shared_ptr<CallbackSlot> callback = std::make_shared<CallbackSlot>(nullptr);

    short providerCount() const { return static_cast<short>(settings.providers.size()); }

    const vellix_sim::Provider* provider(short index) const {
        if (settings.nullStrings || index < 0 || index >= providerCount()) return nullptr;
        return &settings.providers[static_cast<std::size_t>(index)];
    }

    bool select(const char* id) {
        if (settings.selectFails || !id) return false;
        for (std::size_t i = 0; i < settings.providers.size(); ++i) {
            if (std::strcmp(settings.providers[i].id.c_str(), id) != 0) continue;
            const int index = static_cast<int>(i);
            if (selected() == index) return true;
            close();  // the open device belongs to the provider being replaced
            std::lock_guard<std::mutex> lock(mutex_);
            selected_ = index;
            return true;
        }
        return false;
    }

    bool release() {
        close();
        std::lock_guard<std::mutex> lock(mutex_);
        selected_ = -1;
        return true;
    }

    short deviceCount() { return selected() >= 0 ? settings.deviceCount : 0; }

    bool open() {
        if (settings.openFails) return false;
        joinStopped();
        std::lock_guard<std::mutex> lock(mutex_);
        if (selected_ < 0 || settings.deviceCount <= 0) return false;
        if (signal_) return true;  // already open: keep the running thread
        try {
            auto signal = std::make_shared<StopSignal>();
            const SampleParams params{settings.minX, settings.minY, settings.maxX, settings.maxY,
                                      settings.rate};
            thread_ = std::thread(runSamples, signal, callback, params);
            signal_ = std::move(signal);
            return true;
        } catch (...) {  // no thread could be started
            return false;
        }
    }

    // Stops the sample thread and joins it, so that no callback runs after
    // this returns. A thread cannot join itself: called from inside the
    // callback, the calling thread is only asked to stop and is kept in
    // stopped_ for a later call from another thread (or the destructor).
    bool close() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (signal_) {
                signal_->request();
                signal_.reset();
                stopped_.push_back(std::move(thread_));
            }
        }
        joinStopped();
        return true;
    }

    // Called by the destructor after close(): what is left is the calling
    // sample thread, which owns all it still uses and ends once the callback
    // returns.
    void detachStopped() {
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::thread& t : stopped_) t.detach();
        stopped_.clear();
    }

private:
    int selected() {
        std::lock_guard<std::mutex> lock(mutex_);
        return selected_;
    }

    // Joins the stopped threads other than the calling one, outside the lock
    // so that their last callbacks may still call into this object.
    void joinStopped() {
        std::vector<std::thread> toJoin;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const std::thread::id self = std::this_thread::get_id();
            for (auto it = stopped_.begin(); it != stopped_.end();) {
                if (it->get_id() == self) {
                    ++it;
                } else {
                    toJoin.push_back(std::move(*it));
                    it = stopped_.erase(it);
                }
            }
        }
        for (std::thread& t : toJoin) t.join();
    }

    std::mutex mutex_;
    int selected_ = -1;                     // index of the selected provider, -1 if none
    std::shared_ptr<StopSignal> signal_;    // set while the device is open
    std::thread thread_;                    // the open device's sample thread
    std::vector<std::thread> stopped_;      // asked to stop, not yet joined
};

VellixTablet::VellixTablet() : impl_(new Impl) {}

VellixTablet::~VellixTablet() {
    impl_->close();
    impl_->detachStopped();
    delete impl_;
}

bool VellixTablet::Close() { return impl_->close(); }
bool VellixTablet::Open() { return impl_->open(); }
short VellixTablet::GetProviderCount() { return impl_->providerCount(); }

const char* VellixTablet::GetProviderId(short index) {
    const vellix_sim::Provider* p = impl_->provider(index);
    return p ? p->id.c_str() : nullptr;
}

const char* VellixTablet::GetProviderName(short index) {
    const vellix_sim::Provider* p = impl_->provider(index);
    return p ? p->name.c_str() : nullptr;
}

bool VellixTablet::SelectProvider(const char* id) { return impl_->select(id); }
bool VellixTablet::ReleaseProvider() { return impl_->release(); }
short VellixTablet::GetDeviceCount() { return impl_->deviceCount(); }
std::int32_t VellixTablet::GetMinX() { return impl_->settings.minX; }
std::int32_t VellixTablet::GetMinY() { return impl_->settings.minY; }
std::int32_t VellixTablet::GetMaxX() { return impl_->settings.maxX; }
std::int32_t VellixTablet::GetMaxY() { return impl_->settings.maxY; }
double VellixTablet::GetWidthInches() { return impl_->settings.widthInches; }
double VellixTablet::GetHeightInches() { return impl_->settings.heightInches; }

bool VellixTablet::SetDataCallback(PenDataCallback callback) {
    impl_->callback->store(callback);
    return true;
}

// Slots of the table that the program never calls.
void VellixTablet::Reserved1() {}
void VellixTablet::Reserved2() {}
void VellixTablet::Reserved3() {}
void VellixTablet::Reserved4() {}
void VellixTablet::Reserved5() {}
void VellixTablet::Reserved6() {}
void VellixTablet::Reserved7() {}
void VellixTablet::Reserved8() {}
void VellixTablet::Reserved9() {}
