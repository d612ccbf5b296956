#include "codecs/archive/tar.h"

#include <string>

#include "core/errors.h"

namespace qm {

namespace {

constexpr size_t kBlock = 512;

std::string_view field(const uint8_t* header, size_t offset, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(header + offset), size);
    return text.substr(0, text.find('\0'));
}

uint64_t octalSize(const uint8_t* header)
{
    std::string_view text(reinterpret_cast<const char*>(header + 124), 12);
    size_t first = text.find_first_not_of(std::string_view("\0 ", 2));
    text = first == std::string_view::npos ? std::string_view() : text.substr(first);
    text = text.substr(0, text.find_last_not_of(std::string_view("\0 ", 2)) + 1);
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '7')
            throw ValueError("invalid oct integer: " + std::string(text));
        value = value * 8 + uint64_t(c - '0');
    }
    if (text.empty())
        throw ValueError("invalid oct integer: ");
    return value;
}

bool endsWith(const std::string& name, std::string_view suffix)
{
    return name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::vector<uint8_t> tarFile(std::span<const uint8_t> bytes, std::string_view suffix)
{
    const uint64_t n = bytes.size();
    uint64_t offset = 0;
    while (offset + kBlock <= n) {
        const uint8_t* header = &bytes[offset];
        std::string_view name = field(header, 0, 100);
        if (name.empty())
            break;
        std::string_view prefix = field(header, 345, 155);
        std::string fullName = prefix.empty() ? std::string(name) : std::string(prefix) + "/" + std::string(name);
        uint64_t size = octalSize(header);
        uint8_t type = header[156];
        if ((type == '0' || type == 0) && endsWith(fullName, suffix)) {
            if (size > n - offset - kBlock)
                throw ValueError("truncated tar member " + fullName);
            auto start = bytes.begin() + ptrdiff_t(offset + kBlock);
            return std::vector<uint8_t>(start, start + ptrdiff_t(size));
        }
        offset += kBlock + (size + kBlock - 1) / kBlock * kBlock;
    }
    throw ValueError("the archive has no " + std::string(suffix));
}

}  // namespace qm
