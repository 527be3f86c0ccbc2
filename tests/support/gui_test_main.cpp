// Test entry point for tests that need GTK: one toolkit instance for the
// process, as the program has.
#include <gtest/gtest.h>
#include <gtkmm/main.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    Gtk::Main kit(argc, argv, true);
    return RUN_ALL_TESTS();
}
