// Reply and manifest reading; signatures and picking are checked against
// openssl's signer in tests/oracles/net_update.py.
#include "codecs/crypto/sha2.h"
#include "core/service_host.h"
#include "net/update_envelope.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(UpdateReply, RefusalsAndForeignAnswers)
{
    std::string foreign = "The answer that came back was not from quenmark.example's update service. A firewall or "
                          "proxy on this network may be stopping Quenmark from reaching it: try again on another "
                          "network, or download the newest version from https://quenmark.example/download.";
    for (const char* body : {"", "<html>captive portal</html>", "[1,2]", "\"text\"", "{\"version\":"}) {
        UpdateReply r = parseUpdateReply(body);
        EXPECT_FALSE(r.ok) << body;
        EXPECT_EQ(r.error, foreign) << body;
    }
    UpdateReply refused = parseUpdateReply(R"({"error":"Updates are paused.","version":"9.0.0"})");
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error, "Updates are paused.");
    EXPECT_EQ(refused.current.version, "");

    UpdateReply empty = parseUpdateReply(R"({"error":"","version":7,"base":"https://d.example/x///"})");
    EXPECT_TRUE(empty.ok);
    EXPECT_EQ(empty.current.version, "");
    EXPECT_EQ(empty.current.base, "https://d.example/x");
    EXPECT_EQ(empty.major.version, "");
}

TEST(UpdateReply, SignatureIsDecodedOrEmpty)
{
    std::string sig64(86, 'A');
    sig64 += "==";
    struct Case {
        std::string text;
        std::size_t size;
    } cases[] = {{sig64, 64}, {"AAAA", 3}, {"not base64", 0}, {"AAA", 0}, {"AA AA", 0}, {"", 0}};
    for (const Case& c : cases) {
        Json object = {{"signature", c.text}};
        EXPECT_EQ(parseUpdateEnvelope(object).signature.size(), c.size) << c.text;
    }
}

TEST(UpdateManifest, ReadsEntriesAndSkipsUnsafeNames)
{
    std::string text = R"({"version":"1.2.0","files":[
        {"file":"a.deb","os":"linux","arch":"x86_64","kind":"deb","size":12,"sha256":"ABCDEF"},
        {"file":"","os":"linux"}, {"file":"x/y.deb"}, {"file":"x\\y.deb"}, {"file":".hidden"}, {"file":"../up"},
        {"file":"a\nb.deb"}, {"file":"a\u001b[2Jb.deb"}, {"file":"tab\t.deb"}, {"file":"del\u007f.deb"},
        {"file":"nul\u0000.deb"}, {"file":"\u001f.deb"},
        {"file":7}, 5, "text", null,
        {"file":"b.rpm","size":1.5}, {"file":"c.rpm","size":"12"}, {"file":"d.rpm","size":2147483648},
        {"file":"e.rpm","size":-1}, {"file":"f.rpm","size":2147483647}, {"file":"g.rpm","size":18446744073709551615}
    ]})";
    UpdateManifest m = parseManifest(text);
    EXPECT_EQ(m.version, "1.2.0");
    std::vector<std::string> names;
    std::vector<std::int32_t> sizes;
    for (const ManifestFile& f : m.files) {
        names.push_back(f.file);
        sizes.push_back(f.size);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a.deb", "b.rpm", "c.rpm", "d.rpm", "e.rpm", "f.rpm", "g.rpm"}));
    EXPECT_EQ(sizes, (std::vector<std::int32_t>{12, 0, 0, 0, 0, 2147483647, 0}));
    EXPECT_EQ(m.files[0].sha256, "abcdef");
    EXPECT_EQ(m.files[0].arch, "x86_64");

    for (const char* bad : {"", "not json", "[]", "{\"version\":3,\"files\":{}}"}) {
        UpdateManifest none = parseManifest(bad);
        EXPECT_EQ(none.version, "") << bad;
        EXPECT_TRUE(none.files.empty()) << bad;
    }
}

TEST(UpdateManifest, ChecksumNeedsSizeAndDigest)
{
    std::string bytes = "package bytes";
    ManifestFile entry{"linux", "x86_64", "deb", "p.deb", std::int32_t(bytes.size()), sha256Hex(bytes)};
    EXPECT_TRUE(fileSha256Matches(bytes, entry));
    EXPECT_FALSE(fileSha256Matches(bytes + "x", entry));
    ManifestFile wrongSize = entry;
    wrongSize.size += 1;
    EXPECT_FALSE(fileSha256Matches(bytes, wrongSize));
    ManifestFile shortDigest = entry;
    shortDigest.sha256.pop_back();
    EXPECT_FALSE(fileSha256Matches(bytes, shortDigest));
    ManifestFile upper = entry;
    std::size_t letter = upper.sha256.find_first_of("abcdef");
    upper.sha256[letter] = char(upper.sha256[letter] - 'a' + 'A');  // entries are lowered when read
    EXPECT_FALSE(fileSha256Matches(bytes, upper));
}

TEST(UpdateManifest, PathsOnlyForPlainNames)
{
    EXPECT_EQ(updateFilePath("/tmp/up", "quenmark_1.2.0_amd64.deb"), "/tmp/up/quenmark_1.2.0_amd64.deb");
    for (const char* bad : {"", ".deb", "..", "a/b.deb", "a\\b.deb", "a\nb.deb", "a\rb.deb", "a\x1b]0;x\x07.deb",
             "a\x7f.deb", "a\x1f.deb"})
        EXPECT_FALSE(updateFilePath("/tmp/up", bad).has_value()) << bad;
    EXPECT_FALSE(updateFilePath("/tmp/up", std::string_view("a\0b.deb", 7)).has_value());
    EXPECT_EQ(
        updateFilePath("/tmp/up", "caf\xc3\xa9 \xe2\x80\x94 1.2.deb"), "/tmp/up/caf\xc3\xa9 \xe2\x80\x94 1.2.deb");
}

TEST(UpdateKeys, DefaultBuildTrustsNoKey)
{
    // Tests are built without a release key; with none every pick fails.
    EXPECT_TRUE(trustedUpdateKeys().empty() || trustedUpdateKeys().front().size() == 32);
    UpdateEnvelope envelope;
    envelope.version = "1.2.0";
    envelope.manifest = R"({"version":"1.2.0","files":[]})";
    envelope.signature = std::string(64, '\0');
    EXPECT_FALSE(pickUpdateAsset(envelope, trustedUpdateKeys(), ikDeb).has_value());
}

}  // namespace
}  // namespace qm
