#pragma once

#include <cstdint>

namespace corvella {

// One image compiled into the module: its name and its encoded PNG bytes. A table of these ends
// with an entry whose name is null; tables and bytes live as long as the module.
struct CvImageResource
{
    const char* name;
    const std::uint8_t* data;
    std::uint32_t size;
};

} // namespace corvella
