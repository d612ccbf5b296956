#pragma once
// Test-only: runs a function on a thread with a small stack, to show that a
// deep input is walked without recursion.
#include <pthread.h>

#include <functional>
#include <stdexcept>

namespace qm::test {

inline void runWithStack(size_t stackBytes, const std::function<void()>& body)
{
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, stackBytes);
    pthread_t thread;
    auto trampoline = [](void* arg) -> void* {
        (*static_cast<const std::function<void()>*>(arg))();
        return nullptr;
    };
    if (pthread_create(&thread, &attr, trampoline, const_cast<std::function<void()>*>(&body)) != 0)
        throw std::runtime_error("pthread_create failed");
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

}  // namespace qm::test
