#pragma once
// A way for any thread to cut short the UI thread's wait for window events,
// so that what a worker, the saver or a signal hands over is shown in the
// next frame rather than at the next idle redraw.
namespace qm {

// Readable while a wake is pending; made on first use. Call it once on the UI
// thread before any other thread or signal handler may wake it.
int uiWakeFd();
// Safe from any thread and from a signal handler once uiWakeFd was called.
void wakeUiThread() noexcept;
// Takes the pending wakes, so that the next wait blocks again.
void drainUiWakes() noexcept;

struct WakeWait {
    bool readable = false;  // fd has something (or was closed)
    bool woken = false;     // another thread woke the UI thread; the wake is taken
};
// Waits until `fd` (none where negative) is readable, another thread wakes
// the UI thread or `timeoutMs` passes. Only the UI thread waits this way.
WakeWait waitReadableOrWoken(int fd, int timeoutMs);

}  // namespace qm
