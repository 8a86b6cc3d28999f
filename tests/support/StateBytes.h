#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace corvella::testing {

// Builds and reads state streams byte by byte, little-endian, independent of the code under test.
class StateBytes
{
public:
    StateBytes& i32(std::int32_t v) { return put(&v, 4); }
    StateBytes& f64(double v) { return put(&v, 8); }
    StateBytes& raw(const std::vector<char>& more)
    {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
    const std::vector<char>& get() const { return bytes; }

    // A complete stream: version, count, the values, and a program index when given.
    static std::vector<char> make(std::int32_t version, const std::vector<double>& values, bool withProgram = true,
                                  std::int32_t program = 0)
    {
        StateBytes s;
        s.i32(version).i32(static_cast<std::int32_t>(values.size()));
        for (double v : values)
            s.f64(v);
        if (withProgram)
            s.i32(program);
        return s.get();
    }

    static std::int32_t readI32(const std::vector<char>& b, std::size_t offset)
    {
        std::int32_t v;
        std::memcpy(&v, b.data() + offset, 4);
        return v;
    }
    static double readF64(const std::vector<char>& b, std::size_t offset)
    {
        double v;
        std::memcpy(&v, b.data() + offset, 8);
        return v;
    }
    // The plain values of a stream with the standard header.
    static std::vector<double> values(const std::vector<char>& b)
    {
        std::vector<double> v;
        const std::int32_t count = readI32(b, 4);
        for (std::int32_t i = 0; i < count; ++i)
            v.push_back(readF64(b, 8 + 8 * static_cast<std::size_t>(i)));
        return v;
    }

private:
    StateBytes& put(const void* p, std::size_t n)
    {
        // The machine is little-endian, as the format is.
        const char* c = static_cast<const char*>(p);
        bytes.insert(bytes.end(), c, c + n);
        return *this;
    }
    std::vector<char> bytes;
};

} // namespace corvella::testing
