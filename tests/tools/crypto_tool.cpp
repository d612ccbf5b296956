// Reads commands from standard input, one a line, and answers each with one
// line (a Monte Carlo run with 100), for the hash and signature oracles:
//   sha256 HEX | sha512 HEX          -> the digest in hex
//   sha256file PATH | sha512file PATH -> the digest of the file's bytes
//   monte256 SEEDHEX | monte512 SEEDHEX -> the 100 checkpoints of the NIST
//                                          Monte Carlo test
//   verify MSGHEX SIGHEX KEYHEX       -> 1 or 0
//   engine portable|extensions        -> 1 and SHA-256 from then on by that
//                                        engine, or 0 where the processor
//                                        cannot run it
// An empty hex field is written as "-".
#include "codecs/crypto/ed25519.h"
#include "codecs/crypto/sha2.h"
#include "codecs/crypto/sha2_internal.h"

#include <cstdint>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes fromHex(const std::string& hex)
{
    Bytes out;
    if (hex == "-")
        return out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(std::uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string toHex(const Bytes& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    Bytes bytes(std::size_t(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    return bytes;
}

qm::Sha256Engine engine = qm::sha256Engine();

Bytes sha256ByEngine(std::span<const std::uint8_t> bytes) { return qm::sha256Using(engine, bytes); }

// M_i = MD_(i-3) || MD_(i-2) || MD_(i-1), MD_i = H(M_i), 1000 steps per
// checkpoint, each checkpoint seeding the next.
void monte(Bytes seed, Bytes (*hash)(std::span<const std::uint8_t>))
{
    for (int j = 0; j < 100; ++j) {
        Bytes md[3] = {seed, seed, seed};
        Bytes message;
        for (int i = 0; i < 1000; ++i) {
            message = md[0];
            message.insert(message.end(), md[1].begin(), md[1].end());
            message.insert(message.end(), md[2].begin(), md[2].end());
            md[0] = md[1];
            md[1] = md[2];
            md[2] = hash(message);
        }
        seed = md[2];
        std::cout << toHex(seed) << '\n';
    }
}

}  // namespace

int main()
{
    Bytes (*sha256)(std::span<const std::uint8_t>) = sha256ByEngine;
    Bytes (*sha512)(std::span<const std::uint8_t>) = qm::sha512;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string command, a, b, c;
        in >> command >> a >> b >> c;
        if (command == "sha256")
            std::cout << toHex(sha256(fromHex(a))) << '\n';
        else if (command == "sha512")
            std::cout << toHex(sha512(fromHex(a))) << '\n';
        else if (command == "sha256file")
            std::cout << toHex(sha256(readFile(a))) << '\n';
        else if (command == "sha512file")
            std::cout << toHex(sha512(readFile(a))) << '\n';
        else if (command == "monte256")
            monte(fromHex(a), sha256);
        else if (command == "monte512")
            monte(fromHex(a), sha512);
        else if (command == "engine") {
            auto wanted = a == "extensions" ? qm::Sha256Engine::shaExtensions : qm::Sha256Engine::portable;
            bool available = qm::sha256EngineAvailable(wanted);
            if (available)
                engine = wanted;
            std::cout << available << '\n';
        } else if (command == "verify")
            std::cout << qm::ed25519Verify(fromHex(a), fromHex(b), fromHex(c)) << '\n';
        else {
            std::cerr << "unknown command: " << command << '\n';
            return 2;
        }
    }
    return 0;
}
