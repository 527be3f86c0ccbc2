// Test entry point for tests that need GTK: one toolkit instance for the
// process, as the program has.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <gtkmm/main.h>

#include <chrono>
#include <thread>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();

    // The test run's X server may refuse a connection for a moment while
    // other test processes start and stop; such a refusal says nothing about
    // the code under test, so the display is tried again for a few seconds.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!gtk_init_check(&argc, &argv) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));

    Gtk::Main kit(argc, argv, true);
    return RUN_ALL_TESTS();
}
