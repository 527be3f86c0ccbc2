#include "mainframe.h"
#include "signal_relay.h"

#include <VellixTablet.h>
#include <gtkmm/main.h>

#include <csignal>

MainFrame* window = nullptr;

namespace {
// Built during static initialisation, so it exists before SIGINT is hooked.
SignalRelay sigintRelay;
}  // namespace

// Only wakes the main loop: the exit sequence calls GTK and the pad library,
// which must not happen inside a signal handler.
void signal_handler(int /*sig*/)
{
    sigintRelay.notify();
}

int main(int argc, char** argv)
{
    std::signal(SIGINT, signal_handler);
    Gtk::Main kit(argc, argv, true);
    VellixTablet* pad = new VellixTablet();
    window = new MainFrame(pad);
    // A SIGINT that came while the window was being built is waiting in the
    // relay and ends the program as soon as the main loop runs.
    sigc::connection exitOnSigint =
        sigintRelay.connect([] { window->onExitClicked(nullptr); });

    Gtk::Main::run(*window);

    exitOnSigint.disconnect();
    delete pad;
    if (window)
        delete window;
    return 0;
}
