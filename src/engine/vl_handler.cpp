// The engine object: creation, set-up, what it owns.
#include "engine/vl_handler.h"

#include "model/filters_dictionary.h"
#include "model/vl_window_manager.h"
#include "platform/platform.h"

namespace velora {

namespace {

// The class lock and what is installed before the engine is made.
std::mutex& classMutex() {
    static std::mutex mutex;
    return mutex;
}
std::atomic<VLHandler*> sharedInstance{nullptr};
VLCoverFlowLoader installedLoader;
VLHotKeyLink* installedLink = nullptr;

} // namespace

VLHandler::VLHandler() = default;

VLHandler& VLHandler::sharedHandler() {
    if (VLHandler* handler = sharedInstance.load(std::memory_order_acquire)) return *handler;
    std::lock_guard lock(classMutex());
    if (VLHandler* handler = sharedInstance.load(std::memory_order_relaxed)) return *handler;
    auto* handler = new VLHandler();
    handler->setUp();
    sharedInstance.store(handler, std::memory_order_release);
    return *handler;
}

void VLHandler::setCoverFlowLoader(VLCoverFlowLoader loader) {
    std::lock_guard lock(classMutex());
    installedLoader = std::move(loader);
}

void VLHandler::setHotKeyLink(VLHotKeyLink* link) {
    std::lock_guard lock(classMutex());
    installedLink = link;
}

void VLHandler::resetSharedHandlerForTesting() {
    std::lock_guard lock(classMutex());
    delete sharedInstance.exchange(nullptr);
    installedLoader = nullptr;
    installedLink = nullptr;
}

void VLHandler::setUp() {
    // 1. The session lock is a member, ready with the object.
    // 2. The window list, which starts scanning at its first use.
    VLWindowManager::sharedManager();
    // 3. The filters, from the stored settings.
    settings().setFilters(getFiltersDictionary());
    // 4. The panel controller.
    coverFlow_ = IKBController::create(*this);
    // 5. The picture queue, at the platform's default concurrency.
    queue_ = std::make_unique<OperationQueue>();
    // 6. The panel's window and view.
    VLPanelOutlets outlets = installedLoader ? installedLoader() : VLPanelOutlets{};
    coverFlow_->setOutlets(outlets.window, outlets.browserView);
    coverFlow_->awakeFromNib();
    // 7. The announcement check.
    announceThread_ = std::thread([this] { checkForAnnounce(); });

    hotKeys_ = installedLink ? installedLink : &VLHotKeyLink::sharedCenter();
    hotKeys_->setDelegate(this);
}

// The engine lives as long as the process; only tests end it, after the hot key center (which
// calls into it) has been reset.
VLHandler::~VLHandler() {
    threads_.joinAll();
    if (announceThread_.joinable()) announceThread_.join();
    // Pictures first (they reach the items), then the panel.
    queue_.reset();
    coverFlow_.reset();
}

namespace {
std::mutex announceCheckMutex;
VLAnnounceCheck& installedAnnounceCheck() {
    static VLAnnounceCheck check;
    return check;
}
} // namespace

void VLHandler::setAnnounceCheck(VLAnnounceCheck check) {
    std::lock_guard lock(announceCheckMutex);
    installedAnnounceCheck() = std::move(check);
}

void VLHandler::checkForAnnounce() {
    VLAnnounceCheck check;
    {
        std::lock_guard lock(announceCheckMutex);
        check = installedAnnounceCheck();
    }
    if (check) check();
}

uint64_t VLHandler::openSession() {
    // A new open number whether or not the previous session was closed (a press during the
    // display delay supersedes the pending switch).
    uint64_t current = session_.load();
    uint64_t next;
    do {
        next = current % 2 == 1 ? current + 2 : current + 1;
    } while (!session_.compare_exchange_weak(current, next));
    return next;
}

bool VLHandler::closeSession(uint64_t session) {
    return session % 2 == 1 && session_.compare_exchange_strong(session, session + 1);
}

void VLHandler::endSession() {
    uint64_t current = session_.load();
    while (current % 2 == 1 && !session_.compare_exchange_weak(current, current + 1)) {
    }
}

double VLHandler::nextID() {
    return windowID_.fetch_add(1.0) + 1.0;
}

} // namespace velora
