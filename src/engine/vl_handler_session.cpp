// The switch session: the polling thread with the quick switch, the end and the cancel, and
// the temporary keys.
#include <algorithm>

#include "engine/vl_handler.h"
#include "model/window_list_pass.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace velora {

// --- polling

void VLHandler::startPolling(bool forward, VLCandidateList candidates, uint64_t session) {
    pollingThreads_.fetch_add(1);
    threads_.start([this, forward, candidates = std::move(candidates), session] {
        instantActivate(forward, candidates, session);
        pollingThreads_.fetch_sub(1);
    });
}

void VLHandler::instantActivate(bool forward, const VLCandidateList& candidates) {
    instantActivate(forward, candidates, session_.load());
}

void VLHandler::instantActivate(bool forward, const VLCandidateList& candidates, uint64_t session) {
    lock_.lock();
    SessionLockHold hold(lock_);
    // 0.2 s gives 4.0, 0 gives 0.0; compared with the poll count as floats.
    const float threshold = float(double(displayDelay()) / kPollInterval);
    // The modifiers are checked every poll interval, and at once when the tap reports their
    // release (endHandling wakes this sleep): a quick switch need not wait for the next poll.
    // Only a full interval counts as a poll, so an early check never brings the panel sooner.
    // Each poll is due one interval after the previous one was due, so the late wake-ups of
    // a busy machine do not add up over the delay.
    double left = kPollInterval;
    double due = mainThread().now();
    bool picturesAsked = false;
    for (int polls = 0;;) {
        // A later press started a further session (that one decides), or the switch has
        // been ended meanwhile.
        if (!isCurrentSession(session)) return;
        // Read before the check, so that a release reported after it cuts the sleep short.
        const uint64_t wakes = mainThread().wakeCount();
        const bool released = (input().currentModifierFlags() & kEventFlagsDeviceIndependentMask) == 0;
        if (!(threshold > float(polls))) break;
        if (released) {
            // The switch ends here: close its session before anything is activated, so
            // that command keys queued for it, and ends that find the panel still up
            // before the hand-off below has taken it down, no longer act on it.
            if (!closeSession(session)) return; // superseded just now
            quickSwitch(forward, candidates, session + 1);
            return;
        }
        const double start = mainThread().now();
        // False when the platform shuts down.
        if (!mainThread().sleepUnlessWoken(left, wakes)) return;
        if (mainThread().wakeCount() == wakes) {
            ++polls;
            // Held long enough that the panel will show: its pictures are read now, so
            // that they are in its first frame. A quick switch never gets here and reads
            // no pixels.
            if (!picturesAsked && threshold - float(polls) <= kPictureLeadPolls) {
                picturesAsked = true;
                mainThread().performAsync([this, session] {
                    if (isCurrentSession(session)) coverFlow().refreshPictures();
                });
            }
            due += kPollInterval;
            left = kPollInterval - std::clamp(mainThread().now() - due, 0.0, kPollInterval);
        } else {
            left = std::max(0.0, left - (mainThread().now() - start));
        }
    }
    // The delay has run out (or the release came at its last poll): the panel comes up
    // and the release will end the switch through endHandling.
    bool shown = false;
    mainThread().performSync([this, session, &shown] {
        if (!isCurrentSession(session)) return;
        coverFlow().show();
        shown = true;
    });
    // A release of the tracked modifiers reported before the panel was up found nothing
    // to end (with no delay, or Caps Lock on, or an end that overtook this thread): end
    // now. A second end, from that same release, then finds the panel hidden.
    if (shown && (input().currentModifierFlags() & kEventFlagsTrackedMask) == 0)
        mainThread().performAsync([this] { endHandling(); });
}

void VLHandler::quickSwitch(bool forward, const VLCandidateList& candidates, uint64_t closed) {
    trace::mark("end:quick");
    activateQuickSwitchTarget(forward, candidates);
    // Then the panel is left as if the switch had never begun, unless a new switch has begun
    // meanwhile. A panel that is up (a mode change kept it visible) is hidden, so no release
    // finds it up with nothing in it. Posted after the activation: the session is closed
    // already, so nothing acts on the panel meanwhile, and dropping a large filling on the
    // main thread does not compete with the activation for the processor.
    mainThread().performAsync([this, closed] {
        if (!isCurrentSession(closed)) return;
        unregisterHotkeys();
        queue().cancelAllOperations();
        if (coverFlow().isShown())
            coverFlow().hide();
        else
            coverFlow().clearItems();
    });
}

void VLHandler::activateQuickSwitchTarget(bool forward, const VLCandidateList& candidates) {
    // Forward: the first acceptable candidate after the current one; backward: the last
    // acceptable one, the current one included.
    WindowListPass pass;
    const std::size_t n = candidates.size();
    for (std::size_t step = 0; step < n; ++step) {
        const std::size_t index = forward ? step + 1 : n - 1 - step;
        if (index >= n) break;
        const VLCandidate& candidate = candidates[index];
        if (const RunningApplicationRef* app = std::get_if<RunningApplicationRef>(&candidate)) {
            if (*app && shouldShowApp(*app)) {
                (*app)->activateWithOptions(kActivateForSwitch);
                IKBBrowserItem::reOpen(*app);
                return;
            }
        } else if (const VLElementRef* window = std::get_if<VLElementRef>(&candidate)) {
            if (*window && (*window)->shouldShowWindow(pass.forShouldShowWindow(**window))) {
                (*window)->raise();
                return;
            }
        }
    }
}

// --- end and cancel

void VLHandler::endHandling() {
    if (!mainThread().isMainThread()) {
        // Wake a polling thread of the session, so that it sees the release now rather than at
        // its next poll; wait for it to decide, then hand over: the panel is a main-thread
        // object, and the hand-off queues behind a show or quick switch it posted.
        mainThread().wakeSleepers();
        lock_.lock();
        lock_.unlock();
        mainThread().performAsync([this] { endHandling(); });
        return;
    }
    if (!lock_.lockOrRetryLater([this] { endHandling(); })) return;
    SessionLockHold hold(lock_);
    // A panel still up after its switch was closed (a quick switch whose hand-off is still
    // queued) is not ended again.
    if (sessionIsOpen() && coverFlow().isShown()) finishSwitch(true);
}

void VLHandler::cancelHandling() {
    if (!mainThread().isMainThread()) {
        lock_.lock();
        lock_.unlock();
        mainThread().performAsync([this] { cancelHandling(); });
        return;
    }
    if (!lock_.lockOrRetryLater([this] { cancelHandling(); })) return;
    SessionLockHold hold(lock_);
    if (sessionIsOpen() && coverFlow().isShown()) finishSwitch(false);
}

void VLHandler::finishSwitch(bool activate) {
    trace::mark(activate ? "end:activate" : "end:cancel");
    endSession();
    queue().cancelAllOperations();
    unregisterHotkeys();
    // The panel goes first, confirmed off the screen, and the activation after it: taking
    // the panel away enters the window under the pointer, which a manager whose focus
    // follows the mouse then focuses; the activation must come later to win. (None when the
    // panel holds no item.)
    IKBBrowserItemRef chosen = activate ? coverFlow().selectedElement() : nullptr;
    coverFlow().hide();
    if (chosen) chosen->activate();
    if (!activate)
        if (RunningApplicationRef app = previouslyActive())
            app->activateWithOptions(kActivateIgnoringOtherApps);
}

// --- temporary keys

void VLHandler::registerHotkeys(int32_t) {
    unregisterHotkeys();
    IKBBrowserItemRef selected = coverFlow().selectedElement();
    if (!selected || selected->isEmpty()) return;
    shouldHandleKeys_.store(true);
    if (VLApplicationDelegate* delegate = applicationDelegate())
        if (SGHotKeyRef key = delegate->keyUniversalBackward()) hotKeys().registerHotKey(key);
    hotKeys().setCommandKeys(commandKeyCodes());
}

void VLHandler::unregisterHotkeys() {
    shouldHandleKeys_.store(false);
    if (VLApplicationDelegate* delegate = applicationDelegate())
        if (SGHotKeyRef key = delegate->keyUniversalBackward()) hotKeys().unregisterHotKey(key);
    hotKeys().setCommandKeys({});
}

} // namespace velora
