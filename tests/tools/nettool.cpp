// Drives the network client for the oracle scripts. Reads one JSON command a
// line on standard input and answers each with one JSON line:
//   {"op":"post","url","body"|"bodySize","type","timeout","headers"} -> {"ok","status","text"}
//   {"op":"get","url","timeout"}, {"op":"download","url","target","maxBytes"} -> same, download adds "exists"
//   {"op":"call","server","path","body","token","timeout"}           -> the ApiResult
//   {"op":"request", NetRequest fields, "params":[[k,v],...]}          -> the NetReply (picture in hex)
//   {"op":"stress","post","download","target","count"}               -> two threads at once; fds and children after
//   {"op":"cancel","how":"post"|"get"|"download","url","target","afterMs"} -> result, elapsed ms, children
//   {"op":"verify","manifest","signature","keys"}                    -> {"ok"}
//   {"op":"reply","body","keys","installKind"}                       -> the UpdateReply and the picked asset
//   {"op":"qr","hex","version","mask"}                                -> {"size","mask","rows"}
// Texts that may hold any bytes are given in hex where noted.
#include "codecs/qr/qr.h"
#include "codecs/qr/qr_internal.h"
#include "core/base64.h"
#include "core/json.h"
#include "hex_text.h"
#include "net/api.h"
#include "net/http.h"
#include "net/update_envelope.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace qm;
using testing_hex::fromHex;
using testing_hex::toHex;

namespace {

Json httpJson(const HttpResult& r) { return Json{{"ok", r.ok}, {"status", r.status}, {"text", r.text}}; }

int openFds()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                ++count;
        closedir(dir);
    }
    return count - 1;  // the listing's own descriptor
}

// "none" when this process has no child at all, "zombie" when one exited
// unreaped, "running" when one still runs.
std::string children()
{
    int status;
    pid_t pid = waitpid(-1, &status, WNOHANG);
    if (pid < 0 && errno == ECHILD)
        return "none";
    return pid > 0 ? "zombie" : "running";
}

std::vector<std::string> keysOf(const Json& cmd)
{
    std::vector<std::string> keys;
    if (cmd.contains("keys"))
        for (const Json& k : cmd["keys"])
            keys.push_back(decodeBase64(k.get<std::string>()).value_or(""));
    return keys;
}

Json envelopeJson(const UpdateEnvelope& e)
{
    return Json{{"version", e.version}, {"manifest", e.manifest}, {"signature", toHex(e.signature)}, {"base", e.base},
        {"notes_url", e.notes_url}};
}

Json run(const Json& cmd)
{
    std::string op = cmd.at("op");
    if (op == "post") {
        std::string body =
            cmd.contains("bodySize") ? std::string(cmd["bodySize"].get<std::size_t>(), 'q') : cmd.value("body", "");
        std::vector<std::string> headers = cmd.value("headers", std::vector<std::string>());
        return httpJson(httpPost(cmd.at("url").get<std::string>(), body, cmd.value("type", "application/json"),
            cmd.value("timeout", 30000), headers));
    }
    if (op == "get")
        return httpJson(httpGet(cmd.at("url").get<std::string>(), cmd.value("timeout", 20000)));
    if (op == "download") {
        std::string target = cmd.at("target");
        Json out = httpJson(
            httpDownload(cmd.at("url").get<std::string>(), target, cmd.value("maxBytes", std::uint64_t(1) << 30)));
        struct stat info;
        out["exists"] = stat(target.c_str(), &info) == 0;
        return out;
    }
    if (op == "call" || op == "request") {
        ApiResult result;
        Json out = Json::object();
        if (op == "call") {
            std::optional<Json> body;
            if (cmd.contains("body") && !cmd["body"].is_null())
                body = cmd["body"];
            result = callApi(cmd.at("server").get<std::string>(), cmd.at("path").get<std::string>(), body,
                cmd.value("token", ""), cmd.value("timeout", 30000));
        } else {
            NetRequest request;
            request.category = RequestCategory(cmd.value("category", 1));
            request.server = cmd.at("server");
            request.token = cmd.value("token", "");
            request.kind = AccountRequestKind(cmd.value("kind", 0));
            // A name the request has no member for cannot be sent, so it is left out.
            if (cmd.contains("params"))
                for (const Json& pair : cmd["params"]) {
                    std::string name = pair[0].get<std::string>();
                    if (name == "post")
                        request.pictureByPost = true;
                    for (const AccountFieldKey& field : accountFieldKeys)
                        if (field.key == name)
                            request.fields.*field.member = pair[1].get<std::string>();
                }
            if (cmd.contains("ops"))
                request.ops = cmd["ops"];
            request.etag = cmd.value("etag", "");
            request.highestSeq = cmd.value("highestSeq", 0);
            NetReply reply = performRequest(request);
            result = reply.result;
            out["category"] = int(reply.category);
            out["kind"] = int(reply.kind);
            out["highestSeq"] = reply.highestSeq;
            out["opCount"] = reply.opCount;
            out["pictureKey"] = reply.pictureKey;
            out["pictureHex"] = toHex(reply.pictureData);
            out["pictureByPost"] = reply.pictureByPost;
        }
        out["ok"] = result.ok;
        out["status"] = result.status;
        out["transportFailed"] = result.transportFailed;
        out["message"] = result.message;
        out["code"] = result.code;
        out["reply"] = result.reply ? *result.reply : Json();
        out["hasReply"] = result.reply.has_value();
        return out;
    }
    if (op == "stress") {
        int count = cmd.value("count", 100);
        std::string target = cmd.at("target");
        int fdsBefore = openFds();
        std::atomic<int> posts{0}, downloads{0};
        std::thread poster([&] {
            std::string body(cmd.value("bodySize", 1000), 'p');
            for (int i = 0; i < count; ++i)
                if (HttpResult r = httpPost(cmd.at("post").get<std::string>(), body, "application/json", 30000, {});
                    r.ok && r.status == 200)
                    ++posts;
        });
        std::thread loader([&] {
            for (int i = 0; i < count; ++i)
                if (HttpResult r = httpDownload(cmd.at("download").get<std::string>(), target, std::uint64_t(1) << 20);
                    r.ok && r.status == 200)
                    ++downloads;
        });
        poster.join();
        loader.join();
        return Json{{"posts", posts.load()}, {"downloads", downloads.load()}, {"fdsBefore", fdsBefore},
            {"fdsAfter", openFds()}, {"children", children()}};
    }
    if (op == "cancel") {
        HttpCancel cancel;
        HttpResult result;
        std::string how = cmd.at("how"), url = cmd.at("url");
        auto start = std::chrono::steady_clock::now();
        std::thread worker([&] {
            if (how == "post")
                result = httpPost(url, "{}", "application/json", 60000, {}, &cancel);
            else if (how == "get")
                result = httpGet(url, 60000, &cancel);
            else
                result = httpDownload(url, cmd.at("target").get<std::string>(), std::uint64_t(1) << 30, &cancel);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(cmd.value("afterMs", 500)));
        cancel.cancel();
        worker.join();
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        Json out = httpJson(result);
        out["elapsedMs"] = ms.count();
        out["children"] = children();
        return out;
    }
    if (op == "verify") {
        std::string signature = decodeBase64(cmd.at("signature").get<std::string>()).value_or("");
        return Json{{"ok", verifyManifestSignature(cmd.at("manifest").get<std::string>(), signature, keysOf(cmd))}};
    }
    if (op == "reply") {
        UpdateReply reply = parseUpdateReply(cmd.at("body").get<std::string>());
        Json out{{"ok", reply.ok}, {"error", reply.error}, {"current", envelopeJson(reply.current)},
            {"major", envelopeJson(reply.major)}};
        std::optional<ManifestFile> asset =
            pickUpdateAsset(reply.current, keysOf(cmd), InstallKind(cmd.value("installKind", int(ikDeb))));
        out["found"] = asset.has_value();
        if (asset)
            out["asset"] = Json{{"os", asset->os}, {"arch", asset->arch}, {"kind", asset->kind}, {"file", asset->file},
                {"size", asset->size}, {"sha256", asset->sha256}};
        return out;
    }
    if (op == "qr") {
        std::string data = fromHex(cmd.value("hex", ""));
        int version = cmd.value("version", 0);
        QrCode code = version == 0 ? encodeQr(data) : encodeQrWith(data, version, cmd.value("mask", 0));
        Json rows = Json::array();
        for (int y = 0; y < code.size; ++y) {
            std::string row;
            for (int x = 0; x < code.size; ++x)
                row += char('0' + qrModule(code, x, y));
            rows.push_back(row);
        }
        return Json{
            {"size", code.size}, {"mask", version == 0 ? qrChosenMask(data) : cmd.value("mask", 0)}, {"rows", rows}};
    }
    return Json{{"error", "unknown op"}};
}

}  // namespace

int main()
{
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line.empty())
            continue;
        std::cout << dumpJson(run(parseJson(line))) << std::endl;
    }
    return 0;
}
