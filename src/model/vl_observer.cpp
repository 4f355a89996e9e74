#include "model/vl_observer.h"

#include "model/vl_element.h"
#include "model/vl_window_manager.h"
#include "platform/ax_names.h"
#include "platform/platform.h"

namespace velora {

std::shared_ptr<VLObserver> VLObserver::observerWithPid(pid_t pid, std::weak_ptr<VLWindowManager> manager) {
    auto observer = accessibility().createObserver(
        pid, [manager = std::move(manager)](AXObserver&, const AXElement& element, const std::string& name) {
            if (auto live = manager.lock()) windowNotificationCallback(*live, element, name);
        });
    if (!observer) return nullptr;
    return std::make_shared<VLObserver>(pid, std::move(observer));
}

VLObserver::VLObserver(pid_t pid, std::shared_ptr<AXObserver> observer)
    : observer_(std::move(observer)), pid_(pid) {}

void windowNotificationCallback(VLWindowManager& manager, const AXElement& element,
                                const std::string& notification) {
    if (notification == ax::WindowCreated) {
        manager.processWindow(VLElement::elementWithElementRef(element), false);
    } else if (notification == ax::ElementDestroyed) {
        // A destroyed element whose role no longer reads is left to the periodic purge.
        if (VLElement::checkIfWindow(element)) manager.removeWindow(element);
    }
}

} // namespace velora
