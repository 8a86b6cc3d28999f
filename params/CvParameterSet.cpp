#include "params/CvParameterSet.h"

#include "engine/CvMath.h"

#include <algorithm>
#include <cmath>

namespace corvella {

namespace {

double clampUnit(double v) { return v < 0.0 ? 0.0 : std::min(1.0, v); }

// Ends of a logarithmic range; guards against a non-positive minimum or an empty range.
void logRange(const CvParamSpec& spec, double& lo, double& hi)
{
    lo = spec.minPlain > 0.0 ? spec.minPlain : 1e-6;
    hi = spec.maxPlain > lo ? spec.maxPlain : lo * 10.0;
}

} // namespace

CvParameterSet::CvParameterSet(const CvParamSpec* table, std::int32_t count)
{
    records.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (std::int32_t i = 0; i < count; ++i)
    {
        indexById[table[i].id] = i; // a repeated ID maps to its last record
        records.push_back(table[i]);
    }
}

const CvParamSpec* CvParameterSet::findSpec(Steinberg::Vst::ParamID id) const
{
    const auto it = indexById.find(id);
    return it == indexById.end() ? nullptr : &records[static_cast<std::size_t>(it->second)];
}

std::int32_t CvParameterSet::indexOf(Steinberg::Vst::ParamID id) const
{
    const auto it = indexById.find(id);
    return it == indexById.end() ? -1 : it->second;
}

const CvParamSpec* CvParameterSet::specAt(std::int32_t index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= records.size())
        return nullptr;
    return &records[static_cast<std::size_t>(index)];
}

double CvParameterSet::toPlain(const CvParamSpec& spec, double normalized)
{
    const double n = clampUnit(normalized);
    const double min = spec.minPlain;
    const double max = spec.maxPlain;
    switch (spec.scale)
    {
    case CvParamScale::Linear:
        return (max - min) * n + min;
    case CvParamScale::Logarithmic:
    {
        double lo, hi;
        logRange(spec, lo, hi);
        return cvmath::pow(hi / lo, n) * lo;
    }
    case CvParamScale::Stepped:
        return std::round((max - min) * n) + min;
    case CvParamScale::Toggle:
        return n >= 0.5 ? max : min;
    }
    return min;
}

double CvParameterSet::toNormalized(const CvParamSpec& spec, double plain)
{
    const double min = spec.minPlain;
    const double max = spec.maxPlain;
    double v = 0.0;
    switch (spec.scale)
    {
    case CvParamScale::Logarithmic:
    {
        double lo, hi;
        logRange(spec, lo, hi);
        v = cvmath::log(std::max(plain, lo) / lo) / cvmath::log(hi / lo);
        break;
    }
    case CvParamScale::Stepped:
    {
        const double range = max - min;
        if (range <= 0.0)
            return 0.0;
        v = std::round(plain - min) / range;
        break;
    }
    case CvParamScale::Linear:
    case CvParamScale::Toggle:
        if (max == min)
            return 0.0;
        v = (plain - min) / (max - min);
        break;
    default:
        return 0.0;
    }
    return clampUnit(v);
}

double CvParameterSet::defaultNormalized(const CvParamSpec& spec) { return toNormalized(spec, spec.defaultPlain); }

} // namespace corvella
