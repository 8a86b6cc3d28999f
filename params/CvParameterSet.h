#pragma once

#include "params/CvParamSpec.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace Steinberg::Vst {
class RangeParameter;
}

namespace corvella {

// The parameters one plug-in object works with: the records in table order, lookup by ID, and
// every conversion between normalized values (what the host holds, 0..1) and plain values (what
// the processor stores and the engine receives). Immutable after construction, so any thread may
// query it; queries and conversions allocate nothing.
class CvParameterSet
{
public:
    CvParameterSet(const CvParamSpec* table, std::int32_t count);
    CvParameterSet(const CvParameterSet&) = delete;
    CvParameterSet& operator=(const CvParameterSet&) = delete;

    // The record with that ID, or null.
    const CvParamSpec* findSpec(Steinberg::Vst::ParamID id) const;
    // The record's index, or -1.
    std::int32_t indexOf(Steinberg::Vst::ParamID id) const;
    // The record at an index, or null when out of range.
    const CvParamSpec* specAt(std::int32_t index) const;
    const std::vector<CvParamSpec>& getRecords() const { return records; }

    static double toPlain(const CvParamSpec& spec, double normalized);
    static double toNormalized(const CvParamSpec& spec, double plain);
    static double defaultNormalized(const CvParamSpec& spec);

    // The value as the host and the editor show it: number with unit, value name or On/Off.
    // Empty for an ID that the set does not hold. Independent of the process's locale.
    std::string formatValue(Steinberg::Vst::ParamID id, double normalized) const;

    // A new host-facing parameter for the record, working in normalized units. The caller owns it.
    static Steinberg::Vst::RangeParameter* createParameter(const CvParamSpec& spec);

private:
    std::vector<CvParamSpec> records;
    std::unordered_map<Steinberg::Vst::ParamID, std::int32_t> indexById;
};

} // namespace corvella
