// Settings of the simulated pad, read from VELLIX_SIM_ environment variables.
#ifndef VELLIX_SIM_SETTINGS_H
#define VELLIX_SIM_SETTINGS_H

#include <cstdint>
#include <string>
#include <vector>

namespace vellix_sim {

struct Provider {
    std::string id;
    std::string name;
};

struct SimSettings {
    std::vector<Provider> providers;  // at most 100
    bool nullStrings = false;         // provider ids and names read as null
    bool selectFails = false;
    bool openFails = false;
    short deviceCount = 1;
    std::int32_t minX = 0;
    std::int32_t minY = 0;
    std::int32_t maxX = 9500;
    std::int32_t maxY = 5410;
    double widthInches = 3.74;
    double heightInches = 2.13;
    std::uint32_t rate = 200;  // samples a second, 1..1000000
};

// Reads the settings from the environment. A missing or malformed value keeps
// its default; a number outside its type's range is clamped to that range.
SimSettings readSimSettings();

}  // namespace vellix_sim

#endif
