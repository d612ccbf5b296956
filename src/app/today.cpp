#include "app/today.h"

namespace qm {

namespace {

TodaySource& source()
{
    static TodaySource s;
    return s;
}

}  // namespace

void setTodaySource(TodaySource s) { source() = std::move(s); }

Date shellToday() { return source() ? source()() : today(); }

}  // namespace qm
