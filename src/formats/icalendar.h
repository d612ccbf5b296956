#pragma once
// The plan around today as an iCalendar file of all-day events, and the
// address of the calendar feed that the web service serves for a user.
#include "core/service_host.h"
#include "model/budget.h"
#include "model/dates.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qm {

// The host named in PRODID and in every UID. It stands in for the service's
// own domain, which the export layer cannot see; callers that know the
// service host pass theirs.
inline constexpr std::string_view kCalendarDomain = serviceLabel;

// Seconds since 1970-01-01 UTC; the default reads the system clock.
using ICalClock = std::function<int64_t()>;
int64_t systemSeconds();

struct ExportWindow {
    Date first;
    Date last;
};

// Day 1 of the month three months before today's to the last day of the
// month three months after it.
ExportWindow calendarExportWindow(Date today);

// "\" ";" "," escaped with a backslash; a line feed, a carriage return and a
// CR LF pair each become "\n". Text no file may hold is cleaned first.
std::string escapeICalText(std::string_view text);
std::string icalDate(Date d);
// yyyyMMdd'T'HHmmss'Z' of a UTC time.
std::string icalTimestamp(int64_t secondsUtc);

// One content line cut into physical lines of at most 75 bytes, continuation
// space included, joined by CR LF and a space. Cuts fall between characters,
// so a piece may be shorter than the room it had.
std::string foldICalLine(std::string_view line);

// The calendar's name: "<label>'s Quenmark", or "Quenmark" for no label.
std::string calendarName(std::string_view ownerLabel);

// The whole file: header, one event per occurrence from first to last in
// transaction order, then by date; every line folded and ended by CR LF.
std::string writeICalendar(const Budget& budget, Date first, Date last, std::string_view ownerLabel,
    std::string_view domain = kCalendarDomain, const ICalClock& clock = systemSeconds);

// baseUrl (trailing slashes dropped) + "/ical/feed/" + token + ".ics"; empty
// when there is no token. Bytes of the token that an address cannot carry
// as they stand are percent-encoded.
std::string calendarFeedUrl(std::string_view baseUrl, std::string_view token);

}  // namespace qm
