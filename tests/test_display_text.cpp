// Making the pad library's strings safe for GTK and the terminal.
#include "display_text.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <clocale>
#include <string>

TEST(DisplayText, FromLibraryAlwaysGivesValidUtf8)
{
    EXPECT_EQ(display_text::from_library(nullptr), "");
    EXPECT_EQ(display_text::from_library("Pen \xC3\xA4"), "Pen \xC3\xA4");
    EXPECT_EQ(display_text::from_library("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
    const std::string cut = display_text::from_library("cut\xE2\x9C");
    EXPECT_TRUE(g_utf8_validate(cut.c_str(), -1, nullptr));
    EXPECT_EQ(cut.rfind("cut\xEF\xBF\xBD", 0), 0u);
}

TEST(DisplayText, FitBytesCutsOnlyAtCharacterBoundaries)
{
    const std::string text = "ab\xC3\xA4\xE2\x9C\x8D";  // a b ä ✍ : 1+1+2+3 bytes
    EXPECT_EQ(display_text::fit_bytes(text, 100), text);
    EXPECT_EQ(display_text::fit_bytes(text, 7), text);
    EXPECT_EQ(display_text::fit_bytes(text, 6), "ab\xC3\xA4");
    EXPECT_EQ(display_text::fit_bytes(text, 5), "ab\xC3\xA4");
    EXPECT_EQ(display_text::fit_bytes(text, 3), "ab");
    EXPECT_EQ(display_text::fit_bytes(text, 0), "");
}

TEST(DisplayText, ToLocaleReplacesWhatTheLocaleCannotShow)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(display_text::to_locale("{A1}-Stift \xC3\xA4"), "{A1}-Stift ?");
    std::setlocale(LC_ALL, "C.UTF-8");
    EXPECT_EQ(display_text::to_locale("{A1}-Stift \xC3\xA4"), "{A1}-Stift \xC3\xA4");
    std::setlocale(LC_ALL, saved.c_str());
}
