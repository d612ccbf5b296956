#include "ui/trail.h"

#include <atomic>
#include <mutex>

namespace qm {

namespace {

// Only the main thread adds, but a failing worker thread copies the trail
// into its report; the lock keeps that copy whole.
std::mutex trailLock;
std::vector<std::string> entries;
uint32_t additions = 0;
std::atomic<TrailChangedHook> changedHook{nullptr};

}  // namespace

void addTrail(std::string_view text)
{
    if (text.empty())
        return;
    {
        std::lock_guard<std::mutex> hold(trailLock);
        // Compared before the cut: a long text never equals its stored prefix.
        if (!entries.empty() && entries.back() == text)
            return;
        if (entries.size() >= kTrailEntries)
            entries.erase(entries.begin(), entries.begin() + ptrdiff_t(entries.size() - kTrailEntries + 1));
        entries.emplace_back(text.substr(0, kTrailEntryBytes));
        ++additions;
    }
    if (TrailChangedHook hook = changedHook.load())
        hook();
}

std::vector<std::string> actionTrail()
{
    std::lock_guard<std::mutex> hold(trailLock);
    return entries;
}

int32_t trailVersion()
{
    std::lock_guard<std::mutex> hold(trailLock);
    return int32_t(additions);
}

void setTrailChangedHook(TrailChangedHook hook) { changedHook.store(hook); }

void freeTrail()
{
    std::lock_guard<std::mutex> hold(trailLock);
    std::vector<std::string>().swap(entries);
}

}  // namespace qm
