#pragma once

#include "pluginterfaces/vst/vsttypes.h"

// What the module tells hosts about itself.
namespace corvella::vastora::version {

constexpr const char* kVendor = "Tamsel";
constexpr const char* kVendorUrl = "https://www.tamsel.example";
constexpr const char* kVendorEmail = "support@tamsel.example";
constexpr const char* kProcessorName = "Vastora";
constexpr const char* kControllerName = "VastoraController";
constexpr const char* kSubCategories = "Fx|Reverb";
constexpr const char* kVersion = "1.0.0";
// The SDK the module is built with; claiming another would mislead hosts.
constexpr const char* kSdkVersion = kVstVersionString;

} // namespace corvella::vastora::version
