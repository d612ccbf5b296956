#include "pages/welcome/terms.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>

#include "app/app_text.h"
#include "app/app_version.h"
#include "app/budget_io.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "core/service_host.h"
#include "pages/help/help_view.h"
#include "platform/app_window.h"
#include "platform/render/primitives.h"
#include "ui/wrap.h"

namespace qm {

namespace {

constexpr std::string_view kTermsDate = "2026-11-03";

bool envSet(const char* name)
{
    const char* v = std::getenv(name);
    return v && *v;
}

// "1.2.0-rc1" reads "1.2.0 RC1".
std::string rcText(std::string_view version)
{
    std::string out;
    for (std::size_t i = 0; i < version.size(); ++i) {
        if (version.substr(i).starts_with("-rc")) {
            out += " RC";
            i += 2;
        } else {
            out += version[i];
        }
    }
    return out;
}

struct LegalSections {
    int32_t terms = -1;
    int32_t privacy = -1;
    int32_t termsPage = -1;
    int32_t privacyPage = -1;
};

// The two sections and their pages; nothing when the book lacks either.
std::optional<LegalSections> legalSections(AppState& state)
{
    std::shared_ptr<HelpBook> book;
    try {
        book = sharedHelpBook(state);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        return std::nullopt;
    }
    LegalSections s;
    s.terms = findHelpAnchor(*book, "terms");
    s.privacy = findHelpAnchor(*book, "privacy");
    if (s.terms < 0 || s.privacy < 0)
        return std::nullopt;
    s.termsPage = helpSectionPage(*book, s.terms).value_or(-1);
    s.privacyPage = helpSectionPage(*book, s.privacy).value_or(-1);
    return s;
}

void drawLines(AppState& state, const std::vector<std::string>& lines, double x, double y, double width, double size,
    double lineHeight, Color color)
{
    for (const std::string& line : lines) {
        drawText(state, line, {x, y, width, lineHeight}, size, color, 0, 400);
        y += lineHeight;
    }
}

}  // namespace

std::string legalStamp() { return std::string(kAppVersion) + "|" + std::string(kTermsDate); }

bool legalStampMatches(std::string_view stored) { return stored == legalStamp(); }

bool legalCheckSkipped()
{
    for (const char* name :
        {"QUENMRK_DEMO", "QUENMRK_SHOT", "QUENMRK_EXPORT", "QUENMRK_TEST_AUTH", "QUENMRK_TEST_FRAMES"})
        if (envSet(name))
            return true;
    return false;
}

void decideLegalPage(AppState& state)
{
    state.termsDue = !legalStampMatches(state.settings.legalAccepted) && !legalCheckSkipped();
    const char* page = std::getenv("QUENMRK_PAGE");
    if (page && std::string_view(page) == "legal")
        state.termsDue = true;
}

void acceptLegal(AppState& state)
{
    state.settings.legalAccepted = legalStamp();
    state.settings.legalAcceptedAt =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    saveSettings(state);
    state.termsDue = false;
    HelpViewState& view = helpView(state);
    view.currentSection = 0;
    view.scroll = 0;
    view.pendingSection = -1;
    view.backStack.clear();
    view.forwardStack.clear();
    state.framesOnPage = 0;
    requestAppRedraw(state);
}

std::string legalAcceptedLabel(const AppState& state)
{
    const Settings& s = state.settings;
    if (s.legalAccepted.empty() || !(s.legalAcceptedAt > 0))
        return "";
    static constexpr const char* months[] = {"January", "February", "March", "April", "May", "June", "July", "August",
        "September", "October", "November", "December"};
    std::time_t when = std::time_t(s.legalAcceptedAt);
    std::tm local{};
    if (!localtime_r(&when, &local))
        return "";
    std::string version = s.legalAccepted.substr(0, s.legalAccepted.find('|'));
    return "You accepted them on " + std::to_string(local.tm_mday) + " " + months[local.tm_mon] + " "
        + std::to_string(local.tm_year + 1900) + ", in version " + rcText(version) + ".";
}

void drawLegalPage(AppState& state, const Rect& rect)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    fillRect(*state.renderer, rect, t.base[slotBackground]);
    std::optional<LegalSections> sections = legalSections(state);
    if (!sections) {
        // Without its texts the page cannot be accepted honestly: it is
        // left out this run, and nothing is stored.
        state.termsDue = false;
        requestAppRedraw(state);
        return;
    }
    HelpViewState& view = helpView(state);
    std::shared_ptr<HelpBook> book = sharedHelpBook(state);
    int32_t page = helpSectionPage(*book, view.currentSection).value_or(-1);
    if (page != sections->termsPage && page != sections->privacyPage) {
        openHelpSection(state, sections->terms, false);
        page = sections->termsPage;
    }

    const bool narrow = state.compact;
    double margin = dp(ui, narrow ? 12 : 28);
    double width = std::max(0.0, std::min(dp(ui, 860), rect.w - 2 * margin));
    double x = rect.x + (rect.w - width) / 2;
    double y = rect.y + dp(ui, narrow ? 14 : 28);
    double icon = dp(ui, narrow ? 32 : 40);
    if (state.windowIcon)
        drawTextureRect(*state.renderer, *state.windowIcon, {x, y, icon, icon}, colorWhite, 0, 0, 1, 1);
    bool first = state.settings.legalAccepted.empty();
    std::string title = first ? "Welcome to Quenmark" : "Updated to version " + rcText(kAppVersion);
    drawText(state, title, {x + icon + dp(ui, 12), y, std::max(0.0, width - icon - dp(ui, 12)), icon},
        dp(ui, narrow ? 17 : 20), t.base[slotText], 0, 700);
    y += icon + dp(ui, 10);

    std::string intro = first
        ? "Please read the Terms of Use and the Privacy Policy and accept them to start."
        : "Please read the Terms of Use and the Privacy Policy for this version and accept them to go on.";
    std::vector<std::string> introLines = wrapText(ui, intro, width, dp(ui, 13));
    drawLines(state, introLines, x, y, width, dp(ui, 13), dp(ui, 20), t.base[slotText]);
    y += double(introLines.size()) * dp(ui, 20) + dp(ui, 8);

    int32_t selected = page == sections->privacyPage && page != sections->termsPage ? 1 : 0;
    double row = rowHeight(ui);
    if (segmentedControl(state, "legal-tab", selected, {"Terms of Use", "Privacy Policy"},
            {x, y, std::min(dp(ui, 340), width), row}))
        openHelpSection(state, selected == 1 ? sections->privacy : sections->terms, false);
    y += row + dp(ui, 10);

    std::string host(serviceLabel);
    std::string note = "Choosing I agree accepts both. They are also under Help and Account, and at " + host
        + "/terms and " + host + "/privacy.";
    std::vector<std::string> noteLines = wrapText(ui, note, width, dp(ui, 12));
    double footer = double(noteLines.size()) * dp(ui, 18) + dp(ui, 10) + row + dp(ui, narrow ? 14 : 24);
    double docHeight = std::max(dp(ui, 120), rect.y + rect.h - footer - y);
    helpDocumentView(state, {x, y, width, docHeight});
    y += docHeight + dp(ui, 10);
    drawLines(state, noteLines, x, y, width, dp(ui, 12), dp(ui, 18), t.base[slotTextSecondary]);
    y += double(noteLines.size()) * dp(ui, 18) + dp(ui, 10);

    double agreeWidth = std::min(dp(ui, 180), width);
    std::string webLabel = "Open on " + host;
    double webWidth = measureText(state, webLabel, dp(ui, 13), 600) + dp(ui, 24);
    bool agreed =
        button(state, "legal-agree", "I agree", {x + width - agreeWidth, y, agreeWidth, row}, {.style = buttonPrimary});
    if (webWidth + dp(ui, 8) + agreeWidth <= width
        && button(state, "legal-web", webLabel, {x, y, webWidth, row}, {.style = buttonLink})) {
        std::string url(selected == 1 ? privacyPageUrl : termsPageUrl);
        if (!openUrl(url))
            showToast(state, "Could not open " + url, toastError, 6);
    }
    if (agreed)
        acceptLegal(state);
}

}  // namespace qm
