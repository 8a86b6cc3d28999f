#pragma once

#include <cstdint>

// The one binary layout in which processor and controller save parameter values, little-endian,
// with no magic number, checksum or padding:
//
//   int32  version   (kStateVersion in everything written)
//   int32  count     (number of values that follow)
//   double value[count]  plain values in parameter-table order
//   int32  program   present, and read, only when version >= 2
//
// Readers accept every version, clamp each value into its record's range, drop values beyond the
// records and keep the values read before a short stream ended.
namespace corvella::state {

constexpr std::int32_t kStateVersion = 2;
// Versions from this one on carry the program index after the values.
constexpr std::int32_t kFirstVersionWithProgram = 2;

} // namespace corvella::state
