#pragma once

#include "base/source/fstreamer.h"

#include <cmath>
#include <cstdint>
#include <optional>

// The one binary layout in which processor and controller save parameter values, little-endian,
// with no magic number, checksum or padding:
//
//   int32  version   (kStateVersion in everything written)
//   int32  count     (number of values that follow)
//   double value[count]  plain values in parameter-table order
//   int32  program   present, and read, only when version >= 2
//
// Readers accept every version, drop values beyond the records and keep the values read before a
// short stream ended; clamping each value into its record's range is the caller's part.
namespace corvella::state {

constexpr std::int32_t kStateVersion = 2;
// Versions from this one on carry the program index after the values.
constexpr std::int32_t kFirstVersionWithProgram = 2;

// Writes a whole stream; false when the stream refused bytes. valueAt(i) gives value i.
template <typename ValueAt>
bool write(Steinberg::IBStream* stream, std::int32_t count, ValueAt valueAt, std::int32_t program)
{
    Steinberg::IBStreamer s(stream, kLittleEndian);
    bool ok = s.writeInt32(kStateVersion) && s.writeInt32(count);
    for (std::int32_t i = 0; ok && i < count; ++i)
        ok = s.writeDouble(valueAt(i));
    return ok && s.writeInt32(program);
}

struct ReadResult
{
    bool complete = false;               // header and every value were read
    std::optional<std::int32_t> program; // present when the version carries one and it was read
};

// Reads a stream, handing each finite value i below recordCount to apply(i, value) as soon as it
// is read. A non-finite value has no place in any range: it is skipped and its parameter left
// as it was.
template <typename Apply>
ReadResult read(Steinberg::IBStream* stream, std::int32_t recordCount, Apply apply)
{
    Steinberg::IBStreamer s(stream, kLittleEndian);
    ReadResult result;
    std::int32_t version = 0;
    std::int32_t count = 0;
    if (!s.readInt32(version) || !s.readInt32(count))
        return result;
    for (std::int32_t i = 0; i < count; ++i)
    {
        double v = 0.0;
        if (!s.readDouble(v))
            return result;
        if (i < recordCount && std::isfinite(v))
            apply(i, v);
    }
    result.complete = true;
    std::int32_t program = 0;
    if (version >= kFirstVersionWithProgram && s.readInt32(program))
        result.program = program;
    return result;
}

} // namespace corvella::state
