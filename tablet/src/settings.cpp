#include "settings.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <locale.h>
#include <optional>

namespace vellix_sim {
namespace {

const char* variable(const std::string& key) {
    return std::getenv(("VELLIX_SIM_" + key).c_str());
}

bool onlySpaceFrom(const char* p) {
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    return *p == '\0';
}

// A whole decimal integer, clamped to [lo, hi]; nothing if the text is not one.
// On overflow strtoll returns LLONG_MAX or LLONG_MIN, which the clamp maps to
// the matching end of the range, as intended.
std::optional<long long> parseInteger(const std::string& text, long long lo, long long hi) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const long long value = std::strtoll(begin, &end, 10);
    if (end == begin || !onlySpaceFrom(end)) return std::nullopt;
    return std::clamp(value, lo, hi);
}

// Anything strtod accepts as a whole (nan, inf, hex floats, out-of-range
// values as strtod rounds them). Parsed in the "C" locale: the program sets
// the user's locale, whose decimal separator may not be a point.
std::optional<double> parseDouble(const std::string& text) {
    const locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    const locale_t previous = c ? uselocale(c) : static_cast<locale_t>(nullptr);
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (c) {
        uselocale(previous);
        freelocale(c);
    }
    if (end == begin || !onlySpaceFrom(end)) return std::nullopt;
    return value;
}

std::vector<std::string> splitCommas(const std::string& text) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        fields.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) return fields;
        start = comma + 1;
    }
}

long long integerSetting(const std::string& key, long long lo, long long hi, long long fallback) {
    const char* value = variable(key);
    if (!value) return fallback;
    return parseInteger(value, lo, hi).value_or(fallback);
}

bool isFail(const std::string& key) {
    const char* value = variable(key);
    return value && std::string(value) == "fail";
}

// "minX,minY,maxX,maxY"; the whole range keeps its default if any field is bad.
// Empty and inverted ranges are kept as given.
void readRange(SimSettings& s) {
    const char* value = variable("RANGE");
    if (!value) return;
    const auto fields = splitCommas(value);
    if (fields.size() != 4) return;
    std::int32_t parsed[4];
    for (std::size_t i = 0; i < 4; ++i) {
        const auto v = parseInteger(fields[i], INT32_MIN, INT32_MAX);
        if (!v) return;
        parsed[i] = static_cast<std::int32_t>(*v);
    }
    s.minX = parsed[0];
    s.minY = parsed[1];
    s.maxX = parsed[2];
    s.maxY = parsed[3];
}

// "width,height" in inches; both keep their defaults if either field is bad.
void readSize(SimSettings& s) {
    const char* value = variable("SIZE");
    if (!value) return;
    const auto fields = splitCommas(value);
    if (fields.size() != 2) return;
    const auto w = parseDouble(fields[0]);
    const auto h = parseDouble(fields[1]);
    if (!w || !h) return;
    s.widthInches = *w;
    s.heightInches = *h;
}

}  // namespace

SimSettings readSimSettings() {
    SimSettings s;
    const long long count = integerSetting("PROVIDERS", 0, 100, 2);
    for (long long i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        // Overrides are taken byte for byte: they may be empty, very long or not UTF-8.
        const char* id = variable("ID_" + n);
        const char* name = variable("NAME_" + n);
        s.providers.push_back({id ? id : "SIM" + n, name ? name : "Simulated Pad " + std::to_string(i + 1)});
    }
    s.nullStrings = integerSetting("NULL_STRINGS", LLONG_MIN, LLONG_MAX, 0) != 0;
    s.selectFails = isFail("SELECT");
    s.openFails = isFail("OPEN");
    s.deviceCount = static_cast<short>(integerSetting("DEVICES", SHRT_MIN, SHRT_MAX, 1));
    readRange(s);
    readSize(s);
    s.rate = static_cast<std::uint32_t>(integerSetting("RATE", 1, 1000000, 200));
    return s;
}

}  // namespace vellix_sim
