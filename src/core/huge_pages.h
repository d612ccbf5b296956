#pragma once
// A hint for large buffers that are about to be filled from end to end: on
// Linux, backing them with 2 MiB pages takes one page fault where 4 KiB
// pages take 512. Only whole 2 MiB blocks inside the range are hinted, so
// nothing past it is ever made resident.
#include <cstddef>

namespace qm {

void preferHugePages(const void* data, size_t bytes);

}  // namespace qm
