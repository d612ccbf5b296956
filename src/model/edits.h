#pragma once
// What a validated edit gives back: refused input is a message for the
// dialog, never an exception; only resource and file errors are raised.
#include "core/page_writes.h"
#include "core/stable_list.h"
#include "model/store.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
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
// delete for each; gives how many went. The list is closed up in one pass:
// erasing one record at a time would move the rest of a large list again
// for every record removed.
template <typename Record, typename Alloc, typename Pred>
size_t removeRecords(LocalStore& store, std::vector<Record, Alloc>& list, Entity entity, Pred pred)
{
    const size_t first = size_t(std::find_if(list.begin(), list.end(), pred) - list.begin());
    if (first == list.size())
        return 0;
    prepareWrites(list.data() + first, (list.size() - first) * sizeof(Record));
    std::vector<int64_t> ids;
    size_t kept = first;
    for (size_t i = first; i < list.size(); ++i) {
        if (pred(list[i]))
            ids.push_back(list[i].id);
        else if (kept++ != i)
            list[kept - 1] = std::move(list[i]);
    }
    list.erase(list.begin() + std::ptrdiff_t(kept), list.end());
    for (int64_t id : ids)
        appendOp(store, opDelete, entity, id);
    return ids.size();
}

// The same for a list whose records stay put: the records at the positions
// (ascending, each once) go, and only the order closes up.
template <typename Record>
size_t removeRecordsAt(LocalStore& store, StableList<Record>& list, Entity entity, const std::vector<size_t>& at)
{
    std::vector<int64_t> ids;
    ids.reserve(at.size());
    for (size_t i : at)
        ids.push_back(list[i].id);
    list.eraseAt(at);
    for (int64_t id : ids)
        appendOp(store, opDelete, entity, id);
    return ids.size();
}

template <typename Record, typename Pred>
size_t removeRecords(LocalStore& store, StableList<Record>& list, Entity entity, Pred pred)
{
    std::vector<size_t> at;
    size_t i = 0;
    for (const Record& record : list) {
        if (pred(record))
            at.push_back(i);
        ++i;
    }
    return removeRecordsAt(store, list, entity, at);
}

}  // namespace qm
