#include "app/page_table.h"

#include <utility>

namespace qm {

namespace {

PageTable& table()
{
    static PageTable t;
    return t;
}

}  // namespace

void setPageTable(PageTable t) { table() = std::move(t); }

const PageTable& pageTable() { return table(); }

}  // namespace qm
