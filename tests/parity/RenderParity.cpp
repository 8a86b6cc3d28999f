// Renders one fixed set of cases through the loaded module, as a host drives it, so that the
// renders of two builds (Linux, and Windows under wine) can be compared sample by sample.
//
//   render_parity write <file>               render every case and store the output
//   render_parity compare <file> [--exact]   render again and compare with the stored output
//
// compare prints each case's largest difference relative to its output's peak and fails when a
// difference reaches -120 dB (with --exact: when any bit differs). Everything the renders depend
// on is computed with integer and plain floating-point arithmetic only, so that both builds feed
// the module exactly the same input and automation.
#include "host/TestHost.h"
#include "support/ProcessorHarness.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

using namespace corvella::testing;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int kParamCount = 12;
constexpr double kBoundDb = -120.0;

struct Case
{
    const char* name;
    double sampleRate;
    int32 blockSize;
    std::size_t frames;
    std::map<int, BlockChanges> (*automation)(std::size_t blocks);
};

std::map<int, BlockChanges> noChanges(std::size_t) { return {}; }

// Every parameter moved away from its default in the first block.
std::map<int, BlockChanges> everyParameterChanged(std::size_t)
{
    const double values[kParamCount] = {0.35, 0.6, 0.4, 0.55, 0.3, 0.7, 0.8, 0.5, 0.45, 0.4, 0.9, 0.65};
    BlockChanges changes;
    for (int id = 0; id < kParamCount; ++id)
        changes.emplace_back(static_cast<ParamID>(id), values[id]);
    return {{0, changes}};
}

// A triangle between 0 and 1 with the given period in blocks.
double triangle(std::size_t block, std::size_t period, std::size_t offset)
{
    const double phase = static_cast<double>((block + offset) % period) / static_cast<double>(period);
    return phase < 0.5 ? 2.0 * phase : 2.0 - 2.0 * phase;
}

// Every parameter swept on its own triangle, one new point every fourth block.
std::map<int, BlockChanges> sweptAutomation(std::size_t blocks)
{
    std::map<int, BlockChanges> changes;
    for (std::size_t b = 0; b < blocks; b += 4)
    {
        BlockChanges block;
        for (int id = 0; id < kParamCount; ++id)
            block.emplace_back(static_cast<ParamID>(id), triangle(b, 60 + 14 * id, 7 * id));
        changes[static_cast<int>(b)] = block;
    }
    return changes;
}

const Case kCases[] = {
    {"defaults at 48 kHz", 48000.0, 256, 48000, noChanges},
    {"every parameter changed at 44.1 kHz", 44100.0, 512, 44100, everyParameterChanged},
    {"automation at 96 kHz", 96000.0, 128, 96000, sweptAutomation},
};

// A quarter of the render of noise from a fixed integer generator, then silence for the tail.
template <typename Sample>
Channels<Sample> input(std::size_t frames)
{
    Channels<Sample> in(2, std::vector<Sample>(frames, Sample(0)));
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < frames / 4; ++i)
        for (auto& channel : in)
        {
            state = state * 1664525u + 1013904223u;
            channel[i] = static_cast<Sample>(static_cast<double>(state >> 8) / 16777216.0 - 0.5);
        }
    return in;
}

struct Render
{
    std::string name;
    std::uint32_t sampleBytes = 0;
    std::vector<unsigned char> bytes; // left channel, then right
};

template <typename Sample>
Render renderCase(const Case& c)
{
    TestHost host;
    ProcessorHarness audio(host.componentUnknown());
    audio.start(c.sampleRate, c.blockSize, sizeof(Sample) == 8 ? kSample64 : kSample32);
    const std::size_t blocks = (c.frames + c.blockSize - 1) / c.blockSize;
    const Channels<Sample> out = audio.render(input<Sample>(c.frames), c.blockSize, c.automation(blocks));

    Render r;
    r.name = std::string(c.name) + (sizeof(Sample) == 8 ? ", 64-bit" : ", 32-bit");
    r.sampleBytes = sizeof(Sample);
    for (const auto& channel : out)
    {
        const auto* raw = reinterpret_cast<const unsigned char*>(channel.data());
        r.bytes.insert(r.bytes.end(), raw, raw + channel.size() * sizeof(Sample));
    }
    return r;
}

std::vector<Render> renderAll()
{
    std::vector<Render> renders;
    for (const Case& c : kCases)
    {
        renders.push_back(renderCase<float>(c));
        renders.push_back(renderCase<double>(c));
    }
    return renders;
}

bool write(const std::string& path, const std::vector<Render>& renders)
{
    std::ofstream out(path, std::ios::binary);
    for (const Render& r : renders)
    {
        const std::uint32_t nameSize = static_cast<std::uint32_t>(r.name.size());
        const std::uint64_t byteCount = r.bytes.size();
        out.write(reinterpret_cast<const char*>(&nameSize), sizeof nameSize);
        out.write(r.name.data(), nameSize);
        out.write(reinterpret_cast<const char*>(&r.sampleBytes), sizeof r.sampleBytes);
        out.write(reinterpret_cast<const char*>(&byteCount), sizeof byteCount);
        out.write(reinterpret_cast<const char*>(r.bytes.data()), static_cast<std::streamsize>(byteCount));
    }
    return static_cast<bool>(out);
}

std::vector<Render> read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<Render> renders;
    std::uint32_t nameSize = 0;
    while (in.read(reinterpret_cast<char*>(&nameSize), sizeof nameSize) && nameSize < 256)
    {
        Render r;
        r.name.resize(nameSize);
        std::uint64_t byteCount = 0;
        in.read(r.name.data(), nameSize);
        in.read(reinterpret_cast<char*>(&r.sampleBytes), sizeof r.sampleBytes);
        in.read(reinterpret_cast<char*>(&byteCount), sizeof byteCount);
        if (!in || byteCount > (std::uint64_t(1) << 30))
            break;
        r.bytes.resize(byteCount);
        if (!in.read(reinterpret_cast<char*>(r.bytes.data()), static_cast<std::streamsize>(byteCount)))
            break;
        renders.push_back(std::move(r));
    }
    return renders;
}

double sampleAt(const Render& r, std::size_t i)
{
    if (r.sampleBytes == 8)
    {
        double v;
        std::memcpy(&v, r.bytes.data() + i * 8, 8);
        return v;
    }
    float v;
    std::memcpy(&v, r.bytes.data() + i * 4, 4);
    return v;
}

double toDb(double ratio) { return ratio > 0.0 ? 20.0 * std::log10(ratio) : -INFINITY; }

// Compares one render with its reference; prints one line and says whether it is within bounds.
bool compare(const Render& mine, const Render& reference, bool exact)
{
    if (mine.name != reference.name || mine.sampleBytes != reference.sampleBytes ||
        mine.bytes.size() != reference.bytes.size())
    {
        std::printf("%-48s does not match the stored render \"%s\"\n", mine.name.c_str(), reference.name.c_str());
        return false;
    }
    const std::size_t count = mine.bytes.size() / mine.sampleBytes;
    double peak = 0.0, maxDiff = 0.0;
    std::size_t differing = 0;
    bool finite = true;
    for (std::size_t i = 0; i < count; ++i)
    {
        const double a = sampleAt(mine, i), b = sampleAt(reference, i);
        finite = finite && std::isfinite(a) && std::isfinite(b);
        peak = std::max(peak, std::fabs(b));
        maxDiff = std::max(maxDiff, std::fabs(a - b));
        differing += std::memcmp(mine.bytes.data() + i * mine.sampleBytes,
                                 reference.bytes.data() + i * mine.sampleBytes, mine.sampleBytes) != 0;
    }
    const double relativeDb = toDb(maxDiff / peak);
    const bool identical = differing == 0;
    const bool ok = finite && peak > 0.0 && (exact ? identical : relativeDb < kBoundDb);
    std::printf("%-48s peak %7.2f dBFS, max difference %.3g (%7.1f dBFS, %7.1f dB rel.), %zu of %zu samples differ%s\n",
                mine.name.c_str(), toDb(peak), maxDiff, toDb(maxDiff), relativeDb, differing, count,
                ok ? "" : "  <-- out of bounds");
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (argc < 3 || (mode != "write" && mode != "compare"))
    {
        std::fprintf(stderr, "usage: %s write|compare <file> [--exact]\n", argv[0]);
        return 2;
    }
    const std::string path = argv[2];
    const std::vector<Render> renders = renderAll();
    if (mode == "write")
        return write(path, renders) ? 0 : 1;

    const bool exact = argc > 3 && std::strcmp(argv[3], "--exact") == 0;
    const std::vector<Render> references = read(path);
    bool ok = references.size() == renders.size();
    if (!ok)
        std::printf("%s holds %zu renders, expected %zu\n", path.c_str(), references.size(), renders.size());
    for (std::size_t i = 0; i < renders.size() && i < references.size(); ++i)
        ok = compare(renders[i], references[i], exact) && ok;
    std::printf("%s\n", ok ? (exact ? "renders are bit-identical" : "renders agree within -120 dB")
                           : "renders differ beyond the bound");
    return ok ? 0 : 1;
}
