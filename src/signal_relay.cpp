#include "signal_relay.h"

#include <glibmm/main.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

SignalRelay::SignalRelay() : readFd_(-1), writeFd_(-1), fired_(false)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        readFd_ = fds[0];
        writeFd_ = fds[1];
    }
    // The pipe is never closed: a signal may arrive during static
    // destruction, and writing to a closed (or reused) descriptor then would
    // be worse than keeping two descriptors until the process ends.
}

void SignalRelay::notify() noexcept
{
    const int savedErrno = errno;
    if (writeFd_ >= 0) {
        const char byte = 1;
        // A full pipe already holds a pending notification: the failed
        // write loses nothing.
        [[maybe_unused]] const ssize_t written = write(writeFd_, &byte, 1);
    }
    errno = savedErrno;
}

sigc::connection SignalRelay::connect(const sigc::slot<void>& slot)
{
    slot_ = slot;
    if (readFd_ < 0)
        return sigc::connection();
    return Glib::signal_io().connect(sigc::mem_fun(*this, &SignalRelay::on_readable), readFd_,
                                     Glib::IO_IN);
}

bool SignalRelay::on_readable(Glib::IOCondition /*condition*/)
{
    char buffer[64];
    while (read(readFd_, buffer, sizeof buffer) > 0) {
    }
    if (!fired_) {
        fired_ = true;
        slot_();
    }
    return true;
}
