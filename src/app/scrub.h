#pragma once
// Cleaning of crash texts: a report may leave the machine, so anything that
// could identify the user (their folders and file names, addresses, secrets,
// user and host names) becomes a placeholder, and stack frames keep only the
// project-relative part of their source paths. Pure byte-string transformations:
// non-ASCII bytes are never letters, digits or boundaries.
#include "app/crash_report.h"

#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct ScrubIdentity {
    std::string home;  // without trailing separators
    std::string user;
    std::string host;
};

// Secrets the running program knows: the session's token and e-mail address
// (kept current by the session's load, save and delete) and the passwords
// forms hold while they are typed. Each becomes a placeholder wherever it
// shows. Any thread may set them while another scrubs.
void setScrubSession(std::string_view token, std::string_view email);
void setScrubPasswords(std::vector<std::string> passwords);

// Set once when the crash handlers are installed.
void setScrubIdentity(ScrubIdentity identity);
const ScrubIdentity& scrubIdentity();
// HOME, USERNAME (else USER) and hostName() as the handlers take them.
ScrubIdentity scrubIdentityFromEnvironment();

std::string scrubText(std::string_view text);
std::string scrubEmails(std::string_view text);
// The value after a key naming a password, token or secret ("password":"x",
// new_password=x, token: x) becomes "<secret>".
std::string scrubSecretFields(std::string_view text);
std::string scrubPaths(std::string_view text);
// Replaces the word where it stands alone, ignoring ASCII case; words of two
// bytes or fewer are left alone.
std::string replaceAsWord(std::string_view text, std::string_view word, std::string_view replacement);
// "." and the lower-cased extension when it is one worth keeping, else "".
std::string keptExtension(std::string_view path);
std::string trimStack(std::string_view stack);

CrashRecord scrubCrashRecord(const CrashRecord& record);

}  // namespace qm
