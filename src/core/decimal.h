#pragma once
// Decimal text of doubles, independent of the C locale.
#include <string>
#include <string_view>

namespace qm {

// text: optional sign, digits, optional "." and digits, optional exponent
// (the caller has checked the syntax). Too large a magnitude gives an
// infinity, too small a zero, as correctly rounded reading would.
double decimalToDouble(std::string_view text);
// The shortest text that reads back as the same double, always with a "." or
// an exponent so that it stays a float; finite input only.
std::string shortestDouble(double v);
// `v` with `decimals` places after a ".", as "%.*f" writes it in the C locale
// whatever LC_NUMERIC says; finite input only.
std::string fixedDecimal(double v, int decimals);

}  // namespace qm
