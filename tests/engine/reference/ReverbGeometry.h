#pragma once

#include <cstdint>

// Helpers shared by the room geometry and the per-block update.
namespace corvella::vastora::reference {

// (b - a) * t + a, with b - a taken in int32.
double lerp(std::int32_t a, std::int32_t b, double t);

// Factor by which spread index s scales the early tap pattern around its centre.
double spreadScale(std::int32_t s);

std::int32_t clampRoomIndex(std::int32_t room);
std::int32_t clampSpreadIndex(std::int32_t spread);

// Per-pass gain of a late line of the given length (samples) for the reverb time (seconds),
// capped at 0.9995.
float decayGain(double lateLength, double reverbTime, double sampleRate);

} // namespace corvella::vastora::reference
