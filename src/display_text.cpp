#include "display_text.h"

#include <glib.h>
#include <glibmm/convert.h>
#include <glibmm/error.h>

#include <memory>

namespace display_text {

std::string from_library(const char* text)
{
    if (text == nullptr)
        return std::string();
    std::unique_ptr<gchar, decltype(&g_free)> valid(g_utf8_make_valid(text, -1), &g_free);
    return std::string(valid.get());
}

std::string fit_bytes(const std::string& text, std::size_t max_bytes)
{
    if (text.size() <= max_bytes)
        return text;
    std::size_t end = max_bytes;
    // Step back over continuation bytes (10xxxxxx) to the start of the
    // character that does not fit.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

std::string to_locale(const Glib::ustring& text)
{
    std::string charset;
    if (Glib::get_charset(charset))
        return text.raw();
    try {
        return Glib::convert_with_fallback(text.raw(), charset, "UTF-8", "?");
    } catch (const Glib::Error&) {
        // The locale's character set is unknown to iconv: keep ASCII, which
        // every terminal charset shares, and mark the rest.
        std::string ascii;
        for (gunichar c : text)
            ascii += c < 0x80 ? static_cast<char>(c) : '?';
        return ascii;
    }
}

}  // namespace display_text
