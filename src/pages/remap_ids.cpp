#include "pages/remap_ids.h"

#include "pages/calendar/calendar_state.h"
#include "pages/editing/editing.h"
#include "pages/editing/txform.h"
#include "pages/search/search_page.h"

namespace qm {

namespace {

struct Renamer {
    Entity entity;
    const std::vector<IdPair>& mapping;

    void id(int64_t& value, Entity of) const
    {
        if (of == entity && value != 0)
            value = remapId(value, mapping);
    }
    void ref(OccurrenceRef& r) const
    {
        id(r.transactionId, entTransaction);
        id(r.adjustmentId, entAdjustment);
    }
};

}  // namespace

void remapPageIds(AppState& state, Entity entity, const std::vector<IdPair>& mapping)
{
    if (mapping.empty())
        return;
    const Renamer rename{entity, mapping};
    rename.ref(state.selectedOccurrence);
    if (state.calendarPage) {
        CalendarPageState& cal = *state.calendarPage;
        rename.ref(cal.menuTarget);
        rename.id(cal.clipboard.transaction.id, entTransaction);
        rename.id(cal.clipboard.adjustmentId, entAdjustment);
    }
    if (state.drag)
        rename.ref(state.drag->item);
    if (state.search)
        rename.id(state.search->accountId, entAccount);
    if (state.txForm) {
        rename.id(state.txForm->editedId, entTransaction);
        rename.id(state.txForm->occurrenceAdjustmentId, entAdjustment);
    }
    if (state.dialogs) {
        EditDialogsState& d = *state.dialogs;
        rename.id(d.balance.accountId, entAccount);
        rename.ref(d.adjust.occurrence);
        rename.ref(d.move.occurrence);
        rename.ref(d.recurringDelete.occurrence);
        rename.id(d.categories.selectedId, entCategory);
        rename.id(d.accounts.selectedId, entAccount);
        for (IdLabel& row : d.accounts.balanceRows)
            rename.id(row.id, entAccount);
    }
}

}  // namespace qm
