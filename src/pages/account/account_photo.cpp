#include "pages/account/account_photo.h"

#include "app/account_state.h"
#include "app/app_text.h"
#include "app/budget_io.h"
#include "app/display_elements.h"
#include "app/file_dialog.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "core/base64.h"
#include "net/api.h"
#include "pages/account/account_cards.h"
#include "pages/account/account_page.h"
#include "ui/layout.h"
#include "ui/spacing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

namespace qm {

namespace {

UiContext& uiOf(AppState& state) { return *state.ui; }

void space(AppState& state, double amount) { addSpace(uiOf(state), dp(*state.ui, amount)); }

std::string baseName(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

enum class PhotoRead { ok, unreadable, tooLarge };

// Opened without blocking and checked on the descriptor itself, so a FIFO or
// a file swapped after the choice can neither hang the frame nor slip past
// the size limit.
PhotoRead readPhoto(const std::string& path, std::string& bytes)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return PhotoRead::unreadable;
    struct stat st { };
    PhotoRead outcome = PhotoRead::ok;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        outcome = PhotoRead::unreadable;
    else if (st.st_size > kMaxPhotoBytes)
        outcome = PhotoRead::tooLarge;
    while (outcome == PhotoRead::ok) {
        char buffer[65536];
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            outcome = PhotoRead::unreadable;
        else if (n == 0)
            break;
        else if (bytes.size() + size_t(n) > size_t(kMaxPhotoBytes))
            outcome = PhotoRead::tooLarge;  // it grew since fstat
        else
            bytes.append(buffer, size_t(n));
    }
    ::close(fd);
    return outcome;
}

}  // namespace

void handleAccountPhoto(AppState& state, const std::string& path)
{
    std::string name = baseName(path);
    std::string bytes;
    try {
        switch (readPhoto(path, bytes)) {
        case PhotoRead::unreadable:
            showError(state, "Could not read " + name);
            return;
        case PhotoRead::tooLarge:
            showError(state, "The image is too large: 2 MB at most");
            return;
        case PhotoRead::ok:
            break;
        }
        if (bytes.empty()) {
            showError(state, "That file is empty");
            return;
        }
        queueAccountRequest(state, akAvatarUpload, {.image = encodeBase64(bytes), .name = name});
    } catch (...) {
        // Out of memory, say: the dispatch it runs from must not see it.
        showError(state, "Could not read " + name);
    }
}

void drawPhotoBlock(AppState& state)
{
    UiContext& ui = uiOf(state);
    const Theme& t = ui.theme;
    Rect row = nextLayoutRect(ui, dp(*state.ui, 56), 0);
    currentLayout(ui).cursorY -= spacing(ui);
    double d = dp(*state.ui, 56);
    drawAvatar(state, {row.x, row.y, d, d}, d);
    double x = row.x + dp(*state.ui, 68);
    double w = std::max(0.0, row.x + row.w - x);
    drawText(state, budgetOwnerLabel(state), {x, row.y + dp(*state.ui, 8), w, dp(*state.ui, 22)}, dp(*state.ui, 14),
        t.base[slotText], 0, 600);
    drawText(state, state.session.email, {x, row.y + dp(*state.ui, 30), w, dp(*state.ui, 18)}, dp(*state.ui, 12),
        t.base[slotTextSecondary], 0, 400);
    space(state, kSpaceRoomy);
    Rect buttons = nextLayoutRect(ui, rowHeight(ui), 0);
    currentLayout(ui).cursorY -= spacing(ui);
    bool busy = accountBusy(state);
    if (button(state, "ac-photo", "Upload photo", {buttons.x, buttons.y, dp(*state.ui, 124), buttons.h},
            {.disabled = busy}))
        openFileDialog(state, {"Choose a profile photo", false, handleAccountPhoto},
            {".png", ".jpg", ".jpeg", ".webp", ".gif"}, "");
    if (!state.store->budget->user.avatar.empty()
        && button(state, "ac-photo-rm", "Remove photo",
            {buttons.x + dp(*state.ui, 132), buttons.y, dp(*state.ui, 120), buttons.h},
            {.style = buttonQuiet, .disabled = busy}))
        queueAccountRequest(state, akAvatarDelete, {});
    space(state, kSpaceSmall);
    accountParagraph(state,
        "Square images look best, up to 2 MB. Without a photo we try your Gravatar, then your initials.", 12.5,
        t.base[slotTextSecondary]);
    drawRequestStatus(state, (uint32_t{1} << akAvatarUpload) | (uint32_t{1} << akAvatarDelete));
}

}  // namespace qm
