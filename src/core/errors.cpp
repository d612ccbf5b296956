#include "core/errors.h"

#include <execinfo.h>

namespace qm {

Error::Error(const std::string& what)
    : std::runtime_error(what)
{
    record();
}

Error::Error(const char* what)
    : std::runtime_error(what)
{
    record();
}

void Error::record()
{
    depth_ = ::backtrace(frames_.data(), int(frames_.size()));
    if (depth_ < 0)
        depth_ = 0;
}

}  // namespace qm
