#pragma once
// The failure types every layer raises. Messages are fixed English texts that
// callers show or match, so they are carried verbatim.
#include <array>
#include <span>
#include <stdexcept>
#include <string>

namespace qm {

// Base of the program's own failures. It remembers the return addresses of
// the place it was raised, so that a failure nobody catches can still be
// reported with the stack that led to it after the stack has unwound.
struct Error : std::runtime_error {
    explicit Error(const std::string& what);
    explicit Error(const char* what);
    std::span<void* const> raisedAt() const { return {frames_.data(), size_t(depth_)}; }

private:
    void record();
    std::array<void*, 32> frames_{};
    int depth_ = 0;
};

struct ValueError : Error {
    using Error::Error;
};

// Font outline failures; one catch of ValueError covers every font failure.
struct CffError : ValueError {
    using ValueError::ValueError;
};

// An index outside a font table or list.
struct IndexError : ValueError {
    using ValueError::ValueError;
};

// Window creation and other operating-system failures.
struct OSError : Error {
    using Error::Error;
};

// File reading and writing.
struct IOError : Error {
    using Error::Error;
};

}  // namespace qm
