#pragma once
// Stand-ins for the pages, dialogs and services the shell calls through its
// page table: each page is a labelled panel with one button, the exports
// write a small marker file, and the network worker is a thread that only
// keeps busy. Tests and benchmarks drive the shell over them without the
// real pages; the stand-in shell (tests/tools/stand_in_shell.cpp) shows the
// Account page's stand-in inside the real program.
#include "app/page_table.h"

namespace qm {

PageTable standInPageTable();

}  // namespace qm
