#pragma once

#include <optional>
#include <string>

namespace corvella {

// Numbers as text with '.' as the decimal point whatever locale the host process has set: a host
// that switches to a German locale must still show and read "9.70 s".

// The value with a fixed number of decimals, as printf's "%.Nf" writes it in the C locale.
std::string formatFixed(double value, int decimals);

// The leading decimal number of the text (leading white space and a '+' allowed, anything after
// the number ignored), or nothing when the text does not start with a finite number.
std::optional<double> parseLeadingNumber(const char* text);

} // namespace corvella
