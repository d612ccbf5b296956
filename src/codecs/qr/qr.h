#pragma once
// QR code symbols for short texts such as the two-factor set-up address. The
// text goes in as bytes, with the medium (M) error correction, in the
// smallest of the versions 1-10 that holds it. The caller draws the modules
// with its own quiet zone, colours and scale.
#include <cstdint>
#include <string_view>
#include <vector>

namespace qm {

struct QrCode {
    int size = 0;                       // modules per side, 21 .. 57; 0 when the text does not fit
    std::vector<std::uint8_t> modules;  // size * size, row by row from the top; 1 dark, 0 light
};

// The text's bytes as they are; more than 213 bytes give size 0.
QrCode encodeQr(std::string_view text);

// The module at column x, row y (both within 0 .. size - 1).
std::uint8_t qrModule(const QrCode& code, int x, int y);

}  // namespace qm
