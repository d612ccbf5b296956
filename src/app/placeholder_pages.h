#pragma once
// Stand-ins for the pages, dialogs and services that other parts of the
// program will provide: each page is a labelled panel with one button, the
// exports write a small marker file, and the network worker is a thread that
// only waits. They let the shell start, draw and be driven before the real
// ones exist; main.cpp replaces each entry as its owner lands.
#include "app/page_table.h"

namespace qm {

PageTable placeholderPageTable();

}  // namespace qm
