#include "app/file_dialog.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <utility>

#include "app/app_text.h"
#include "app/file_dialog_internal.h"
#include "app/form_layout.h"
#include "app/icon_textures.h"
#include "app/paths.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "core/ascii.h"
#include "platform/keys.h"
#include "platform/render/primitives.h"
#include "ui/input.h"
#include "ui/layout.h"
#include "ui/scroll_area.h"
#include "ui/text_edit.h"
#include "ui/widget_id.h"
#include "ui/window.h"

namespace qm {

namespace {

bool isFolder(const std::string& path)
{
    struct stat st { };
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isExistingNonFolder(const std::string& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// Folders are shown and stored without a trailing slash, so lastDir and
// the folder field read the way the user typed them.
std::string cleanFolder(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::string extensionOf(std::string_view name)
{
    size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : asciiLower(name.substr(dot));
}

bool passesFilters(std::string_view name, const std::vector<std::string>& filters)
{
    if (filters.empty())
        return true;
    std::string ext = extensionOf(name);
    return std::find(filters.begin(), filters.end(), ext) != filters.end();
}

// Byte order after folding A-Z, a prefix first.
bool nameBefore(const FileEntry& a, const FileEntry& b)
{
    if (a.isFolder != b.isFolder)
        return a.isFolder;
    size_t n = std::min(a.name.size(), b.name.size());
    for (size_t i = 0; i < n; ++i) {
        auto fold = [](char c) { return uint8_t(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); };
        uint8_t x = fold(a.name[i]), y = fold(b.name[i]);
        if (x != y)
            return x < y;
    }
    return a.name.size() < b.name.size();
}

void closeDialog(AppState& state)
{
    if (state.fileDialogWindow)
        state.fileDialogWindow->open = false;
    fileDialogState(state).replacePath.clear();
}

void enterFolder(FileDialogState& d, const std::string& folder)
{
    d.folder = cleanFolder(folder);
    d.folderText = d.folder;
    d.selectedIndex = -1;
    d.replacePath.clear();
}

// A field being edited writes its own text back when it loses the focus:
// what a click put into the bound text goes into the edit as well.
void replaceEdit(UiContext& ui, int64_t id, const std::string& text)
{
    std::shared_ptr<TextEditState> edit = textEditState(ui, id);
    if (!edit->editing)
        return;
    edit->buffer = text;
    edit->caret = edit->anchor = int32_t(text.size());
    edit->scroll = 0;
}

// A name that is a folder of the one shown is opened, as in a file manager,
// rather than taken; the name field empties.
bool enterNamedFolder(FileDialogState& d)
{
    std::string path = joinPath(d.folder, d.fileName);
    if (!isFolder(path))
        return false;
    enterFolder(d, path);
    d.fileName.clear();
    return true;
}

// A save over an existing file is asked about first; the question stands
// until the same path is confirmed or something else is chosen.
bool mayTake(FileDialogState& d, bool save, const std::string& path, bool confirming)
{
    if (!save || !isExistingNonFolder(path))
        return true;
    if (confirming && d.replacePath == path)
        return true;
    d.replacePath = path;
    return false;
}

}  // namespace

FileDialogState& fileDialogState(AppState& state)
{
    if (!state.fileDialog)
        state.fileDialog = std::make_shared<FileDialogState>();
    return *state.fileDialog;
}

std::string fileDialogTitle(const FileDialogPurpose& purpose)
{
    return purpose.title.empty() ? "Choose a file" : purpose.title;
}

std::string joinFilters(const std::vector<std::string>& filters)
{
    std::string out;
    for (const std::string& f : filters) {
        std::string_view s = f;
        while (!s.empty() && s.front() == '.')
            s.remove_prefix(1);
        while (!s.empty() && s.back() == '.')
            s.remove_suffix(1);
        if (!out.empty())
            out += ", ";
        out += asciiUpper(s);
    }
    return out;
}

std::vector<FileEntry> listFolderEntries(const std::string& folder, const std::vector<std::string>& filters)
{
    std::vector<FileEntry> entries;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()), ::closedir);
    if (!dir)
        return entries;
    int fd = ::dirfd(dir.get());
    while (const dirent* e = ::readdir(dir.get())) {
        std::string_view name = e->d_name;
        // Also skips "." and "..".
        if (name.empty() || name.front() == '.')
            continue;
        // A regular file the filters refuse needs no status at all.
        if (e->d_type == DT_REG && !passesFilters(name, filters))
            continue;
        struct stat st { };
        // Links are followed: a dangling one fails here and is left out.
        if (::fstatat(fd, e->d_name, &st, 0) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            entries.push_back({std::string(name), true, 0});
        } else if (S_ISREG(st.st_mode)) {
            // Pipes, sockets and devices would hang or fail the reader.
            if (passesFilters(name, filters))
                entries.push_back({std::string(name), false, int64_t(st.st_size)});
        }
    }
    std::stable_sort(entries.begin(), entries.end(), nameBefore);
    return entries;
}

std::string typedFolder(std::string_view typed, const std::string& shown, const std::string& home)
{
    typed = trimAsciiBlanks(typed);
    std::string out;
    if (typed == "~" || typed.rfind("~/", 0) == 0)
        out = joinPath(home, typed.substr(1));
    else if (!typed.empty() && typed.front() != '/')
        out = joinPath(shown, typed);
    else
        out = std::string(typed);
    // ".." steps up the path as written, as a shell's cd does.
    return cleanFolder(std::filesystem::path(out).lexically_normal().string());
}

std::string parentFolder(const std::string& folder)
{
    std::string f = cleanFolder(folder);
    if (f.empty() || f == "/")
        return {};
    size_t slash = f.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : f.substr(0, slash);
}

std::string fileDialogStartFolder(const std::string& shown, const std::string& lastDir, bool save)
{
    if (isFolder(shown))
        return cleanFolder(shown);
    if (isFolder(lastDir))
        return cleanFolder(lastDir);
    return cleanFolder(save ? documentsDir() : homeFolder());
}

std::string nameWithExtension(const std::string& name, const std::vector<std::string>& filters)
{
    if (filters.empty() || name.find('.') != std::string::npos)
        return name;
    return name + filters.front();
}

NativeFilters nativeFilters(const std::vector<std::string>& filters)
{
    NativeFilters out;
    if (!filters.empty()) {
        std::string pattern;
        for (const std::string& f : filters)
            pattern += (pattern.empty() ? "*" : ";*") + f;
        out.pairs.emplace_back(joinFilters(filters), pattern);
        out.defaultExtension = filters.front().substr(filters.front().rfind('.') + 1);
    }
    out.pairs.emplace_back("All files", "*.*");
    return out;
}

void listFolder(AppState& state)
{
    FileDialogState& d = fileDialogState(state);
    if (d.listedFolder == d.folder)
        return;
    d.listedFolder = d.folder;
    d.entries = listFolderEntries(d.folder, d.filters);
    d.selectedIndex = -1;
}

void openFileDialog(
    AppState& state, FileDialogPurpose purpose, const std::vector<std::string>& filters, const std::string& defaultName)
{
    FileDialogState& d = fileDialogState(state);
    const bool save = purpose.save;
    state.fileDialogPurpose = std::move(purpose);
    d.filters.clear();
    for (const std::string& f : filters)
        d.filters.push_back(asciiLower(f));
    d.fileName = defaultName;
    d.replacePath.clear();
    d.folder = fileDialogStartFolder(d.folder, state.settings.lastDir, save);
    d.folderText = d.folder;

    // The window layer's hooks take nothing yet and offer no dialog; once
    // they do, a save suggests nameWithExtension of the name and a native
    // dialog is given nativeFilters.
    if (hasAsyncFileDialog()) {
        state.nativeDialogOpen = true;
        startAsyncFileDialog();
        return;
    }
    if (hasNativeFileDialog()) {
        std::string chosen = runNativeFileDialog();
        if (!chosen.empty()) {
            state.fileDialogResult = chosen;
            d.folder = cleanFolder(parentFolder(chosen));
            state.settings.lastDir = d.folder;
            saveSettings(state);
        }
        return;
    }
    d.listedFolder.clear();
    d.selectedIndex = -1;
    if (!state.fileDialogWindow)
        state.fileDialogWindow = std::make_shared<WindowState>();
    state.fileDialogWindow->open = true;
    // A save starts with its name ready to be typed over.
    if (save)
        state.fileDialogWindow->focusOnOpen = "filename";
    resetScroll(*state.ui, "filelist");
    requestAppRedraw(state);
}

std::string drawFileDialog(AppState& state)
{
    if (!state.fileDialogResult.empty())
        return std::exchange(state.fileDialogResult, {});
    if (!state.fileDialogWindow || !state.fileDialogWindow->open)
        return {};
    UiContext& ui = *state.ui;
    FileDialogState& d = fileDialogState(state);
    const bool save = state.fileDialogPurpose.save;
    // The compact layout takes the height in pixels, the desktop one in dp.
    DialogSize size = dialogSize(state, 640, state.compact ? dp(*state.ui, 480) : 480);
    if (!beginWindow(
            ui, "filedlg", fileDialogTitle(state.fileDialogPurpose), *state.fileDialogWindow, size.width, size.height))
        return {};
    if (!state.fileDialogWindow->open) {
        endWindow(ui);
        d.replacePath.clear();
        return {};
    }
    listFolder(state);
    const Theme& t = ui.theme;
    Renderer& r = *state.renderer;
    const double h = rowHeight(ui);
    std::string chosen;

    beginRow(ui, h, {dp(*state.ui, 60), -1, dp(*state.ui, 70)});
    drawText(state, "Folder", nextLayoutRect(ui, h, 0), fontSize(ui), t.base[slotTextSecondary], 0, 500);
    if (d.folderText.empty())
        d.folderText = d.folder;
    Rect folderRect = nextLayoutRect(ui, h, 0);
    const int64_t folderId = widgetId(ui, "filedir"), nameId = widgetId(ui, "filename");
    if (textEdit(ui, folderId, d.folderText, folderRect) == editEnter) {
        std::string typed = typedFolder(d.folderText, d.folder, homeFolder());
        if (isFolder(typed))
            enterFolder(d, typed);
    }
    if (flowButton(state, "file-up", "Up")) {
        std::string up = parentFolder(d.folder);
        if (isFolder(up))
            enterFolder(d, up);
    }
    endRow(ui);
    listFolder(state);

    // The list takes what the name row leaves of the body.
    Rect body = windowContentRect(ui);
    double listTop = layoutCursor(ui);
    double listH = std::max(body.y + body.h - listTop - h - 2 * spacing(ui), h);
    Rect listRect = nextLayoutRect(ui, listH, 0);
    Rect view = beginScrollArea(ui, "filelist", listRect, t.base[slotSurface], true);
    const double rowH = std::round(fontSize(ui) * 1.4) + dp(*state.ui, 4);
    const double top = layoutCursor(ui);
    const double pad = dp(*state.ui, 2);
    const size_t n = d.entries.size();
    // Only rows in sight are drawn and hit-tested; the rest keep their place.
    size_t first = view.y > top ? size_t(std::max(0.0, std::floor((view.y - top - pad) / rowH))) : 0;
    size_t last = std::min(n, size_t(std::max(0.0, std::ceil((view.y + view.h - top - pad) / rowH))) + 1);
    const double iconSize = dp(*state.ui, 16);
    for (size_t i = first; i < last; ++i) {
        const FileEntry& e = d.entries[i];
        Rect row{view.x + pad, top + pad + double(i) * rowH, view.w - 2 * pad, rowH};
        InteractResult res = interact(ui, widgetId(ui, "fe" + std::to_string(i)), row, 1);
        bool selected = int32_t(i) == d.selectedIndex;
        if (selected)
            fillRoundRect(r, row, dp(*state.ui, 6), t.base[slotAccentBackground]);
        else if (res.hovered)
            fillRoundRect(r, row, dp(*state.ui, 6), t.base[slotHover]);
        drawAppIcon(r, e.isFolder ? "folder" : "file",
            {row.x + dp(*state.ui, 6), row.y + (row.h - iconSize) / 2, iconSize, iconSize},
            e.isFolder ? t.base[slotAccent] : t.base[slotTextSecondary]);
        Rect nameRect{row.x + dp(*state.ui, 28), row.y, row.w - dp(*state.ui, 40), row.h};
        drawText(state, elideText(state, e.name, nameRect.w, fontSize(ui), 400), nameRect, fontSize(ui),
            t.base[slotText], 0, 400);
        if (res.pressed) {
            if (d.selectedIndex != int32_t(i))
                d.replacePath.clear();
            d.selectedIndex = int32_t(i);
            if (!e.isFolder) {
                d.fileName = e.name;
                replaceEdit(ui, nameId, d.fileName);
            }
            if (ui.doubleClicked[1]) {
                std::string path = joinPath(d.folder, e.name);
                if (e.isFolder) {
                    enterFolder(d, path);
                    replaceEdit(ui, folderId, d.folderText);
                } else if (mayTake(d, save, path, false)) {
                    chosen = path;
                }
            }
            requestAppRedraw(state);
        }
    }
    setLayoutCursor(ui, top + 2 * pad + double(n) * rowH);
    extendLayout(ui, top + 2 * pad + double(n) * rowH);
    endScrollArea(ui, "filelist");

    beginRow(ui, h, {dp(*state.ui, 60), -1});
    drawText(state, "File", nextLayoutRect(ui, h, 0), fontSize(ui), t.base[slotTextSecondary], 0, 500);
    Rect nameRect = nextLayoutRect(ui, h, 0);
    std::string before = d.fileName;
    TextEditResult edit = textEdit(ui, nameId, d.fileName, nameRect);
    if (d.fileName != before)
        d.replacePath.clear();
    if (!d.replacePath.empty()) {
        std::shared_ptr<TextEditState> buffer = textEditState(ui, nameId);
        if (buffer->editing && buffer->buffer != d.fileName)
            d.replacePath.clear();
    }
    if (edit == editEnter && !d.fileName.empty() && !enterNamedFolder(d)) {
        std::string path = joinPath(d.folder, d.fileName);
        if (mayTake(d, save, path, false))
            chosen = path;
    }
    endRow(ui);

    windowFooter(ui, 0);
    beginRow(ui, h, {-1, dp(*state.ui, 90), dp(*state.ui, 90)});
    Rect filterRect = nextLayoutRect(ui, h, 0);
    const bool asking = !d.replacePath.empty();
    std::string filterLine = asking ? "Replace " + d.replacePath.substr(d.replacePath.rfind('/') + 1) + "?"
        : d.filters.empty()         ? std::string("All files")
                                    : "Files: " + joinFilters(d.filters);
    drawText(state, elideText(state, filterLine, filterRect.w, smallFontSize(ui), asking ? 600 : 400), filterRect,
        smallFontSize(ui), asking ? t.base[slotDanger] : t.base[slotTextSecondary], 0, asking ? 600 : 400);
    if (flowButton(state, "file-cancel", "Cancel")) {
        closeDialog(state);
        chosen.clear();
    }
    const char* okLabel = asking ? "Replace" : save ? "Save" : "Open";
    if (flowButton(state, "file-ok", okLabel, {.style = asking ? buttonDanger : buttonPrimary}) && !d.fileName.empty()
        && !enterNamedFolder(d)) {
        std::string name = save ? nameWithExtension(d.fileName, d.filters) : d.fileName;
        std::string path = joinPath(d.folder, name);
        if (mayTake(d, save, path, true))
            chosen = path;
    }
    endRow(ui);
    endWindow(ui);

    if (chosen.empty())
        return {};
    closeDialog(state);
    state.settings.lastDir = d.folder;
    saveSettings(state);
    return chosen;
}

}  // namespace qm
