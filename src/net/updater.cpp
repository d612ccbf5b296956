#include "net/updater.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/paths.h"
#include "app/theme_apply.h"
#include "codecs/archive/gzip.h"
#include "codecs/archive/tar.h"
#include "core/decimal.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/service_host.h"
#include "net/updater_internal.h"
#include "net/version.h"
#include "platform/app_window.h"

extern char** environ;

namespace qm {

namespace {

std::string envValue(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::optional<std::vector<std::string>>& keyOverride()
{
    static std::optional<std::vector<std::string>> keys;
    return keys;
}

std::string ownProgramPath()
{
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, std::size_t(n)) : std::string();
}

std::string folderOf(std::string_view path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return ".";
    return slash == 0 ? "/" : std::string(path.substr(0, slash));
}

bool isFolder(const std::string& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

[[noreturn]] void raiseIo(const std::string& what, const std::string& path, int error)
{
    throw IOError(what + " " + path + ": " + std::strerror(error));
}

std::string placeFailure(std::string_view why)
{
    return "The update could not be put in place: " + std::string(why) + ". Download it from "
        + std::string(downloadPageUrl) + " instead.";
}

std::string installedMessage(std::string_view version)
{
    return "Quenmark " + std::string(version) + " is installed. It starts when you restart the app.";
}

std::optional<UpdaterResult> takeUpdateResult(UpdaterState& u)
{
    if (!u.busy)
        return std::nullopt;
    std::vector<UpdaterResult> taken = u.worker.take();
    if (taken.empty())
        return std::nullopt;
    u.busy = false;
    return std::move(taken.front());
}

void openDialog(AppState& state) { updaterState(state).dialog->open = true; }

void handleCheckResult(AppState& state, const HttpResult& result)
{
    UpdaterState& u = updaterState(state);
    UpdaterStatus& s = u.status;
    auto fail = [&](std::string message) {
        s.state = s.automatic ? updIdle : updFailed;
        s.message = std::move(message);
    };
    if (!result.ok)
        return fail("Could not reach " + std::string(serviceLabel) + ": " + result.text);
    if (result.status != 200)
        return fail(std::string(serviceLabel) + " answered " + std::to_string(result.status) + ".");
    UpdateReply reply = parseUpdateReply(result.text);
    if (!reply.ok)
        return fail(reply.error);
    s.envelope = reply.current;
    if (!isNewerVersion(s.envelope.version)) {
        s.state = s.automatic ? updIdle : updUpToDate;
        return;
    }
    s.state = updAvailable;
    std::optional<ManifestFile> asset = pickUpdateAsset(s.envelope, u.keys, InstallKind(u.kind));
    s.assetFound = asset.has_value();
    s.asset = asset.value_or(ManifestFile{});
    if (s.automatic && state.settings.skippedVersion == s.envelope.version)
        s.state = updIdle;
    else if (s.automatic)
        openDialog(state);
}

void finishDownload(AppState& state, const UpdaterResult& result)
{
    UpdaterState& u = updaterState(state);
    UpdaterStatus& s = u.status;
    s.state = updFailed;
    if (!result.http.ok)
        s.message = "The download failed: " + result.http.text;
    else if (result.http.status != 200)
        s.message = "The download answered " + std::to_string(result.http.status) + ".";
    else if (!result.verified)
        s.message = "The download is not the file the release lists (its checksum differs), so it was not "
                    "installed. Try again, or download the app from "
            + std::string(downloadPageUrl) + ".";
    else {
        s.state = result.outcome.ok ? updInstalled : updFailed;
        s.message = result.outcome.message;
        if (result.outcome.ok && (u.kind == ikAppImage || u.kind == ikTar))
            s.programToStart = u.kind == ikAppImage ? envValue("APPIMAGE") : u.programPath;
    }
    // The user asked for this install: its end is shown even when the dialog
    // was closed meanwhile.
    openDialog(state);
}

}  // namespace

UpdaterState::UpdaterState()
    : worker([](const UpdaterJob& job, const HttpCancel& cancel) { return runUpdaterJob(job, &cancel); })
{
    keys = keyOverride() ? *keyOverride() : trustedUpdateKeys();
    now = [] { return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count(); };
    programPath = ownProgramPath();
    kind = detectInstallKind();
}

void setDefaultUpdateKeys(std::optional<std::vector<std::string>> keys) { keyOverride() = std::move(keys); }

UpdaterState& updaterState(AppState& state)
{
    if (!state.updater)
        state.updater = std::make_shared<UpdaterState>();
    return *state.updater;
}

InstallKind installKindFor(std::string_view programPath, std::string_view appImage, bool debian)
{
    if (!appImage.empty())
        return ikAppImage;
    if (programPath.starts_with("/usr/"))
        return debian ? ikDeb : ikRpm;
    std::size_t slash = programPath.rfind('/');
    std::string_view name = slash == std::string_view::npos ? programPath : programPath.substr(slash + 1);
    return name == "quenmrk" ? ikTar : ikNone;
}

InstallKind detectInstallKind()
{
    return installKindFor(ownProgramPath(), envValue("APPIMAGE"), ::access("/etc/debian_version", F_OK) == 0);
}

std::string temporaryFolder()
{
    for (const char* name : {"TMPDIR", "TEMP", "TMP", "TEMPDIR"}) {
        std::string v = envValue(name);
        if (!v.empty())
            return v;
    }
    return "/tmp";
}

std::string downloadFolderFor(
    uint8_t kind, std::string_view programPath, std::string_view appImage, std::string_view downloads)
{
    switch (kind) {
    case ikTar:
        return folderOf(programPath);
    case ikAppImage:
        return folderOf(appImage);
    case ikDeb:
    case ikRpm:
        return downloads.empty() ? temporaryFolder() : std::string(downloads);
    default:
        return temporaryFolder();
    }
}

std::string updateDownloadFolder(AppState& state)
{
    UpdaterState& u = updaterState(state);
    std::string downloads = joinPath(homeFolder(), "Downloads");
    return downloadFolderFor(u.kind, u.programPath, envValue("APPIMAGE"), isFolder(downloads) ? downloads : "");
}

std::string makeDownloadPath(const std::string& folder, std::string_view file)
{
    std::string pattern = joinPath(folder, ".quenmrk-update-XXXXXX");
    if (!::mkdtemp(pattern.data()))
        raiseIo("Cannot make a folder in", folder, errno);
    std::optional<std::string> path = updateFilePath(pattern, file);
    if (!path) {
        ::rmdir(pattern.c_str());
        throw IOError("The release names no usable file");
    }
    return *path;
}

void removeDownload(const std::string& path)
{
    if (path.empty())
        return;
    ::unlink(path.c_str());
    std::string folder = folderOf(path);
    std::size_t slash = folder.rfind('/');
    if (std::string_view(folder).substr(slash == std::string::npos ? 0 : slash + 1).starts_with(".quenmrk-update-"))
        ::rmdir(folder.c_str());
}

void replaceFileAtomically(const std::string& path, std::string_view bytes)
{
    std::string temp = path + ".new";
    ::unlink(temp.c_str());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0755);
    if (fd < 0)
        raiseIo("Cannot create", temp, errno);
    auto fail = [&](const char* what) {
        int error = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        raiseIo(what, temp, error);
    };
    if (::fchmod(fd, 0755) != 0)
        fail("Cannot set the mode of");
    std::size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail("Cannot write");
        written += std::size_t(n);
    }
    if (::fsync(fd) != 0)
        fail("Cannot sync");
    if (::close(fd) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        raiseIo("Cannot write", temp, error);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        raiseIo("Cannot replace", path, error);
    }
    syncFolderOf(path);
}

InstallOutcome installPackage(const UpdaterJob& job, std::string_view bytes)
{
    try {
        switch (job.kind) {
        case ikAppImage:
            replaceFileAtomically(job.programPath, bytes);
            return {true, installedMessage(job.version)};
        case ikTar: {
            std::vector<uint8_t> tar =
                gunzip(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
            std::vector<uint8_t> program = tarFile(tar, "/bin/quenmrk");
            replaceFileAtomically(
                job.programPath, std::string_view(reinterpret_cast<const char*>(program.data()), program.size()));
            return {true, installedMessage(job.version)};
        }
        case ikDeb:
        case ikRpm:
            if (!openUrl(job.path))
                return {false, placeFailure("no program could open " + job.path)};
            return {true,
                "The Quenmark " + job.version + " package is downloaded to " + job.path
                    + " and opened in your software installer. Install it there, then restart the app."};
        default:
            return {false, "This copy of Quenmark can't update itself."};
        }
    } catch (const std::bad_alloc&) {
        return {false, placeFailure("there is not enough memory")};
    } catch (const std::exception& e) {
        return {false, placeFailure(e.what())};
    }
}

UpdaterResult runUpdaterJob(const UpdaterJob& job, const HttpCancel* cancel)
{
    UpdaterResult out;
    if (job.mode == 0) {
        out.http = httpGet(job.url, 15000, cancel);
        return out;
    }
    out.http = httpDownload(job.url, job.path, std::uint64_t(std::max<int32_t>(job.asset.size, 0)), cancel);
    if (!out.http.ok || out.http.status != 200) {
        removeDownload(job.path);
        return out;
    }
    std::string bytes;
    try {
        bytes = readFile(job.path);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        bytes.clear();
    }
    // The bytes checked here are the bytes installed: the file is not read
    // again, so nothing can swap it in between.
    out.verified = fileSha256Matches(bytes, job.asset);
    if (!out.verified) {
        removeDownload(job.path);
        return out;
    }
    if (cancel && cancel->cancelled()) {
        removeDownload(job.path);
        out.http = {false, 0, std::string(httpCancelledMessage)};
        return out;
    }
    out.outcome = installPackage(job, bytes);
    // A package the system installer opens stays for it; otherwise the
    // private folder goes, installed or not.
    if (job.kind != ikDeb && job.kind != ikRpm)
        removeDownload(job.path);
    return out;
}

bool submitUpdaterRequest(AppState& state, UpdaterJob job)
{
    UpdaterState& u = updaterState(state);
    if (u.busy)
        return false;
    if (!u.worker.submit(std::move(job)))
        return false;
    u.busy = true;
    return true;
}

void checkForUpdates(AppState& state, bool automatic)
{
    UpdaterState& u = updaterState(state);
    if (u.status.state == updChecking || u.status.state == updDownloading) {
        if (!automatic) {
            // The user now waits for this check: its answer must show.
            u.status.automatic = false;
            openDialog(state);
        }
        return;
    }
    if (u.busy)
        return;
    UpdaterJob job;
    job.mode = 0;
    job.url = serverBaseUrl(state.settings) + "/app/update.json";
    if (!submitUpdaterRequest(state, std::move(job)))
        return;
    u.status = UpdaterStatus{};
    u.status.state = updChecking;
    u.status.automatic = automatic;
    state.settings.lastUpdateCheck = u.now();
    saveSettings(state);
    if (!automatic)
        openDialog(state);
}

void startUpdateInstall(AppState& state)
{
    UpdaterState& u = updaterState(state);
    UpdaterStatus& s = u.status;
    if (s.state != updAvailable || !s.assetFound || u.busy)
        return;
    std::string path;
    try {
        path = makeDownloadPath(updateDownloadFolder(state), s.asset.file);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        s.state = updFailed;
        s.message = placeFailure(e.what());
        return;
    }
    UpdaterJob job;
    job.mode = 1;
    job.url = s.envelope.base + "/" + s.asset.file;
    job.path = path;
    job.asset = s.asset;
    job.kind = u.kind;
    job.version = s.envelope.version;
    job.programPath = u.kind == ikAppImage ? envValue("APPIMAGE") : u.programPath;
    if (!submitUpdaterRequest(state, std::move(job))) {
        removeDownload(path);
        return;
    }
    s.downloadPath = path;
    s.state = updDownloading;
    s.message.clear();
}

void pollUpdater(AppState& state)
{
    if (!state.updater)
        return;
    UpdaterState& u = *state.updater;
    if (u.status.state != updChecking && u.status.state != updDownloading)
        return;
    requestAppRedraw(state);
    std::optional<UpdaterResult> result = takeUpdateResult(u);
    if (!result)
        return;
    if (u.status.state == updChecking)
        handleCheckResult(state, result->http);
    else
        finishDownload(state, *result);
    saveSettings(state);
}

void runPendingInstaller(AppState& state)
{
    if (!state.updater)
        return;
    const UpdaterStatus& s = state.updater->status;
    if (s.programToStart.empty() || !s.restartRequested)
        return;
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return;
    std::string folder = folderOf(s.programToStart);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::string program = s.programToStart;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = 0;
    posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
}

void stopUpdater(AppState& state)
{
    if (state.updater)
        state.updater->worker.stop();
}

void joinUpdater(AppState& state)
{
    if (state.updater)
        state.updater->worker.join();
}

std::string formatDownloadSize(int64_t bytes)
{
    if (bytes < 1048576)
        return std::to_string(std::max<int64_t>(1, (std::max<int64_t>(bytes, 0) + 512) / 1024)) + " KB";
    return fixedDecimal(double(bytes) / 1048576.0, 1) + " MB";
}

void autoCheckForUpdates(AppState& state)
{
    if (!state.settings.checkUpdates)
        return;
    const char* off = std::getenv("QUENMRK_NO_UPDATE_CHECK");
    if (off && *off)
        return;
    UpdaterState& u = updaterState(state);
    if (u.kind == ikNone)
        return;
    if (u.now() - state.settings.lastUpdateCheck < 72000.0)
        return;
    checkForUpdates(state, true);
}

}  // namespace qm
