#include "main_loop.h"

#include <glibmm/main.h>

bool runUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    auto context = Glib::MainContext::get_default();
    // Wakes the blocking iteration now and then so the condition and the
    // deadline are rechecked even when nothing else happens.
    sigc::connection tick = Glib::signal_timeout().connect([] { return true; }, 10);
    bool held = condition();
    while (!held && std::chrono::steady_clock::now() < deadline) {
        context->iteration(true);
        held = condition();
    }
    tick.disconnect();
    return held;
}

void drainEvents()
{
    auto context = Glib::MainContext::get_default();
    while (context->pending())
        context->iteration(false);
}
