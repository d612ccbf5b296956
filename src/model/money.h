#pragma once
// Amounts are doubles of US dollars. Every rounding of an amount goes through
// roundHalfAway so that ties are judged on the exact value, never on a
// product that floating point already rounded.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// The nearest integer to the exact value p + residual, halves away from
// zero, where p is a rounded product or quotient and residual the error that
// fma recovers (a - q * d for a quotient, divided by d). As a double, or as
// an integer that saturates at the int64 limits (NaN gives 0).
double roundHalfAway(double p, double residual = 0);
int64_t roundHalfAwayInt64(double p, double residual = 0);
// x in whole cents, and x rounded to cents.
int64_t roundCentsCount(double x);
double roundCents(double x);

std::string groupThousands(std::string_view digits);
std::string formatAmount(double x);
std::string formatAmountPlain(double x);
std::string formatMoney(double x);
std::string formatMoneyCompact(double x);
std::string formatMoneySigned(double x);

// The whole text as a number: optional sign, digits ("_" between digits) with
// an optional fraction and exponent, or inf, infinity, nan in any case.
// ASCII only, no blanks. Too large a magnitude gives an infinity.
std::optional<double> parseFloatText(std::string_view text);
// An amount typed by the user: blanks around, "," and "$" anywhere, and
// U+2212 for minus are allowed; fails for NaN and magnitudes from 1e12.
std::optional<double> parseMoney(std::string_view text);

}  // namespace qm
