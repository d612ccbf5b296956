#include "pages/updates/update_dialog.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

#include "app/app_text.h"
#include "app/app_version.h"
#include "app/form_layout.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "core/service_host.h"
#include "net/updater.h"
#include "net/version.h"
#include "platform/app_window.h"
#include "ui/label.h"
#include "ui/layout.h"
#include "ui/text_input.h"
#include "ui/window.h"

namespace qm {

namespace {

constexpr std::string_view kInstall = "Install Update";
constexpr std::string_view kNotes = "What's New";
constexpr std::string_view kDownloadPage = "Download Page";
constexpr std::string_view kSkip = "Skip This Version";
constexpr std::string_view kRestart = "Restart Now";
constexpr std::string_view kLater = "Later";
constexpr std::string_view kClose = "Close";

int64_t fileSize(const std::string& path)
{
    struct stat st { };
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return 0;
    return int64_t(st.st_size);
}

// Release notes live outside the signature, so only a secure page is offered.
bool notesOffered(const UpdateEnvelope& envelope) { return envelope.notes_url.starts_with("https://"); }

}  // namespace

UpdateDialogContent updateDialogContent(AppState& state)
{
    UpdaterState& u = updaterState(state);
    const UpdaterStatus& s = u.status;
    const std::string version = displayVersion(s.envelope.version);
    const std::string ours = displayVersion(kAppVersion);
    UpdateDialogContent c;
    switch (s.state) {
    case updUpToDate:
        c.heading = "Quenmark is up to date";
        c.paragraphs = {ours + " is the newest version."};
        c.buttons = {std::string(kClose)};
        break;
    case updAvailable: {
        c.heading = version + " is available";
        c.paragraphs = {"You have Quenmark " + ours + "."};
        std::string size = formatDownloadSize(s.asset.size);
        if (s.assetFound && (u.kind == ikDeb || u.kind == ikRpm))
            c.paragraphs.push_back(
                "Install Update downloads the package (" + size + ") and opens it in your software installer.");
        else if (s.assetFound)
            c.paragraphs.push_back("Install Update downloads it (" + size
                + "), checks it and puts it in place of this copy; then restart the app.");
        else
            c.paragraphs.push_back("Download it from " + std::string(serviceLabel)
                + " and install it over this version; your budget and settings stay.");
        c.buttons = {std::string(s.assetFound ? kInstall : kDownloadPage), std::string(kSkip), std::string(kLater)};
        if (notesOffered(s.envelope))
            c.buttons.emplace_back(kNotes);
        break;
    }
    case updDownloading: {
        c.heading = "Downloading Quenmark " + version;
        int64_t total = std::max<int64_t>(s.asset.size, 1);
        int64_t have = fileSize(s.downloadPath);
        c.progress = true;
        c.fraction = std::clamp(double(have) / double(total), 0.0, 1.0);
        c.progressLabel = formatDownloadSize(have) + " of " + formatDownloadSize(total);
        c.buttons = {std::string(kClose)};
        break;
    }
    case updInstalled:
        c.heading = "Quenmark " + version;
        c.paragraphs = {s.message};
        if (s.programToStart.empty())
            c.buttons = {std::string(kClose)};
        else
            c.buttons = {std::string(kRestart), std::string(kLater)};
        break;
    case updFailed:
        c.heading = "The update did not work";
        c.paragraphs = {s.message};
        c.buttons = {std::string(kDownloadPage), std::string(kClose)};
        break;
    default:
        c.heading = "Checking for updates";
        c.paragraphs = {"Asking " + std::string(serviceLabel) + " for the newest Quenmark\u2026"};
        c.spinner = true;
        c.buttons = {std::string(kClose)};
        break;
    }
    return c;
}

std::string drawUpdateDialog(AppState& state)
{
    if (!state.updater || !state.updater->dialog->open)
        return "";
    UpdaterState& u = *state.updater;
    WindowState& window = *u.dialog;
    UiContext& ui = *state.ui;
    DialogSize size = dialogSize(state, 520, 260);
    double height = fitWindowHeight(ui, window, size.height);
    if (!beginWindow(ui, "update", "Check for Updates", window, size.width, height))
        return "";
    UpdateDialogContent c = updateDialogContent(state);
    drawText(
        state, c.heading, nextLayoutRect(ui, dp(*state.ui, 26), 0), dp(*state.ui, 16), ui.theme.base[slotText], 0, 700);
    for (const std::string& text : c.paragraphs)
        wrappedLabel(ui, text, 0, 0);
    if (c.spinner)
        progressBar(ui, std::fmod(0.7 * uiClock(state), 1.0), "");
    if (c.progress)
        progressBar(ui, c.fraction, c.progressLabel);
    if (c.spinner || c.progress)
        requestAppRedraw(state);

    windowFooter(ui, 0);
    std::vector<double> widths = {-1};
    for (const std::string& label : c.buttons)
        widths.push_back(
            std::max(dp(*state.ui, 80), measureText(state, label, dp(*state.ui, 13), 600) + dp(*state.ui, 28)));
    beginRow(ui, rowHeight(ui), widths);
    textBlock(ui, "", 0, 0, 0, 0);
    std::string clicked;
    for (std::size_t i = 0; i < c.buttons.size(); ++i) {
        const std::string& label = c.buttons[i];
        bool primary = label == kInstall || label == kRestart;
        if (flowButton(state, "upd-" + std::to_string(i), label, {.style = primary ? buttonPrimary : buttonNormal}))
            clicked = label;
    }
    endRow(ui);

    std::string answer;
    if (clicked == kInstall) {
        startUpdateInstall(state);
    } else if (clicked == kNotes) {
        openUrl(u.status.envelope.notes_url);
    } else if (clicked == kDownloadPage) {
        openUrl(std::string(downloadPageUrl));
    } else if (clicked == kSkip) {
        state.settings.skippedVersion = u.status.envelope.version;
        saveSettings(state);
        window.open = false;
    } else if (clicked == kRestart) {
        u.status.restartRequested = true;
        window.open = false;
        answer = "restart";
    } else if (!clicked.empty()) {
        window.open = false;
    }
    endWindow(ui);
    return answer;
}

}  // namespace qm
