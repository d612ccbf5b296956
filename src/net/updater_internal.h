#pragma once
// The updater's steps as functions of their inputs, for tests and tools.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/updater.h"

namespace qm {

// The kind of a copy at `programPath`, with APPIMAGE's value and whether
// "/etc/debian_version" exists.
InstallKind installKindFor(std::string_view programPath, std::string_view appImage, bool debian);

// The first non-empty of TMPDIR, TEMP, TMP and TEMPDIR, else "/tmp".
std::string temporaryFolder();

// updateDownloadFolder without the state: `downloads` is the home's
// Downloads folder when it exists, else empty.
std::string downloadFolderFor(
    uint8_t kind, std::string_view programPath, std::string_view appImage, std::string_view downloads);

// Makes a folder only this user can enter (0700) inside `folder` and gives
// the package's path in it. Raises IOError.
std::string makeDownloadPath(const std::string& folder, std::string_view file);
// Removes the downloaded file and the private folder around it.
void removeDownload(const std::string& path);

// Writes "<path>.new" anew (0755), syncs it and the folder, renames it over
// `path`. Raises IOError; a failure leaves `path` as it was.
void replaceFileAtomically(const std::string& path, std::string_view bytes);

// Puts verified package bytes in place for the job's kind.
InstallOutcome installPackage(const UpdaterJob& job, std::string_view bytes);

// What the worker does with one job; `cancel` stops a download.
UpdaterResult runUpdaterJob(const UpdaterJob& job, const HttpCancel* cancel);

// The keys new updater records start with; tests replace them. Empty
// optional restores this build's own.
void setDefaultUpdateKeys(std::optional<std::vector<std::string>> keys);

}  // namespace qm
