#include "model/vl_window_manager.h"

#include <algorithm>
#include <string>

#include "model/window_list_pass.h"
#include "platform/ax_names.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace velora {

namespace {

// The shared instance. Never destroyed at exit: the scanning thread may still run then.
struct SharedSlot {
    std::mutex mutex;
    std::shared_ptr<VLWindowManager> manager;
    std::atomic<VLWindowManager*> fast{nullptr};
};

SharedSlot& sharedSlot() {
    static SharedSlot* slot = new SharedSlot;
    return *slot;
}

} // namespace

// --- the singleton

VLWindowManager& VLWindowManager::sharedManager() {
    SharedSlot& slot = sharedSlot();
    if (VLWindowManager* manager = slot.fast.load(std::memory_order_acquire)) return *manager;
    std::lock_guard lock(slot.mutex);
    if (!slot.manager) {
        slot.manager = std::shared_ptr<VLWindowManager>(new VLWindowManager);
        slot.manager->setUp();
        slot.fast.store(slot.manager.get(), std::memory_order_release);
    }
    return *slot.manager;
}

void VLWindowManager::resetSharedManagerForTesting() {
    SharedSlot& slot = sharedSlot();
    std::shared_ptr<VLWindowManager> old;
    {
        std::lock_guard lock(slot.mutex);
        slot.fast.store(nullptr, std::memory_order_release);
        old = std::move(slot.manager);
    }
    if (old) old->stop();
}

VLWindowManager::VLWindowManager() = default;

VLWindowManager::~VLWindowManager() {
    stop();
}

void VLWindowManager::setUp() {
    workspace().addObserver(this);
    registered_ = true;
    scanApps();
    scanningThread_ = std::thread([this] { scanWindowsThread(); });
}

void VLWindowManager::stop() {
    if (registered_ && hasPlatform()) workspace().removeObserver(this);
    registered_ = false;
    stopping_.store(true);
    if (scanningThread_.joinable()) scanningThread_.join();
    std::vector<std::shared_ptr<VLObserver>> dropped;
    {
        std::lock_guard lock(observersMutex_);
        dropped.swap(observers_);
    }
}

// --- the list

std::vector<VLElementRef> VLWindowManager::windowsArray() const {
    std::lock_guard lock(windowsMutex_);
    return windows_;
}

void VLWindowManager::addObject(VLElementRef record) {
    if (!record) return;
    std::lock_guard lock(windowsMutex_);
    windows_.push_back(std::move(record));
}

void VLWindowManager::insertObject(VLElementRef record, std::size_t index) {
    if (!record) return;
    std::lock_guard lock(windowsMutex_);
    index = std::min(index, windows_.size());
    windows_.insert(windows_.begin() + std::ptrdiff_t(index), std::move(record));
}

void VLWindowManager::removeObject(const VLElementRef& record) {
    if (!record) return;
    std::lock_guard lock(windowsMutex_);
    std::erase_if(windows_,
                  [&](const VLElementRef& listed) { return listed == record || record->isEqualTo(*listed); });
}

void VLWindowManager::processWindow(VLElementRef record, bool addToTop) {
    if (!record || record->element().isNull()) return;
    std::lock_guard lock(windowsMutex_);
    auto listed = std::find_if(windows_.begin(), windows_.end(),
                               [&](const VLElementRef& e) { return record->isEqualTo(*e); });
    if (listed == windows_.begin() && listed != windows_.end()) return; // already the most recent
    if (listed != windows_.end()) {
        // Keep the listed record, which has learned its window number and verdicts.
        if (addToTop) std::rotate(windows_.begin(), listed, listed + 1);
        return;
    }
    if (addToTop)
        windows_.insert(windows_.begin(), std::move(record));
    else
        windows_.push_back(std::move(record));
}

void VLWindowManager::removeWindow(const AXElement& element) {
    removeObject(VLElement::elementWithElementRef(element));
}

std::vector<VLElementRef> VLWindowManager::windowsForPID(pid_t pid) const {
    std::vector<VLElementRef> result;
    WindowListPass pass;
    for (const VLElementRef& record : windowsArray()) {
        // A record that knows another owner cannot qualify; the rules would not change that.
        pid_t known = record->pid();
        if (known != 0 && known != pid) continue;
        if (record->shouldShowWindow(pass.forShouldShowWindow(*record)) && record->pid() == pid)
            result.push_back(record);
    }
    return result;
}

bool VLWindowManager::pidHasOpenWindows(pid_t pid) const {
    WindowListPass pass;
    for (const VLElementRef& record : windowsArray()) {
        pid_t known = record->pid();
        if (known != 0 && known != pid) continue;
        if (record->shouldShowWindowDisregardingOptions(pass.forDisregardingOptions(*record)) &&
            record->pid() == pid)
            return true;
    }
    return false;
}

// --- scanning

void VLWindowManager::scanApps() {
    for (const RunningApplicationRef& app : workspace().runningApplications()) {
        if (!app) continue;
        pid_t pid = app->processIdentifier();
        addAppWindows(pid);
        addObserverForApp(pid);
    }
}

void VLWindowManager::addAppWindows(pid_t pid) {
    AXElement application = accessibility().createApplication(pid);
    if (application.isNull()) return;
    for (VLElementRef& record : VLElement::elementsForElementRef(application))
        processWindow(std::move(record), false);
}

void VLWindowManager::addObserverForApp(pid_t pid) {
    auto watched = [&] {
        return std::any_of(observers_.begin(), observers_.end(), [&](auto& o) { return o->isEqualTo(pid); });
    };
    {
        std::lock_guard lock(observersMutex_);
        if (watched()) return;
    }
    auto holder = VLObserver::observerWithPid(pid, weak_from_this());
    if (!holder) return;
    AXElement application = accessibility().createApplication(pid);
    if (application.isNull()) return;
    holder->observer()->addNotification(application, ax::WindowCreated);
    holder->observer()->addNotification(application, ax::ElementDestroyed);
    {
        std::lock_guard lock(observersMutex_);
        if (watched()) return; // another thread won; this holder is dropped unscheduled
        observers_.push_back(holder);
    }
    // On the main thread's run loop, whichever thread installs it: that one always runs.
    holder->observer()->scheduleOnMainThread();
}

std::vector<std::shared_ptr<VLObserver>> VLWindowManager::observers() const {
    std::lock_guard lock(observersMutex_);
    return observers_;
}

void VLWindowManager::pollFocusedWindow() {
    VLElementRef focused = VLElement::elementOfFocusedWindow();
    const uint64_t window = focused ? focused->element().id : 0;
    processWindow(std::move(focused), true);
    // Lets a watcher outside (the end-to-end tests) wait until the order has taken the focus in.
    if (window != 0 && trace::enabled()) trace::mark(("recent:" + std::to_string(window)).c_str());
}

void VLWindowManager::purgeAndRescan() {
    for (const VLElementRef& record : windowsArray())
        if (record->wid() != VLElement::kNoWindow && !record->checkIfExists()) removeObject(record);
    scanApps();
}

void VLWindowManager::scanWindowsThread() {
    MainThreadPort& main = mainThread();
    for (int pass = 0; !stopping_.load(); pass = (pass + 1) % kPassesPerRescan) {
        const std::optional<uint64_t> seen = accessibility().focusChangeCount();
        pollFocusedWindow();
        if (pass == 0) purgeAndRescan();
        completedPasses_.fetch_add(1, std::memory_order_release);
        if (!main.sleepFor(kPollInterval)) break;
        if (seen && !waitForFocusChange(*seen, pass)) break;
    }
}

bool VLWindowManager::waitForFocusChange(uint64_t seen, int& pass) {
    // Where the desktop reports focus changes, polls that would find the focus where it was
    // are skipped: the thread sleeps until a change wakes it or the next rescan is due, so
    // an idle desktop costs no wake-ups. The skipped polls count as passes.
    MainThreadPort& main = mainThread();
    const double start = main.now();
    const double untilRescan = (kPassesPerRescan - 1 - pass) * kPollInterval;
    for (;;) {
        // Read before the check, so that a change reported after it cuts the sleep short.
        const uint64_t wakes = main.wakeCount();
        const double slept = main.now() - start;
        if (accessibility().focusChangeCount() != seen || slept >= untilRescan) {
            const int skipped = std::clamp(int(slept / kPollInterval), 0, kPassesPerRescan - 1 - pass);
            pass += skipped;
            return true;
        }
        if (!main.sleepUnlessWoken(untilRescan - slept, wakes)) return false;
    }
}

// --- workspace notifications

void VLWindowManager::appLaunched(pid_t pid) {
    addAppWindows(pid);
    addObserverForApp(pid);
}

void VLWindowManager::appTerminated(pid_t pid) {
    std::vector<std::shared_ptr<VLObserver>> dropped;
    std::lock_guard lock(observersMutex_);
    auto gone = std::stable_partition(observers_.begin(), observers_.end(),
                                      [&](auto& o) { return !o->isEqualTo(pid); });
    dropped.assign(std::make_move_iterator(gone), std::make_move_iterator(observers_.end()));
    observers_.erase(gone, observers_.end());
}

void VLWindowManager::spacesChanged() {
    scanApps();
}

} // namespace velora
