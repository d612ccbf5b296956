#include "net/update_envelope.h"

#include "app/paths.h"
#include "codecs/crypto/ed25519.h"
#include "codecs/crypto/sha2.h"
#include "core/ascii.h"
#include "core/base64.h"
#include "core/errors.h"
#include "core/service_host.h"
#include "net/version.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <span>

#ifndef QM_UPDATE_KEY
#define QM_UPDATE_KEY ""
#endif

namespace qm {

namespace {

// The manifest's words for the machines this build runs on: the family's
// name that releases use, its precise name, and a file for any machine.
constexpr std::string_view buildArchs[] = {"x86", "x86_64", "universal"};

bool runsHere(std::string_view arch)
{
    return std::find(std::begin(buildArchs), std::end(buildArchs), arch) != std::end(buildArchs);
}

std::string stringMember(const Json& object, const char* key)
{
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::span<const std::uint8_t> bytesOf(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::optional<Json> parseObject(std::string_view text)
{
    try {
        Json root = parseJson(text);
        if (root.is_object())
            return root;
    } catch (const ValueError&) {
    }
    return std::nullopt;
}

// The name becomes part of a path in the download folder and shows in
// messages: no separators, no hidden or parent entries, and no control bytes
// (a line feed or escape would forge what a log or terminal shows).
bool isPlainFileName(std::string_view name)
{
    if (name.empty() || name.front() == '.')
        return false;
    for (char c : name)
        if (c == '/' || c == '\\' || std::uint8_t(c) < 0x20 || c == 0x7F)
            return false;
    return true;
}

}  // namespace

std::vector<std::string> trustedUpdateKeys()
{
    std::optional<std::string> key = decodeBase64(QM_UPDATE_KEY);
    if (!key || key->size() != 32)
        return {};
    return {*key};
}

UpdateEnvelope parseUpdateEnvelope(const Json& object)
{
    UpdateEnvelope envelope;
    if (!object.is_object())
        return envelope;
    envelope.version = stringMember(object, "version");
    envelope.manifest = stringMember(object, "manifest");
    envelope.signature = decodeBase64(stringMember(object, "signature")).value_or("");
    envelope.base = stringMember(object, "base");
    while (!envelope.base.empty() && envelope.base.back() == '/')
        envelope.base.pop_back();
    envelope.notes_url = stringMember(object, "notes_url");
    return envelope;
}

UpdateReply parseUpdateReply(std::string_view body)
{
    UpdateReply reply;
    std::optional<Json> root = parseObject(body);
    if (!root) {
        reply.error = "The answer that came back was not from " + std::string(serviceLabel)
            + "'s update service. A firewall or proxy on this network may be stopping Quenmark from reaching it: "
              "try again on another network, or download the newest version from "
            + std::string(downloadPageUrl) + ".";
        return reply;
    }
    std::string error = stringMember(*root, "error");
    if (!error.empty()) {
        reply.error = std::move(error);
        return reply;
    }
    reply.ok = true;
    reply.current = parseUpdateEnvelope(*root);
    auto major = root->find("major");
    if (major != root->end() && major->is_object())
        reply.major = parseUpdateEnvelope(*major);
    return reply;
}

bool verifyManifestSignature(
    std::string_view manifest, std::string_view signature, const std::vector<std::string>& keys)
{
    if (signature.size() != 64)
        return false;
    std::optional<std::string> crlf;
    if (manifest.find('\r') == std::string_view::npos) {
        crlf.emplace();
        crlf->reserve(manifest.size() + manifest.size() / 16);
        for (char c : manifest) {
            if (c == '\n')
                *crlf += '\r';
            *crlf += c;
        }
    }
    for (const std::string& key : keys) {
        if (key.size() != 32)
            continue;
        if (ed25519Verify(bytesOf(manifest), bytesOf(signature), bytesOf(key)))
            return true;
        if (crlf && ed25519Verify(bytesOf(*crlf), bytesOf(signature), bytesOf(key)))
            return true;
    }
    return false;
}

UpdateManifest parseManifest(std::string_view text)
{
    UpdateManifest manifest;
    std::optional<Json> root = parseObject(text);
    if (!root)
        return manifest;
    manifest.version = stringMember(*root, "version");
    auto files = root->find("files");
    if (files == root->end() || !files->is_array())
        return manifest;
    for (const Json& item : *files) {
        if (!item.is_object())
            continue;
        ManifestFile file;
        file.file = stringMember(item, "file");
        if (!isPlainFileName(file.file))
            continue;
        file.os = stringMember(item, "os");
        file.arch = stringMember(item, "arch");
        file.kind = stringMember(item, "kind");
        auto size = item.find("size");
        // Sizes outside 0 .. 2^31 - 1 cannot be a real package: they read as 0,
        // which no download matches.
        if (size != item.end() && size->is_number_integer()) {
            bool isUnsigned = size->is_number_unsigned();
            if (isUnsigned ? size->get<std::uint64_t>() <= std::uint64_t(std::numeric_limits<std::int32_t>::max())
                           : (size->get<std::int64_t>() >= 0
                               && size->get<std::int64_t>() <= std::numeric_limits<std::int32_t>::max()))
                file.size = std::int32_t(size->get<std::int64_t>());
        }
        file.sha256 = asciiLower(stringMember(item, "sha256"));
        manifest.files.push_back(std::move(file));
    }
    return manifest;
}

std::optional<ManifestFile> pickUpdateAsset(
    const UpdateEnvelope& envelope, const std::vector<std::string>& keys, InstallKind kind)
{
    if (kind == ikNone)
        return std::nullopt;
    // An old release stays signed for good: replaying its reply must not
    // take the user back to a version with known faults.
    if (!isNewerVersion(envelope.version))
        return std::nullopt;
    if (!verifyManifestSignature(envelope.manifest, envelope.signature, keys))
        return std::nullopt;
    UpdateManifest manifest = parseManifest(envelope.manifest);
    if (manifest.version != envelope.version)
        return std::nullopt;
    std::string_view kindName = installKindName(kind);
    for (const ManifestFile& file : manifest.files) {
        if (file.os == "linux" && file.kind == kindName && runsHere(file.arch)) {
            if (file.sha256.size() != 64)
                return std::nullopt;
            return file;
        }
    }
    return std::nullopt;
}

std::optional<std::string> updateFilePath(std::string_view folder, std::string_view file)
{
    if (!isPlainFileName(file))
        return std::nullopt;
    return joinPath(folder, file);
}

bool fileSha256Matches(std::string_view bytes, const ManifestFile& entry)
{
    if (entry.sha256.size() != 64 || entry.size < 0 || bytes.size() != std::size_t(entry.size))
        return false;
    return sha256Hex(bytes) == entry.sha256;
}

}  // namespace qm
