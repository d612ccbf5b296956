#include "codecs/archive/tar.h"

#include <optional>
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

// The "path" record of a pax extended header, if it has a readable one.
// Records are "<length> <key>=<value>\n", the length counting the whole
// record.
std::optional<std::string> paxPath(std::span<const uint8_t> data)
{
    std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    std::optional<std::string> path;
    while (!text.empty()) {
        size_t space = text.find(' ');
        if (space == std::string_view::npos || space == 0 || space > 20)
            break;
        uint64_t length = 0;
        for (char c : text.substr(0, space)) {
            if (c < '0' || c > '9')
                return path;
            length = length * 10 + uint64_t(c - '0');
        }
        if (length <= space + 1 || length > text.size() || text[length - 1] != '\n')
            break;
        std::string_view record = text.substr(space + 1, length - space - 2);
        size_t equals = record.find('=');
        if (equals != std::string_view::npos && record.substr(0, equals) == "path")
            path = std::string(record.substr(equals + 1));
        text.remove_prefix(length);
    }
    return path;
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
    // A long path comes in an entry of its own before the member it names.
    std::optional<std::string> longName;
    while (offset + kBlock <= n) {
        const uint8_t* header = &bytes[offset];
        std::string_view name = field(header, 0, 100);
        if (name.empty())
            break;
        std::string_view prefix = field(header, 345, 155);
        uint64_t size = octalSize(header);
        uint8_t type = header[156];
        const bool whole = size <= n - offset - kBlock;
        const std::span<const uint8_t> contents = whole ? bytes.subspan(offset + kBlock, size) : bytes.subspan(0, 0);
        offset += kBlock + (size + kBlock - 1) / kBlock * kBlock;
        if (type == 'x' || type == 'L') {
            if (!whole)
                break;
            if (type == 'L') {
                std::string_view text(reinterpret_cast<const char*>(contents.data()), contents.size());
                longName = std::string(text.substr(0, text.find('\0')));
            } else if (std::optional<std::string> path = paxPath(contents)) {
                longName = std::move(path);
            }
            continue;
        }
        std::string fullName = longName ? std::move(*longName)
            : prefix.empty()            ? std::string(name)
                                        : std::string(prefix) + "/" + std::string(name);
        longName.reset();
        if ((type == '0' || type == 0) && endsWith(fullName, suffix)) {
            if (!whole)
                throw ValueError("truncated tar member " + fullName);
            return std::vector<uint8_t>(contents.begin(), contents.end());
        }
    }
    throw ValueError("the archive has no " + std::string(suffix));
}

}  // namespace qm
