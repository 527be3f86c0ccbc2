// Carries a POSIX signal from its handler to the GTK main loop: the handler
// only writes a byte to a pipe, and a watch on the main loop runs the
// connected slot there, once, however many signals arrive.
#ifndef SIGNAL_RELAY_H
#define SIGNAL_RELAY_H

#include <glibmm/iochannel.h>
#include <sigc++/connection.h>
#include <sigc++/functors/slot.h>

class SignalRelay {
public:
    // Creates the pipe. Construct it before the signal handler is installed.
    SignalRelay();

    SignalRelay(const SignalRelay&) = delete;
    SignalRelay& operator=(const SignalRelay&) = delete;

    // Async-signal-safe: may be called from a signal handler at any moment.
    void notify() noexcept;

    // Watches the pipe on the default main context. The first notification,
    // including one made before this call, runs slot on the main loop; later
    // ones are drained and ignored.
    sigc::connection connect(const sigc::slot<void>& slot);

private:
    bool on_readable(Glib::IOCondition condition);

    int readFd_;
    int writeFd_;
    bool fired_;
    sigc::slot<void> slot_;
};

#endif
