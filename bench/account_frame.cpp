// One frame of the Account page, signed in, with the two-factor set-up view
// and its QR code open, in a whole AppState over the fake window (recording
// GL table, nothing drawn on a screen), on 1x and 16x the heavy budget. The
// page shows no figures of the budget, so both sizes must cost the same
// within noise. The QR code's texture must be uploaded once, in the first
// frame, and reused by every frame after it: the "qr_uploads" counter counts
// uploads of a texture of the code's size, and a count other than one fails
// the run.
#include "app/account_state.h"
#include "app/frame.h"
#include "app/navigation.h"
#include "bench_app.h"
#include "codecs/qr/qr.h"
#include "heavy_budget.h"
#include "model/store.h"
#include "pages/account/account_page.h"
#include "pages/service_pages.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

int qrSide = 0;
int qrUploads = 0;

void APIENTRY countingTexImage2D(GLenum target, GLint level, GLint internal, GLsizei w, GLsizei h, GLint border,
    GLenum format, GLenum type, const void* pixels)
{
    if (w == qrSide && h == qrSide)
        ++qrUploads;
    qm::mockgl::fn::texImage2D(target, level, internal, w, h, border, format, type, pixels);
}

void accountFrame(benchmark::State& bench)
{
    // Nothing is queued, so nothing is sent; the address only keeps the
    // pump's picture cache away from a real host.
    setenv("QUENMRK_SERVER", "https://127.0.0.1:9", 1);
    qm::bench::BenchApp app("qm-account-bench", qm::fillServicePageTable, 1280, 1800);
    qm::AppState& state = *app.state;
    *state.store->budget = qm::bench::heavyBudget(int(bench.range(0)));
    qm::markDirty(*state.store);
    state.termsDue = false;  // a fresh folder would open on the terms page

    qm::User& user = state.store->budget->user;
    user.first_name = "Robin";
    user.last_name = "Hale";
    user.email = "robin.hale@example.test";
    state.session.email = user.email;
    state.session.token = "bench-token";
    state.session.user_id = 42;
    // The texture cache lives as long as the program: a text of its own for
    // every run makes each run upload its code once.
    static int run = 0;
    state.request.twoFactorSecret = "JBSWY3DPEHPK3PXPJBSWY3DPEHPK3PXP";
    state.request.twoFactorUri = "otpauth://totp/quenmark.example:robin.hale%40example.test?secret="
        + state.request.twoFactorSecret + "&issuer=quenmark.example&run=" + std::to_string(++run);
    qrSide = qm::encodeQr(state.request.twoFactorUri).size + 8;
    qrUploads = 0;
    qm::glTexImage2D = countingTexImage2D;

    qm::showPage(state, qm::pageAccount);
    qm::accountPageState(state).twoFactorSetupShown = true;
    for (int i = 0; i < 3; ++i)
        qm::drawFrame(state, 1.0 / 60);
    for (auto _ : bench)
        qm::drawFrame(state, 1.0 / 60);
    bench.counters["transactions"] = double(state.store->budget->transactions.size());
    bench.counters["qr_uploads"] = double(qrUploads);
    if (qrUploads != 1)
        bench.SkipWithError("the QR code's texture was not uploaded exactly once");
    qm::pageTable().stopWorkers(state);
    qm::pageTable().joinWorkers(state);
}

}  // namespace

BENCHMARK(accountFrame)->Arg(1)->Arg(16)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
