#pragma once
// The local date the shell takes as today at the start of every frame. It
// reads the clock; tests put a fixed day in its place so that what a frame
// shows does not depend on when it runs.
#include <functional>

#include "model/dates.h"

namespace qm {

using TodaySource = std::function<Date()>;
// An empty function goes back to the clock.
void setTodaySource(TodaySource source);
Date shellToday();

}  // namespace qm
