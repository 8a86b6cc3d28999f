#pragma once

#include <cstdint>

namespace corvella::vastora::reference {

// The engine's plain parameter values, by parameter ID. These construction defaults are the
// engine's own; the processor overwrites all twelve before the first block.
struct ReverbParams
{
    double preDelay = 25.0;      // 0: ms
    double diffusion = 100.0;    // 1: %
    double brightness = 10000.0; // 2: Hz
    double reverbTime = 1.5;     // 3: s
    double earlyLate = 50.0;     // 4: %
    double mix = 50.0;           // 5: %
    std::int32_t roomSize = 3;   // 6: list index 0..9
    std::int32_t spread = 4;     // 7: list index 0..10
    double outputLevelL = 0.0;   // 8: dB
    double outputLevelR = 0.0;   // 9: dB
    double modulation = 25.0;    // 10: %
    double warmth = 1.0;         // 11: factor
};

} // namespace corvella::vastora::reference
