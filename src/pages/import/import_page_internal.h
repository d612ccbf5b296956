#pragma once
// The import wizard's drawing, shared by its page and its review step.
#include <string_view>

#include "app/app_state.h"
#include "app/theme_apply.h"
#include "pages/import/import_wizard.h"

namespace qm {

// One frame of the wizard: the card's content column and the cursor.
struct ImportWizardFrame {
    AppState& state;
    ImportWizardState& w;
    const Theme& theme;
    Rect view;  // the visible band of the page's scroll area
    double x = 0;
    double width = 0;
    double y = 0;

    Color slot(int32_t s) const { return theme.base[size_t(s)]; }
};

// The review step's content from the cursor down.
void drawImportReview(ImportWizardFrame& z);

// A chip's width for its label.
double importChipWidth(const AppState& state, std::string_view label);

}  // namespace qm
