// Arbitrary keys, signatures and messages into ed25519Verify. Input layout:
// one control byte, then the key, the signature and the message. A control
// byte below 224 gives the real sizes (32 and 64) so that most runs reach the
// curve arithmetic; the others shorten or lengthen the key and signature.
#include "codecs/crypto/ed25519.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t control = data[0];
    std::size_t keySize = 32, signatureSize = 64;
    if (control >= 224) {
        keySize = 28 + (control & 7);               // 28..35
        signatureSize = 60 + ((control >> 3) & 3);  // 60..63
        if (control & 0x04)
            signatureSize += 4;  // up to 67
    }
    std::span<const std::uint8_t> rest(data + 1, size - 1);
    if (rest.size() < keySize + signatureSize)
        return 0;
    auto key = rest.subspan(0, keySize);
    auto signature = rest.subspan(keySize, signatureSize);
    auto message = rest.subspan(keySize + signatureSize);
    volatile bool valid = qm::ed25519Verify(message, signature, key);
    (void)valid;
    return 0;
}
