#pragma once
// The action trail: the last few things the user did in the interface, in
// plain words ("Button: Save"). Nothing shows it; crash reports copy it so a
// report tells what led up to the failure.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

inline constexpr size_t kTrailEntries = 30;
inline constexpr size_t kTrailEntryBytes = 120;

// Records one action. An empty text, or the same text as the newest entry,
// adds nothing. Called by widgets on the main thread only.
void addTrail(std::string_view text);

// A copy of the entries, oldest first. Safe from any thread.
std::vector<std::string> actionTrail();

// The number of entries added since start (skipped texts do not count).
int32_t trailVersion();

// Called after every addition, outside any lock; none at start.
using TrailChangedHook = void (*)();
void setTrailChangedHook(TrailChangedHook hook);

// Empties the trail at shutdown (the counter and hook stay).
void freeTrail();

}  // namespace qm
