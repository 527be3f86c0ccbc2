#include "main_loop.h"

#include <glibmm/main.h>
#include <gtest/gtest.h>
#include <gtkmm/main.h>

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

bool runUntilQuit(const std::function<void()>& start, std::chrono::milliseconds timeout)
{
    bool timedOut = false;
    Glib::signal_idle().connect_once(start);
    sigc::connection guard = Glib::signal_timeout().connect(
        [&] {
            timedOut = true;
            Gtk::Main::quit();
            return false;
        },
        static_cast<unsigned>(timeout.count()));
    Gtk::Main::run();
    guard.disconnect();
    return !timedOut;
}

void click(Gtk::Button& button)
{
    ASSERT_TRUE(button.is_sensitive()) << button.get_label() << " is not clickable";
    button.clicked();
}
