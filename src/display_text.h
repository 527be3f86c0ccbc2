// Turning strings from the pad library into text that GTK and the terminal
// accept: the library's strings may be null, very long or not UTF-8.
#ifndef DISPLAY_TEXT_H
#define DISPLAY_TEXT_H

#include <glibmm/ustring.h>

#include <cstddef>
#include <string>

namespace display_text {

// Valid UTF-8 for any input: null becomes empty, invalid bytes become U+FFFD.
std::string from_library(const char* text);

// The longest prefix of valid UTF-8 text that fits max_bytes, cut only at a
// character boundary.
std::string fit_bytes(const std::string& text, std::size_t max_bytes);

// The text in the locale's character set, for writing to standard output.
// Characters the locale cannot represent become '?', so this never throws.
std::string to_locale(const Glib::ustring& text);

}  // namespace display_text

#endif
