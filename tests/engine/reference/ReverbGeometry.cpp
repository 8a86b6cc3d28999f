#include "ReverbEngine.h"

#include "ReverbGeometry.h"
#include "engine/ReverbTables.h"

#include <algorithm>
#include <cmath>

namespace corvella::vastora::reference {

using namespace tables;

double lerp(std::int32_t a, std::int32_t b, double t)
{
    return static_cast<double>(b - a) * t + static_cast<double>(a);
}

double spreadScale(std::int32_t s)
{
    // For s = 1..10 this is the spread's nominal time (30..120 ms) over the 105 ms span of the
    // unscaled tap pattern; "Auto" (0) keeps the pattern as it is.
    return s > 0 ? (static_cast<double>(s) * 10.0 + 20.0) / 105.0 : 1.0;
}

std::int32_t clampRoomIndex(std::int32_t room) { return room > 9 ? 9 : (room < 0 ? 0 : room); }

std::int32_t clampSpreadIndex(std::int32_t spread) { return spread > 10 ? 10 : (spread < 0 ? 0 : spread); }

float decayGain(double lateLength, double reverbTime, double sampleRate)
{
    // Gain per pass for a 60 dB decay in the reverb time; times below 50 ms count as 50 ms.
    const double t = reverbTime >= 0.05 ? reverbTime : 0.05;
    return static_cast<float>(std::min(std::pow(10.0, (lateLength * -3.0) / (t * sampleRate)), 0.9995));
}

void ReverbEngine::updateRoom()
{
    const double ratio = sampleRate / kReferenceRate;
    const std::int32_t room = clampRoomIndex(params.roomSize);

    const std::int32_t* lo = kLateLengthsA;
    const std::int32_t* hi = kLateLengthsB;
    double t = room * 0.25;
    if (room >= 5)
    {
        lo = kLateLengthsB;
        hi = kLateLengthsC;
        t = (room - 4) / 5.0;
    }

    for (int i = 0; i < kLines; ++i)
    {
        lateLength[i] = lerp(lo[i], hi[i], t) * ratio;
        feedbackGain[i] = decayGain(lateLength[i], params.reverbTime, sampleRate);
    }

    const std::int32_t spread = clampSpreadIndex(params.spread);
    const double scale = spreadScale(spread);
    // Every tap must stay readable from the pre-delay lines without clamping.
    const double top = static_cast<double>(maxPos - 1);
    auto clampTap = [top](double x) { return x > top ? top : (x < 8.0 ? 8.0 : x); };
    for (int j = 0; j < kTapCount; ++j)
    {
        const double tj = (kTapTimes[j] - kTapCentre) * scale + kTapCentre;
        tapPosA[j] = clampTap(tj * ratio);
        tapPosB[j] = clampTap((kTapOffsetsB[j] + tj) * ratio);
    }

    // Exponentially falling tap weights normalised to a sum of 4; the first tap is softened so
    // the direct-sounding onset does not dominate.
    double w[kTapCount];
    double sum = 0.0;
    for (int j = 0; j < kTapCount; ++j)
    {
        w[j] = std::exp(-j / 5.5);
        if (j == 0)
            w[j] *= 0.7;
        sum += w[j];
    }
    const double norm = 4.0 / std::max(sum, 1e-6);
    for (int j = 0; j < kTapCount; ++j)
        tapGain[j] = static_cast<float>(w[j] * norm);

    cachedSpread = spread;
    cachedRoom = static_cast<double>(room);
}

} // namespace corvella::vastora::reference
