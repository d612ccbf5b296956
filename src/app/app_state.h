#pragma once
// Everything the running application knows, in one record handed to every
// page, dialog and pump. Pages keep nothing of their own between frames:
// what must outlive a frame lives here. Members are declared in the order
// they are built, so the compiler destroys them last to first: the file
// dialog goes first and the window last.
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/account_request.h"
#include "app/fonts.h"
#include "app/merge_prompt.h"
#include "app/message_boxes.h"
#include "app/session.h"
#include "app/settings.h"
#include "model/dates.h"
#include "model/store.h"
#include "model/store_saver.h"
#include "platform/app_window.h"
#include "platform/render/renderer.h"
#include "platform/render/texture.h"
#include "ui/context.h"
#include "ui/widget_state.h"

namespace qm {

enum PageKind : uint8_t {
    pageCalendar = 0,
    pageSearch = 1,
    pageReports = 2,
    pageImport = 3,
    pageHelp = 4,
    pageAccount = 5,
    pageWelcome = 6,
};

enum CalendarView : uint8_t {
    viewMonth = 0,
    viewWeek = 1,
    viewDay = 2,
};

enum ToastKind : uint8_t {
    toastInfo = 0,
    toastSuccess = 1,
    toastError = 2,
};

enum SyncState : uint8_t {
    syncLocalOnly = 0,
    syncIdle = 1,
    syncBusy = 2,
    syncOffline = 3,
    syncFailed = 4,
    syncUnverified = 5,
};

struct AppState;

// What the file dialog is open for, chosen by whoever opens it: the shell
// shows the title and hands the chosen path to take, knowing nothing of the
// callers.
struct FileDialogPurpose {
    std::string title;  // empty: "Choose a file"
    bool save = false;  // starts in the last folder and asks before replacing a file
    std::function<void(AppState& state, const std::string& path)> take;
};

struct Toast {
    std::string text;
    uint8_t kind = toastInfo;  // any value other than 1 and 2 reads as info
    double expiry = 0;         // seconds on the toasts' clock (toastClock)
};

// One occurrence of a transaction, kept across frames.
struct OccurrenceRef {
    int64_t transactionId = 0;
    int64_t adjustmentId = 0;  // 0 when the occurrence is not adjusted
    Date date;
    bool valid = false;

    bool operator==(const OccurrenceRef&) const = default;
};

struct YearMonth {
    int32_t year = 0;
    int32_t month = 0;

    bool operator==(const YearMonth&) const = default;
};

// Blocks owned by the pages and services of other subsystems. The shell
// only carries them; each owner defines its record and makes it on first use.
struct CalendarPageState;
struct WelcomeForm;
struct TxFormState;
struct EditDialogsState;
struct DragState;
struct NetworkState;
struct SearchPageState;
struct ReportPageState;
struct HelpViewState;
struct AccountPageState;
struct UpdaterState;
struct FileDialogState;
struct ImportWizardState;
struct PictureCache;

struct AppState {
    AppWindowRef window;
    UiContextRef ui;
    RendererRef renderer;
    FontSet fonts;
    TextureRef windowIcon;  // null when it could not be made
    // Downloaded avatars and custom icon pictures; null draws the fallbacks.
    std::shared_ptr<PictureCache> pictures;
    bool splashActive = false;
    double splashStart = -1.0;
    Settings settings;
    Session session;
    LocalStorePtr store;
    // Writes the store's saves off the UI thread while the main loop runs;
    // none (saves are written at once) elsewhere.
    StoreSaverPtr storeSaver;
    std::string budgetId;
    // Set when the open budget's files could not be read: its store is an
    // empty stand-in that is never written, and every save reports this.
    std::string budgetReadFailure;
    uint8_t page = pageCalendar;
    uint8_t previousPage = pageCalendar;
    bool compact = false;
    bool phoneLandscape = false;
    bool redrawRequested = false;
    bool quitRequested = false;
    Date todayDate;
    YearMonth shownMonth;
    Date selectedDate;
    uint8_t view = viewMonth;
    OccurrenceRef selectedOccurrence;
    Date focusedDay;
    bool focusedDayValid = false;
    std::shared_ptr<CalendarPageState> calendarPage;
    std::vector<Toast> toasts;
    uint8_t syncState = syncLocalOnly;
    std::string lastSyncError;
    bool hasUnsentChanges = false;
    bool online = true;

    MessageBox message;
    ConfirmBox confirm;

    int32_t tourStep = -1;
    std::map<std::string, Rect> tourAnchors;
    int32_t framesOnPage = 0;

    std::shared_ptr<WindowState> txFormWindow;
    bool txFormRepeat = false;
    std::string txFormError;
    std::shared_ptr<TxFormState> txForm;

    std::shared_ptr<WindowState> balanceWindow;
    std::shared_ptr<WindowState> adjustWindow;
    std::shared_ptr<WindowState> moveWindow;
    std::shared_ptr<WindowState> deleteRecurringWindow;
    MergePrompt merge;
    std::shared_ptr<WindowState> categoriesWindow;
    std::string categoriesError;
    std::shared_ptr<WindowState> accountsWindow;
    std::shared_ptr<EditDialogsState> dialogs;
    bool dragInProgress = false;
    std::shared_ptr<DragState> drag;

    bool syncNowRequested = false;
    // Set by a confirmed "logout"; the network pump signs out and clears it.
    bool signOutRequested = false;
    bool termsDue = false;
    std::shared_ptr<NetworkState> network;

    bool searchDirty = true;
    std::shared_ptr<SearchPageState> search;

    std::shared_ptr<ReportPageState> reports;
    std::shared_ptr<ImportWizardState> importWizard;

    std::shared_ptr<HelpViewState> helpView;

    bool accountFieldsFilled = false;
    std::shared_ptr<AccountPageState> accountPage;

    std::shared_ptr<WelcomeForm> welcome;
    AccountRequest request;
    std::shared_ptr<UpdaterState> updater;

    std::shared_ptr<WindowState> fileDialogWindow;
    FileDialogPurpose fileDialogPurpose;
    std::string fileDialogResult;
    bool nativeDialogOpen = false;
    std::shared_ptr<FileDialogState> fileDialog;

    AppState() = default;
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;
};

// A budget read from its folder, or why it could not be (see budget_io.h).
struct BudgetRead {
    LocalStorePtr store;
    std::exception_ptr failure;
};

// Closures handed to the window or the toolkit hold it weakly, so the last
// of these references destroys it.
using AppStateRef = std::shared_ptr<AppState>;

// Makes the state a window needs before its first frame: renderer and
// fonts, settings and session, colours, the opened budget, where to start,
// whether the terms must be accepted and whether to show the splash; it also
// saves once. An unreadable budget is handled here; other failures raise.
AppStateRef newAppState(AppWindowRef window);
// The same in two steps, so the splash can show while the budget is read off
// the UI thread: everything but the budget (an empty stand-in is open), then
// the budget read from startBudgetFolder and what depends on it.
AppStateRef newAppStateWithoutBudget(AppWindowRef window);
std::string startBudgetFolder(const AppState& state);
void finishAppState(AppState& state, BudgetRead read);

void requestAppRedraw(AppState& state);

// The UI clock: seconds of frame time since the context was made.
double uiClock(const AppState& state);

}  // namespace qm
