#pragma once
// The encoder's steps with the choices it otherwise makes itself.
#include "codecs/qr/qr.h"

#include <optional>

namespace qm {

// The smallest version 1 .. 10 that holds `byteCount` bytes.
std::optional<int> qrVersionFor(std::size_t byteCount);

// The symbol of `text` at `version` (which must hold it) with mask 0 .. 7.
QrCode encodeQrWith(std::string_view text, int version, int mask);

// The mask penalty score of a finished symbol.
int qrPenalty(const QrCode& code);

// The mask encodeQr picks for the text.
int qrChosenMask(std::string_view text);

}  // namespace qm
