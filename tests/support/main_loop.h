// Helpers for driving the GTK main loop and the widgets from tests.
#ifndef TESTS_MAIN_LOOP_H
#define TESTS_MAIN_LOOP_H

#include <gtkmm/button.h>

#include <chrono>
#include <functional>

// Runs the main loop until condition holds or timeout passes; returns
// whether it held. Blocks in the loop rather than sleeping, so timers and
// redraws run as they would in the program.
bool runUntil(const std::function<bool()>& condition,
              std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Dispatches everything that is ready now, without blocking.
void drainEvents();

// Runs the main loop with start called from inside it, until something calls
// Gtk::Main::quit(); returns false if that did not happen within timeout.
bool runUntilQuit(const std::function<void()>& start,
                  std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Clicks as a user would: only an active button can be clicked.
void click(Gtk::Button& button);

#endif
