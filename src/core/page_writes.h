#pragma once
// Writing over a large range of memory that a fork shares or shared: a
// forked save leaves every page of the process write-protected, and the
// first write to each then traps on its own. Asking for the whole range at
// once takes those faults in one call, at a fraction of their cost one by
// one. The contents are left as they are.
#include <cstddef>

namespace qm {

// A fork is about to share the process's pages. Until the first one,
// prepareWrites has nothing to gain and does nothing.
void notePagesShared();

// Makes the pages under data..data+bytes writable now; small ranges, and
// kernels that cannot, are left to fault as usual.
void prepareWrites(const void* data, size_t bytes);

}  // namespace qm
