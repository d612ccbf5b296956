#pragma once
// Amounts are doubles of US dollars. Every rounding of an amount goes through
// roundHalfAway so that ties are judged on the exact value, never on a
// product that floating point already rounded.
#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

// Rounds the integer-or-half-way p (an inexact scaled amount) to the nearest
// integer, halves away from zero; residual is exact value minus p (from fma)
// and decides a tie.
double roundHalfAway(double p, double residual = 0);
// x * 100 rounded to a whole number of cents, judged on the exact product.
double roundCentsCount(double x);
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
bool parseFloatText(std::string_view text, double& out);
// An amount typed by the user: blanks around, "," and "$" anywhere, and
// U+2212 for minus are allowed; fails for NaN and magnitudes from 1e12.
bool parseMoney(std::string_view text, double& out);

}  // namespace qm
