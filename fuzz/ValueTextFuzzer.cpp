// Decodes the fuzz input into the controller's value conversions: value to text, text to value
// and setParamNormalized, for any parameter ID and any double. Nothing may throw, every answer
// lies in [0, 1], every text is terminated, and the state saved at the end is whole.
#include "FuzzDriver.h"

#include "controller/CvEditController.h"
#include "controller/VastoraPresets.h"
#include "params/VastoraParams.h"

#include <string>

using namespace corvella::fuzz;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int kMaxOperations = 64;

// Text as a host passes it: one byte a character, 0xFF escaping a raw UTF-16 unit; or null.
std::u16string textFrom(Input& in)
{
    std::u16string text;
    for (int n = in.byte(); n > 0; --n)
    {
        const std::uint8_t b = in.byte();
        text.push_back(b == 0xFF ? in.raw<char16_t>() : char16_t(b));
    }
    return text;
}

bool terminated(const String128 text)
{
    return std::char_traits<char16_t>::find(reinterpret_cast<const char16_t*>(text), 128, u'\0') != nullptr;
}

void requireNormalized(double v, const char* what) { require(v >= 0.0 && v <= 1.0, what); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input in(data, size);
    Controller c;
    IEditController& edit = *c.edit;
    for (int op = 0; op < kMaxOperations && !in.empty(); ++op)
    {
        const ParamID id = in.paramId();
        switch (in.byte() % 3)
        {
        case 0:
        {
            String128 text;
            if (edit.getParamStringByValue(id, in.value(), text) != kResultOk)
                break;
            require(terminated(text), "a value text ends within 128 characters");
            // What the host shows reads back as a value.
            ParamValue back = -1.0;
            if (id < corvella::vastora::kParamCount)
            {
                require(edit.getParamValueByString(id, text, back) == kResultOk, "a shown value text reads back");
                requireNormalized(back, "a text read back lies in [0, 1]");
            }
            break;
        }
        case 1:
        {
            const bool null = in.byte() % 8 == 0;
            std::u16string text = textFrom(in);
            ParamValue v = 0.25;
            TChar* string = null ? nullptr : reinterpret_cast<TChar*>(text.data());
            if (edit.getParamValueByString(id, string, v) == kResultOk)
                requireNormalized(v, "a text's value lies in [0, 1]");
            break;
        }
        default:
            edit.setParamNormalized(id, in.value());
            requireNormalized(edit.getParamNormalized(id), "a stored normalized value lies in [0, 1]");
            break;
        }
    }
    const auto lastProgram = static_cast<std::int32_t>(corvella::vastora::gFactoryPresets.size()) - 1;
    requireWholeState(savedState(edit), -1, lastProgram);
    return 0;
}
