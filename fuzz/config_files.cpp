// Any byte string as settings.json or session.json: the readers never fail,
// what they read writes back and reads again to the same record, and the
// settings stay in their documented ranges. The same bytes as crash text:
// scrubbing and stack trimming never fail and keep UTF-8 input valid.
#include "app/crash_report.h"
#include "app/scrub.h"
#include "app/session.h"
#include "app/settings.h"
#include "core/errors.h"
#include "core/json.h"
#include "core/utf8.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    setScrubIdentity({"/home/ann", "ann", "box7"});
    std::string scrubbed = scrubText(text);
    std::string trimmed = trimStack(text);
    if (isValidUtf8(text) && (!isValidUtf8(scrubbed) || !isValidUtf8(trimmed)))
        std::abort();

    Json tree;
    try {
        tree = parseJson(text);
    } catch (const ValueError&) {
        return 0;
    }
    Settings s;
    settingsFromJson(tree, s);
    if (s.themeMode < 0 || s.themeMode > 2 || !(s.uiScale >= 0.5 && s.uiScale <= 3.0))
        std::abort();
    if (s.view != "month" && s.view != "week" && s.view != "day")
        std::abort();
    Settings again;
    settingsFromJson(parseJson(renderSettings(s)), again);
    if (!(again == s))
        std::abort();

    Session session = sessionFromJson(tree);
    if (!(sessionFromJson(parseJson(renderSession(session))) == session))
        std::abort();

    CrashRecord r;
    r.message = std::string(text);
    r.trail = {std::string(text)};
    if (!isValidUtf8(renderCrashReport(scrubCrashRecord(r))))
        std::abort();
    return 0;
}
