#pragma once
// What a validated edit gives back: refused input is a message for the
// dialog, never an exception; only resource and file errors are raised.
#include "model/store.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qm {

// The one answer of every edit the user asks for.
struct EditResult {
    bool ok = false;
    std::string error;  // "" when ok
    int64_t id = 0;     // the added or updated record; 0 when not ok
};

inline EditResult editFailed(std::string message) { return {false, std::move(message), 0}; }

// Removes, in list order, every record that pred accepts, journaling a
// delete for each; gives how many went.
template <typename Record, typename Pred>
size_t removeRecords(LocalStore& store, std::vector<Record>& list, Entity entity, Pred pred)
{
    size_t removed = 0;
    for (size_t i = 0; i < list.size();) {
        if (pred(list[i])) {
            int64_t id = list[i].id;
            list.erase(list.begin() + std::ptrdiff_t(i));
            appendOp(store, opDelete, entity, id);
            ++removed;
        } else {
            ++i;
        }
    }
    return removed;
}

}  // namespace qm
