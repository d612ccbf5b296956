#pragma once
// Steps of the statement reader that tests reach on their own.
#include <string>
#include <string_view>

namespace qm {

// A TRNAMT value (already trimmed) as dollars: "," counts as the decimal
// point; anything but a plain decimal number, and any magnitude from 1e12 on,
// gives 0.
double parseOfxAmount(std::string_view value);

// Windows-1252 bytes as UTF-8. The five bytes the code page leaves undefined
// become the C1 controls of the same value, so every byte maps somewhere.
std::string windows1252ToUtf8(std::string_view bytes);

}  // namespace qm
