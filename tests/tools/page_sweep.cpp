// The pages headless over a sweep of window widths and scales, looking in
// each frame for two faults a user meets at some sizes only:
//   unreachable  a widget that takes clicks has no visible point where a
//                press goes to it (the toolkit's own hit test decides)
//   overrun      a text's glyphs run out of the box it was drawn in
//   cut          a text's glyphs run out of the clip it was drawn under
// One window is resized between frames, so the whole sweep costs a few
// frames per size instead of a program start.
//
//   page_sweep [--views a,b,...] [--scales 1,1.5,2] [--widths FIRST:LAST:STEP]
//              [--height PX] [--every]
// Views: month week day search reports import import-review help
// help-contents settings account.
// Prints each fault once, with the scales and widths it was seen at, and
// ends with 1 when there was any. --every prints each frame's faults too.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/navigation.h"
#include "core/files.h"
#include "pages/help/help_page.h"
#include "pages/help/help_view.h"
#include "pages/import/import_page.h"
#include "pages/import/import_wizard.h"
#include "pages/page_harness.h"
#include "pages/reports/report_export.h"
#include "pages/sample_budget.h"
#include "pages/search/search_page.h"
#include "pages/service_pages.h"
#include "ui/hit_test_internal.h"
#include "ui/input.h"
#include "ui/text_ink_internal.h"

using namespace qm;

namespace {

// Sub-pixel slack: glyph boxes are placed at whole pixels.
constexpr double kSlack = 0.75;

struct View {
    std::string name;
    void (*show)(AppState&);
};

// A statement whose lines the sample budget partly holds already, with a
// long payee name among them.
constexpr const char* kStatement =
    "OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\n\n<OFX><BANKMSGSRSV1><STMTTRNRS><STMTRS><BANKTRANLIST>\n"
    "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20250312<TRNAMT>-4.50<FITID>F1<NAME>Coffee</STMTTRN>\n"
    "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20250305<TRNAMT>-1234.56<FITID>F2<NAME>Northern Electric and Gas "
    "Cooperative Monthly Service</STMTTRN>\n"
    "<STMTTRN><TRNTYPE>CREDIT<DTPOSTED>20250309<TRNAMT>2500.00<FITID>F3<NAME>Payroll</STMTTRN>\n"
    "</BANKTRANLIST></STMTRS></STMTTRNRS></BANKMSGSRSV1></OFX>\n";

std::string statementPath;

void showCalendar(AppState& s, uint8_t view)
{
    showPage(s, pageCalendar);
    s.view = view;
}

const std::vector<View>& allViews()
{
    static const std::vector<View> views{
        {"month", [](AppState& s) { showCalendar(s, viewMonth); }},
        {"week", [](AppState& s) { showCalendar(s, viewWeek); }},
        {"day", [](AppState& s) { showCalendar(s, viewDay); }},
        {"search",
            [](AppState& s) {
                searchState(s).query = "Lunch";
                showPage(s, pageSearch);
            }},
        {"reports", [](AppState& s) { showPage(s, pageReports); }},
        {"import",
            [](AppState& s) {
                restartImportWizard(s);
                showPage(s, pageImport);
            }},
        {"import-review",
            [](AppState& s) {
                restartImportWizard(s);
                showPage(s, pageImport);
                pageTable().loadImportFile(s, statementPath);
            }},
        {"help",
            [](AppState& s) {
                helpView(s).contentsOpen = false;
                showPage(s, pageHelp);
            }},
        {"help-contents",
            [](AppState& s) {
                // What the narrow page shows instead of the text.
                helpView(s).contentsOpen = true;
                showPage(s, pageHelp);
            }},
        {"settings",
            [](AppState& s) {
                s.session.token.clear();
                showPage(s, pageAccount);
            }},
        {"account",
            [](AppState& s) {
                // Signed in as far as the page can tell; the network entries
                // are left out, so nothing is asked of a service.
                s.session.token = "sweep";
                s.session.email = "pat@example.com";
                s.syncState = syncIdle;
                showPage(s, pageAccount);
            }},
    };
    return views;
}

std::vector<std::string> splitList(const std::string& text)
{
    std::vector<std::string> out;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ','))
        if (!item.empty())
            out.push_back(item);
    return out;
}

struct Ink {
    std::string text;
    Rect box, ink, clip;
};

struct Fault {
    std::string view, kind, what, detail;
};

bool operator<(const Fault& a, const Fault& b)
{
    return std::tie(a.view, a.kind, a.what) < std::tie(b.view, b.kind, b.what);
}

bool empty(const Rect& r) { return !(r.w > 0 && r.h > 0); }

std::string rectText(const Rect& r)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "[%.0f %.0f %.0f %.0f]", r.x, r.y, r.w, r.h);
    return buf;
}

// The edges inside span (lo, hi) of every rectangle that may decide a hit:
// between two neighbouring edges a press meets the same widgets, so one point
// per cell answers for the cell.
std::vector<double> cuts(const std::vector<std::pair<double, double>>& spans, double lo, double hi)
{
    std::vector<double> edges{lo, hi};
    for (auto [a, b] : spans)
        for (double e : {a, b})
            if (e > lo && e < hi)
                edges.push_back(e);
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    std::vector<double> mids;
    for (size_t i = 1; i < edges.size(); ++i)
        mids.push_back((edges[i - 1] + edges[i]) / 2);
    return mids;
}

bool reachable(const UiContext& ui, const WidgetRecord& w, const Rect& visible)
{
    std::vector<std::pair<double, double>> xs, ys;
    auto add = [&](const Rect& r) {
        if (r.x < visible.x + visible.w && r.x + r.w > visible.x && r.y < visible.y + visible.h
            && r.y + r.h > visible.y) {
            xs.push_back({r.x, r.x + r.w});
            ys.push_back({r.y, r.y + r.h});
        }
    };
    for (const WidgetRecord& o : ui.recorder->records) {
        add(o.rect);
        add(o.clip);
    }
    for (const OverlayRect& o : ui.overlaysLast)
        add(o.rect);
    for (const WindowRect& o : ui.windowRectsLast)
        add(o.rect);
    for (double y : cuts(ys, visible.y, visible.y + visible.h))
        for (double x : cuts(xs, visible.x, visible.x + visible.w)) {
            const WidgetRecord* got = pressTarget(ui, w.button, x, y);
            if (got && got->id == w.id)
                return true;
        }
    return false;
}

void findUnreachable(const UiContext& ui, std::vector<Fault>& out)
{
    Rect view{0, 0, ui.viewWidth, ui.viewHeight};
    std::set<std::pair<int64_t, uint8_t>> done;
    for (const WidgetRecord& w : ui.recorder->records) {
        // Focus-only records borrow another widget's rectangle; empty ones
        // are hit areas a widget keeps for later (an unmeasured menu).
        if (w.button == 0 || empty(w.rect) || !done.insert({w.id, w.button}).second)
            continue;
        // Under an open modal nothing is meant to be reached.
        if (ui.modalActive && w.layer < ui.modalLayer)
            continue;
        bool reached = false, offView = true;
        for (const WidgetRecord& same : ui.recorder->records) {
            if (same.id != w.id || same.button != w.button)
                continue;
            Rect visible = intersectRect(intersectRect(same.rect, same.clip), view);
            if (empty(visible)) {
                // Scrolled out of its area: the wheel brings it back, so it
                // has no visible point by design. Only when the area does
                // not also cut it sideways, which no scrolling mends.
                bool sideways = same.rect.x < same.clip.x - kSlack
                    || same.rect.x + same.rect.w > same.clip.x + same.clip.w + kSlack;
                if (same.inScrollArea && !sideways)
                    reached = true;
                continue;
            }
            offView = false;
            if (reachable(ui, same, visible)) {
                reached = true;
                break;
            }
        }
        if (!reached)
            out.push_back({"", "unreachable", w.label, offView ? "no visible point" : "covered"});
    }
}

// Overlap by more than the slack each way.
bool overlaps(const Rect& a, const Rect& b)
{
    Rect c = intersectRect(a, b);
    return c.w > kSlack && c.h > kSlack;
}

bool contains(const Rect& outer, const Rect& inner)
{
    return inner.x >= outer.x - kSlack && inner.y >= outer.y - kSlack && inner.x + inner.w <= outer.x + outer.w + kSlack
        && inner.y + inner.h <= outer.y + outer.h + kSlack;
}

// Two controls side by side in one layer that lie partly over each other:
// a click on the shared part acts on one of them only. A control inside
// another (a row's buttons) is a design, not a fault.
void findOverlaps(const UiContext& ui, std::vector<Fault>& out)
{
    Rect view{0, 0, ui.viewWidth, ui.viewHeight};
    const std::vector<WidgetRecord>& all = ui.recorder->records;
    for (size_t i = 0; i < all.size(); ++i) {
        const WidgetRecord& a = all[i];
        Rect va = intersectRect(intersectRect(a.rect, a.clip), view);
        if (a.button == 0 || empty(va))
            continue;
        for (size_t j = i + 1; j < all.size(); ++j) {
            const WidgetRecord& b = all[j];
            if (b.button != a.button || b.id == a.id || b.layer != a.layer || b.windowId != a.windowId)
                continue;
            Rect vb = intersectRect(intersectRect(b.rect, b.clip), view);
            if (empty(vb) || !overlaps(va, vb) || contains(a.rect, b.rect) || contains(b.rect, a.rect))
                continue;
            out.push_back({"", "overlap", a.label + " / " + b.label, rectText(a.rect) + " " + rectText(b.rect)});
        }
    }
}

// Two texts whose glyph boxes cross: one is written over the other. The
// boxes run from the face's ascent to its descent, so lines set close touch
// by a pixel or two with no glyph over another: only a quarter of a line's
// height counts.
void findTextOverlaps(const std::vector<Ink>& inks, std::vector<Fault>& out)
{
    for (size_t i = 0; i < inks.size(); ++i) {
        const Ink& a = inks[i];
        Rect va = intersectRect(a.ink, a.clip);
        if (a.text.empty() || empty(va))
            continue;
        for (size_t j = i + 1; j < inks.size(); ++j) {
            const Ink& b = inks[j];
            Rect both = intersectRect(va, intersectRect(b.ink, b.clip));
            if (b.text.empty() || both.w <= kSlack || both.h <= 0.25 * std::min(a.ink.h, b.ink.h))
                continue;
            out.push_back({"", "text-overlap", a.text + " / " + b.text, rectText(a.ink) + " " + rectText(b.ink)});
        }
    }
}

void findTextFaults(const std::vector<Ink>& inks, std::vector<Fault>& out)
{
    for (const Ink& t : inks) {
        if (t.text.empty() || empty(t.ink))
            continue;
        Rect seen = intersectRect(t.ink, t.clip);
        if (empty(seen))
            continue;  // wholly clipped: scrolled away or under a fold
        double left = t.ink.x, right = t.ink.x + t.ink.w;
        if (t.box.w > 0 && (left < t.box.x - kSlack || right > t.box.x + t.box.w + kSlack))
            out.push_back({"", "overrun", t.text, "ink " + rectText(t.ink) + " box " + rectText(t.box)});
        else if (left < t.clip.x - kSlack || right > t.clip.x + t.clip.w + kSlack)
            out.push_back({"", "cut", t.text, "ink " + rectText(t.ink) + " clip " + rectText(t.clip)});
    }
}

std::string scaleText(double s)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%gx", s);
    return buf;
}

// "320-400,480" from sorted widths in steps of step.
std::string ranges(const std::vector<int32_t>& widths, int32_t step)
{
    std::string out;
    for (size_t i = 0; i < widths.size();) {
        size_t j = i;
        while (j + 1 < widths.size() && widths[j + 1] == widths[j] + step)
            ++j;
        if (!out.empty())
            out += ',';
        out += std::to_string(widths[i]);
        if (j > i)
            out += "-" + std::to_string(widths[j]);
        i = j + 1;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> viewNames;
    std::vector<double> scales{1, 1.5, 2};
    int32_t first = 320, last = 1440, step = 40, height = 820;
    bool every = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::string next = i + 1 < argc ? argv[i + 1] : "";
        if (a == "--views") {
            viewNames = splitList(next);
            ++i;
        } else if (a == "--scales") {
            scales.clear();
            for (const std::string& s : splitList(next))
                scales.push_back(std::stod(s));
            ++i;
        } else if (a == "--widths") {
            if (std::sscanf(next.c_str(), "%d:%d:%d", &first, &last, &step) != 3 || step <= 0) {
                std::cerr << "--widths FIRST:LAST:STEP\n";
                return 2;
            }
            ++i;
        } else if (a == "--height") {
            height = std::stoi(next);
            ++i;
        } else if (a == "--every") {
            every = true;
        } else {
            std::cerr << "unknown argument " << a << "\n";
            return 2;
        }
    }
    std::vector<View> views;
    for (const View& v : allViews())
        if (viewNames.empty() || std::find(viewNames.begin(), viewNames.end(), v.name) != viewNames.end())
            views.push_back(v);
    if (views.empty() || views.size() < viewNames.size()) {
        std::cerr << "unknown view\n";
        return 2;
    }

    testing::PageHarness h(last, height, {}, [](PageTable& table) {
        fillHelpPageTable(table);
        fillReportPageTable(table);
        fillImportPageTable(table);
        fillServicePageTable(table);
        // Drawing only: no service, updater or terms page.
        table.initNetwork = {};
        table.initSyncSchedule = {};
        table.pumpNetwork = {};
        table.pollUpdater = {};
        table.autoCheckForUpdates = {};
        table.decideLegalPage = {};
    });
    testing::addSampleBudget(*h);
    statementPath = h.app.dir / "statement.ofx";
    writeFileAtomic(statementPath, kStatement);
    std::vector<Ink> inks;
    setTextInkLog([&inks](std::string_view text, const Rect& box, const Rect& ink, const Rect& clip) {
        inks.push_back({std::string(text), box, ink, clip});
    });

    // Each fault with the widths it was seen at, per scale.
    std::map<Fault, std::map<double, std::vector<int32_t>>> seen;
    int64_t frames = 0;
    for (const View& v : views) {
        for (double scale : scales) {
            h.app.fake->scale = scale;
            h.app.window->scale = scale;
            v.show(*h);
            h.frames(3);
            if (v.name == "import-review" && importWizardState(*h).importStep != importReview) {
                // The statement may be read off the frame loop.
                for (int i = 0; i < 600 && importWizardState(*h).importStep != importReview; ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    h.frame();
                }
                if (importWizardState(*h).importStep != importReview) {
                    std::cerr << "the statement did not reach the review\n";
                    return 2;
                }
            }
            for (int32_t width = first; width <= last; width += step) {
                h.resize(width, height);
                // The first frame lays out the new size; the hit test of a
                // press reads what the frame before drew, so a second
                // frame is the one a click would meet.
                h.frame();
                inks.clear();
                h.frame();
                frames += 2;
                std::vector<Fault> found;
                findUnreachable(*h->ui, found);
                findTextFaults(inks, found);
                findOverlaps(*h->ui, found);
                findTextOverlaps(inks, found);
                std::sort(found.begin(), found.end());
                found.erase(std::unique(found.begin(), found.end(),
                                [](const Fault& a, const Fault& b) { return !(a < b) && !(b < a); }),
                    found.end());
                for (Fault& f : found) {
                    f.view = v.name;
                    if (every)
                        std::cout << v.name << ' ' << scaleText(scale) << ' ' << width << ' ' << f.kind << ' ' << f.what
                                  << "  " << f.detail << '\n';
                    seen[f][scale].push_back(width);
                }
            }
        }
    }
    setTextInkLog({});

    for (const auto& [f, byScale] : seen) {
        std::cout << f.view << ' ' << f.kind << " \"" << f.what << "\" (" << f.detail << ") at";
        for (const auto& [scale, widths] : byScale)
            std::cout << ' ' << scaleText(scale) << ':' << ranges(widths, step);
        std::cout << '\n';
    }
    std::cerr << frames << " frames, " << seen.size() << " faults\n";
    return seen.empty() ? 0 : 1;
}
