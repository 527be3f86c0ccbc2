// Helpers for driving the GTK main loop from tests.
#ifndef TESTS_MAIN_LOOP_H
#define TESTS_MAIN_LOOP_H

#include <chrono>
#include <functional>

// Runs the main loop until condition holds or timeout passes; returns
// whether it held. Blocks in the loop rather than sleeping, so timers and
// redraws run as they would in the program.
bool runUntil(const std::function<bool()>& condition,
              std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Dispatches everything that is ready now, without blocking.
void drainEvents();

#endif
