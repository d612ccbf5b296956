#pragma once
// The release server's signed update reply: an envelope holding the release
// version, the manifest text, the packages' base address, the notes address
// and an Ed25519 signature over the manifest. A release is installed only
// when that signature verifies under a key built into the program.
#include "core/json.h"
#include "net/install_kind.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct UpdateEnvelope {
    std::string version;
    std::string manifest;   // exactly the signed bytes
    std::string signature;  // decoded; 64 bytes when valid
    std::string base;       // without trailing "/"
    std::string notes_url;
};

struct UpdateReply {
    bool ok = false;
    UpdateEnvelope current;
    UpdateEnvelope major;  // read, not acted on
    std::string error;     // what to show when ok is false
};

struct ManifestFile {
    std::string os;
    std::string arch;
    std::string kind;
    std::string file;  // a plain file name
    std::int32_t size = 0;
    std::string sha256;  // lower-case hex
};

struct UpdateManifest {
    std::string version;
    std::vector<ManifestFile> files;
};

// The release signing keys this build trusts (32 bytes each): the key given
// at configure time, or none at all, in which case no update is installable.
std::vector<std::string> trustedUpdateKeys();

UpdateReply parseUpdateReply(std::string_view body);
UpdateEnvelope parseUpdateEnvelope(const Json& object);

// Whether one of `keys` signed the manifest, as received or (for a text
// without carriage returns) with CR LF line ends.
bool verifyManifestSignature(
    std::string_view manifest, std::string_view signature, const std::vector<std::string>& keys);

UpdateManifest parseManifest(std::string_view text);

// The package for an installation of `kind` on this machine, from a manifest
// that one of `keys` signed and that names the envelope's version.
std::optional<ManifestFile> pickUpdateAsset(
    const UpdateEnvelope& envelope, const std::vector<std::string>& keys, InstallKind kind);

bool fileSha256Matches(std::string_view bytes, const ManifestFile& entry);

// Where a package named by a manifest is saved in `folder`; nothing for a
// name that is empty, hidden, holds a separator or a control byte. Manifests
// are read through the same rule, so this refuses only names made elsewhere.
std::optional<std::string> updateFilePath(std::string_view folder, std::string_view file);

}  // namespace qm
