#pragma once
// How the Reports page arranges itself at a content width, for tests.
#include <cstdint>
#include <string>

#include "model/reports.h"

namespace qm {

struct ReportsPageLayout {
    int32_t tileColumns = 3;
    bool chartsTwoUp = false;
    // Tables in their two-line row form, without a header.
    bool compactTables = false;
};

// width: the page's content width in dp.
ReportsPageLayout reportsPageLayout(double width, bool compact);

// The account column: a transfer names both ends.
std::string reportAccountText(const ReportRowSource& row);

}  // namespace qm
