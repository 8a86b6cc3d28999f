// Renders one fixed set of cases through the loaded module, as a host drives it, so that the
// renders of two builds (Linux, and Windows under wine) can be compared sample by sample.
//
//   render_parity write <file>     render every case and store the output
//   render_parity compare <file>   render again and compare with the stored output
//
// compare fails when any bit differs, and prints each render's largest difference relative to
// its peak. Input and automation come from integer and plain floating-point arithmetic only, so
// both builds feed the module the same values.
#include "host/TestHost.h"
#include "support/ProcessorHarness.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace corvella::testing;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int kParamCount = 12;

struct Case
{
    const char* name;
    double sampleRate;
    int32 blockSize;
    std::size_t frames;
    bool everyParameterChanged;
    bool swept;
};

const Case kCases[] = {
    {"defaults at 48 kHz", 48000.0, 256, 48000, false, false},
    {"every parameter changed at 44.1 kHz", 44100.0, 512, 44100, true, false},
    {"automation at 96 kHz", 96000.0, 128, 96000, false, true},
};

// A triangle between 0 and 1 over the given number of blocks.
double triangle(std::size_t block, std::size_t period)
{
    const double phase = static_cast<double>(block % period) / static_cast<double>(period);
    return phase < 0.5 ? 2.0 * phase : 2.0 - 2.0 * phase;
}

// Every parameter moved off its default in the first block, or each swept on a triangle of its
// own with a new point every fourth block.
std::map<int, BlockChanges> automation(const Case& c)
{
    const double moved[kParamCount] = {0.35, 0.6, 0.4, 0.55, 0.3, 0.7, 0.8, 0.5, 0.45, 0.4, 0.9, 0.65};
    std::map<int, BlockChanges> changes;
    const std::size_t blocks = c.swept ? c.frames / c.blockSize : c.everyParameterChanged ? 1 : 0;
    for (std::size_t b = 0; b < blocks; b += 4)
        for (int id = 0; id < kParamCount; ++id)
            changes[static_cast<int>(b)].emplace_back(id, c.swept ? triangle(b + 7 * id, 60 + 14 * id) : moved[id]);
    return changes;
}

// A quarter of noise from a fixed integer generator, then silence for the tail.
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

// The output as doubles (exact for 32-bit samples too), left channel then right.
template <typename Sample>
std::vector<double> render(const Case& c)
{
    TestHost host;
    ProcessorHarness audio(host.componentUnknown());
    audio.start(c.sampleRate, c.blockSize, sizeof(Sample) == 8 ? kSample64 : kSample32);
    std::vector<double> samples;
    for (const auto& channel : audio.render(input<Sample>(c.frames), c.blockSize, automation(c)))
        samples.insert(samples.end(), channel.begin(), channel.end());
    return samples;
}

std::vector<std::vector<double>> renderAll()
{
    std::vector<std::vector<double>> renders;
    for (const Case& c : kCases)
    {
        renders.push_back(render<float>(c));
        renders.push_back(render<double>(c));
    }
    return renders;
}

std::string nameOf(std::size_t index)
{
    return std::string(kCases[index / 2].name) + (index % 2 ? ", 64-bit" : ", 32-bit");
}

double toDb(double ratio) { return 20.0 * std::log10(ratio); }

// One line per render; true when the two are bit-identical.
bool compare(std::size_t index, const std::vector<double>& mine, const std::vector<double>& reference)
{
    double peak = 0.0, maxDiff = 0.0;
    std::size_t differing = 0;
    for (std::size_t i = 0; i < mine.size(); ++i)
    {
        peak = std::max(peak, std::fabs(reference[i]));
        maxDiff = std::max(maxDiff, std::fabs(mine[i] - reference[i]));
        differing += std::memcmp(&mine[i], &reference[i], sizeof(double)) != 0;
    }
    const double relativeDb = toDb(maxDiff / peak);
    const bool ok = std::isfinite(peak) && peak > 0.0 && differing == 0;
    std::printf("%-44s peak %6.2f dBFS, max difference %.3g (%6.1f dB rel.), %zu of %zu samples differ%s\n",
                nameOf(index).c_str(), toDb(peak), maxDiff, relativeDb, differing, mine.size(),
                ok ? "" : "  <-- differs");
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 2 ? argv[1] : "";
    if (mode != "write" && mode != "compare")
    {
        std::fprintf(stderr, "usage: %s write|compare <file>\n", argv[0]);
        return 2;
    }
    const std::vector<std::vector<double>> renders = renderAll();
    if (mode == "write")
    {
        std::ofstream out(argv[2], std::ios::binary);
        for (const auto& r : renders)
            out.write(reinterpret_cast<const char*>(r.data()), static_cast<std::streamsize>(r.size() * sizeof(double)));
        return out ? 0 : 1;
    }

    std::ifstream in(argv[2], std::ios::binary);
    const std::vector<char> stored{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::size_t total = 0;
    for (const auto& r : renders)
        total += r.size() * sizeof(double);
    if (stored.size() != total)
    {
        std::printf("%s holds %zu bytes of renders, expected %zu\n", argv[2], stored.size(), total);
        return 1;
    }
    bool ok = true;
    std::size_t offset = 0;
    for (std::size_t i = 0; i < renders.size(); ++i)
    {
        std::vector<double> reference(renders[i].size());
        std::memcpy(reference.data(), stored.data() + offset, reference.size() * sizeof(double));
        offset += reference.size() * sizeof(double);
        ok = compare(i, renders[i], reference) && ok;
    }
    std::printf("%s\n", ok ? "renders are bit-identical" : "renders differ");
    return ok ? 0 : 1;
}
