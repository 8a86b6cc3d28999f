#pragma once

namespace corvella::testing {

// A locale that writes and reads decimal numbers with a comma, for tests that show the plug-in's
// texts do not follow the process's locale. scripts/setup.sh generates the Linux one.
#if defined(_WIN32)
inline constexpr const char* kDecimalCommaLocale = "German_Germany.1252";
#else
inline constexpr const char* kDecimalCommaLocale = "de_DE.UTF-8";
#endif

} // namespace corvella::testing
