#pragma once
// The failure types every layer raises. Messages are fixed English texts that
// callers show or match, so they are carried verbatim.
#include <stdexcept>
#include <string>

namespace qm {

struct ValueError : std::runtime_error {
    using std::runtime_error::runtime_error;
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
struct OSError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// File reading and writing.
struct IOError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace qm
