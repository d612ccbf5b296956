// Differential check of inflate against zlib on arbitrary raw streams, and a
// round trip of the input through deflate at a level picked from the input.
//
// Where zlib accepts a stream we must produce the same bytes. Where only we
// accept, the reason must be one of inflate's deliberate leniencies: NLEN not
// compared, incomplete codes or more than 286/30 code lengths accepted, or
// zeros assumed past the end (then zlib, given those zeros, must agree).
//
// zlib is opened at run time so that nothing but this target depends on it.
#include <dlfcn.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "codecs/compress/deflate.h"
#include "codecs/compress/inflate.h"
#include "core/errors.h"

namespace {

constexpr int64_t outputLimit = 1 << 24;

struct Zlib {
    decltype(&::inflateInit2_) init;
    decltype(&::inflate) run;
    decltype(&::inflateEnd) end;
};

const Zlib& zlib()
{
    static const Zlib z = [] {
        void* lib = dlopen("libz.so.1", RTLD_NOW);
        if (!lib) {
            std::fprintf(stderr, "could not load: libz.so.1\n");
            std::abort();
        }
        return Zlib{reinterpret_cast<decltype(&::inflateInit2_)>(dlsym(lib, "inflateInit2_")),
            reinterpret_cast<decltype(&::inflate)>(dlsym(lib, "inflate")),
            reinterpret_cast<decltype(&::inflateEnd)>(dlsym(lib, "inflateEnd"))};
    }();
    return z;
}

struct Outcome {
    bool ok = false;
    bool needsInput = false;  // zlib only: the stream ended early
    std::string message;
    std::vector<uint8_t> bytes;
};

Outcome zlibInflate(const uint8_t* data, size_t size)
{
    const Zlib& z = zlib();
    z_stream s{};
    z.init(&s, -15, ZLIB_VERSION, static_cast<int>(sizeof s));
    Outcome o;
    std::vector<uint8_t> buf(1 << 16);
    s.next_in = const_cast<uint8_t*>(data);
    s.avail_in = static_cast<uInt>(size);
    for (;;) {
        s.next_out = buf.data();
        s.avail_out = static_cast<uInt>(buf.size());
        int rc = z.run(&s, Z_NO_FLUSH);
        o.bytes.insert(o.bytes.end(), buf.data(), buf.data() + (buf.size() - s.avail_out));
        if (rc == Z_STREAM_END) {
            o.ok = true;
            break;
        }
        if (rc == Z_OK && s.avail_out == 0 && o.bytes.size() <= static_cast<size_t>(outputLimit))
            continue;
        if (rc == Z_BUF_ERROR || (rc == Z_OK && s.avail_in == 0))
            o.needsInput = true;
        o.message = s.msg ? s.msg : "";
        break;
    }
    z.end(&s);
    return o;
}

Outcome ours(const uint8_t* data, size_t size)
{
    Outcome o;
    try {
        o.bytes = qm::inflate({data, size}, false, {}, 0, outputLimit);
        o.ok = true;
    } catch (const qm::ValueError& e) {
        o.message = e.what();
    }
    return o;
}

[[noreturn]] void failLimit(const char* what, size_t size, int64_t limit, int32_t hint)
{
    std::fprintf(stderr, "%s: %zu bytes, limit %lld, size hint %d\n", what, size, static_cast<long long>(limit), hint);
    std::abort();
}

// A limit of exactly the output's size must pass and one byte less must be
// refused, whatever the size hint: the output buffer grows, is measured or
// starts again differently for each.
void limits(const uint8_t* data, size_t size, const std::vector<uint8_t>& expected)
{
    const int64_t n = static_cast<int64_t>(expected.size());
    const int32_t hint = size ? static_cast<int32_t>(data[size - 1]) * 97 : 0;
    try {
        if (qm::inflate({data, size}, false, {}, hint, n) != expected)
            failLimit("differs at a limit of its size", size, n, hint);
    } catch (const qm::ValueError&) {
        failLimit("refused at a limit of its size", size, n, hint);
    }
    if (n == 0)
        return;
    try {
        qm::inflate({data, size}, false, {}, hint, n - 1);
        failLimit("accepted below its size", size, n - 1, hint);
    } catch (const qm::InflateLimitError&) {
    }
    std::vector<uint8_t> prefix = qm::inflatePrefix({data, size}, false, {}, hint, n / 2);
    if (!std::equal(prefix.begin(), prefix.end(), expected.begin()) || static_cast<int64_t>(prefix.size()) != n / 2)
        failLimit("prefix differs", size, n / 2, hint);
}

// The same stream in pieces of a size picked from the input, whole and up to
// half its output: the output then passes through a ring that holds only the
// match history, so long matches reach back across its end.
void inParts(const uint8_t* data, size_t size, const std::vector<uint8_t>& expected)
{
    const size_t piece = size ? size_t{data[0]} % 64 * 97 + 1 : 1;
    std::vector<std::span<const uint8_t>> pieces;
    for (size_t at = 0; at < size; at += piece)
        pieces.emplace_back(data + at, std::min(piece, size - at));
    const int64_t n = static_cast<int64_t>(expected.size());
    auto failParts = [&](const char* what, int64_t limit) {
        std::fprintf(
            stderr, "%s: %zu bytes in pieces of %zu, limit %lld\n", what, size, piece, static_cast<long long>(limit));
        std::abort();
    };
    for (int64_t limit : {n, n / 2}) {
        std::vector<uint8_t> got;
        try {
            qm::inflatePrefixInParts(pieces, false, limit, [&](std::span<const uint8_t> part) {
                got.insert(got.end(), part.begin(), part.end());
                return true;
            });
        } catch (const qm::ValueError&) {
            failParts("refused in pieces", limit);
        }
        if (static_cast<int64_t>(got.size()) != limit || !std::equal(got.begin(), got.end(), expected.begin()))
            failParts("differs in pieces", limit);
    }
}

[[noreturn]] void fail(const char* what, const Outcome& mine, const Outcome& theirs)
{
    std::fprintf(stderr, "%s: ours %s '%s' (%zu bytes), zlib %s '%s' (%zu bytes)\n", what, mine.ok ? "ok" : "failed",
        mine.message.c_str(), mine.bytes.size(), theirs.ok ? "ok" : "failed", theirs.message.c_str(),
        theirs.bytes.size());
    std::abort();
}

bool lenient(const std::string& zlibMessage)
{
    static const char* allowed[] = {"invalid stored block lengths", "too many length or distance symbols",
        "invalid code lengths set", "invalid literal/lengths set", "invalid distances set"};
    for (const char* a : allowed)
        if (zlibMessage == a)
            return true;
    return false;
}

void differential(const uint8_t* data, size_t size)
{
    Outcome mine = ours(data, size);
    Outcome theirs = zlibInflate(data, size);
    if (theirs.ok) {
        if (theirs.bytes.size() > static_cast<size_t>(outputLimit))
            return;
        if (!mine.ok || mine.bytes != theirs.bytes)
            fail("zlib accepts, we differ", mine, theirs);
        limits(data, size, mine.bytes);
        inParts(data, size, mine.bytes);
        return;
    }
    if (!mine.ok)
        return;
    if (theirs.needsInput) {
        // We read zeros past the end; so must zlib, then.
        std::vector<uint8_t> padded(data, data + size);
        padded.resize(size + 17, 0);
        Outcome again = zlibInflate(padded.data(), padded.size());
        if (again.ok ? again.bytes != mine.bytes : !lenient(again.message))
            fail("past the end", mine, again);
        return;
    }
    if (!lenient(theirs.message))
        fail("we accept what zlib rejects", mine, theirs);
}

void roundTrip(const uint8_t* data, size_t size)
{
    int level = size ? data[0] % 10 : 6;
    std::vector<uint8_t> packed = qm::deflateData({data, size}, level, {});
    Outcome back = ours(packed.data(), packed.size());
    Outcome theirs = zlibInflate(packed.data(), packed.size());
    std::vector<uint8_t> original(data, data + size);
    if (!back.ok || back.bytes != original || !theirs.ok || theirs.bytes != original)
        fail("deflate round trip", back, theirs);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    differential(data, size);
    roundTrip(data, size);
    return 0;
}
