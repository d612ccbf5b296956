#include "net/network.h"

#include "app/account_state.h"
#include "app/budget_io.h"
#include "app/paths.h"
#include "app/picture_cache.h"
#include "core/errors.h"
#include "net/account_replies.h"

#include <exception>
#include <new>

namespace qm {

namespace {

NetReply failedReply(const NetRequest& request, const char* what)
{
    NetReply reply = emptyReplyTo(request);
    reply.result.transportFailed = true;
    reply.result.message = what;
    return reply;
}

NetReply runRequest(const NetRequest& request, const HttpCancel& cancel)
{
    try {
        return performRequest(request, &cancel);
    } catch (const std::bad_alloc&) {
        return failedReply(request, "Out of memory");
    } catch (const std::exception&) {
        // The texts of these failures may quote a request; none reaches the screen.
        return failedReply(request, "The request could not be made");
    }
}

void dispatchReply(AppState& state, const NetReply& reply)
{
    switch (reply.category) {
    case rcPicture:
        if (!state.pictures)
            return;
        if (reply.pictureByPost)
            storeAvatar(*state.pictures, reply.pictureKey, reply.result.ok, reply.pictureData);
        else
            storeCustomIcon(*state.pictures, reply.pictureKey, reply.result.ok, reply.pictureData);
        return;
    case rcAccount:
        applyAccountReply(state, reply);
        return;
    case rcSync:
        if (state.network->sync.applyReply)
            state.network->sync.applyReply(state, reply);
        return;
    }
}

// What a reply holds is the service's to choose: a reader refusing some part
// of it ends that reply as a failure of its kind, never the program.
void applyReply(AppState& state, const NetReply& reply)
{
    try {
        dispatchReply(state, reply);
        return;
    } catch (const ValueError&) {
    } catch (const Json::exception&) {
    }
    std::string message = notUnderstoodMessage(reply.result.status);
    if (reply.category == rcSync) {
        state.syncState = syncFailed;
        state.lastSyncError = message;
    } else if (reply.category == rcAccount) {
        showError(state, message);
    }
}

void submitPageRequest(AppState& state)
{
    AccountRequest& request = state.request;
    if (!request.pending || request.kind == akMe || request.kind > akCalendarTokenOff || request.sent)
        return;
    NetRequest job;
    job.category = rcAccount;
    job.server = serverBaseUrl(state.settings);
    job.token = state.session.token;
    job.kind = request.kind;
    job.fields = request.fields;
    job.budgetId = state.budgetId;
    job.serial = request.serial;
    request.sent = true;
    enqueueNetRequest(state, std::move(job));
}

void requestPictures(AppState& state)
{
    if (!state.pictures)
        return;
    PictureCache& cache = *state.pictures;
    for (auto& [key, url] : takePendingIconUrls(cache)) {
        NetRequest job;
        job.category = rcPicture;
        job.server = std::move(url);
        job.etag = std::move(key);
        job.budgetId = state.budgetId;
        enqueueNetRequest(state, std::move(job));
    }
    auto [key, url] = takePendingAvatarFetch(cache, isSignedIn(state));
    if (!key.empty()) {
        NetRequest job;
        job.category = rcPicture;
        job.server = std::move(url);
        job.token = state.session.token;
        job.pictureByPost = true;
        job.etag = std::move(key);
        job.budgetId = state.budgetId;
        enqueueNetRequest(state, std::move(job));
    }
}

}  // namespace

NetworkState::NetworkState()
    : worker(runRequest)
{
}

void initNetwork(AppState& state)
{
    if (!state.network)
        state.network = std::make_shared<NetworkState>();
    if (!state.pictures)
        state.pictures = std::make_shared<PictureCache>(newPictureCache(state.settings));
}

void enqueueNetRequest(AppState& state, NetRequest request)
{
    if (!state.network)
        initNetwork(state);
    state.network->worker.submit(std::move(request));
}

void pumpNetwork(AppState& state)
{
    if (!state.network)
        initNetwork(state);
    NetworkState& net = *state.network;
    state.request.replyKind = akMe;
    submitPageRequest(state);

    if (state.signOutRequested) {
        state.signOutRequested = false;
        if (isSignedIn(state) && state.online)
            queueAccountRequest(state, akLogout, {});
        else
            signOut(state);
    }

    std::vector<NetReply> taken = net.worker.take();
    for (const NetReply& reply : taken)
        applyReply(state, reply);
    if (!taken.empty())
        state.redrawRequested = true;

    requestPictures(state);
    if (net.sync.schedule)
        net.sync.schedule(state);
    if (state.pictures && state.pictures->redraw) {
        state.pictures->redraw = false;
        state.redrawRequested = true;
    }
}

void stopNetworkWorker(AppState& state)
{
    if (state.network)
        state.network->worker.stop();
}

void joinNetworkWorker(AppState& state)
{
    if (state.network)
        state.network->worker.join();
    if (state.pictures)
        releasePictureCache(*state.pictures);
}

}  // namespace qm
