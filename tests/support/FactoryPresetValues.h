#pragma once

#include <array>

namespace corvella::vastora::testing {

// The fourteen factory programs' plain values by parameter ID, in program order: written out here
// rather than read from the product's table, so that a slip in that table shows.
inline constexpr std::array<double, 12> kFactoryPresetValues[14] = {
    {20, 100, 12000, 2.5, 40, 30, 4, 0, 0, 0, 25, 1.0},  {30, 100, 9000, 3.5, 30, 35, 6, 0, 0, 0, 25, 1.0},
    {25, 100, 16000, 2.8, 45, 45, 7, 5, 0, 0, 25, 1.0},  {25, 100, 5000, 2.6, 45, 45, 7, 5, 0, 0, 25, 1.0},
    {15, 100, 10000, 1.6, 55, 40, 4, 3, 0, 0, 25, 1.0},  {20, 90, 12000, 2.2, 50, 40, 6, 4, 0, 0, 25, 1.0},
    {10, 100, 14000, 0.9, 60, 35, 2, 2, 0, 0, 25, 1.0},  {5, 100, 18000, 2.0, 20, 45, 5, 1, 0, 0, 25, 1.0},
    {15, 100, 8000, 3.0, 35, 50, 8, 8, 0, 0, 25, 1.0},   {120, 60, 12000, 0.6, 70, 35, 1, 0, 0, 0, 25, 1.0},
    {40, 100, 11000, 5.0, 40, 50, 9, 10, 0, 0, 25, 1.0}, {20, 100, 12000, 1.4, 45, 25, 3, 0, 0, 0, 25, 1.0},
    {30, 100, 10000, 1.8, 40, 28, 4, 0, 0, 0, 25, 1.0},  {60, 100, 9000, 8.0, 25, 60, 9, 0, 0, 0, 25, 1.0},
};

} // namespace corvella::vastora::testing
