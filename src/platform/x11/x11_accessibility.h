#pragma once
// Accessibility port of the X11 desktop. The elements are the managed client windows (from
// _NET_CLIENT_LIST), the applications (processes owning them), the system-wide element and
// a window's parts (its close and minimise buttons, its child windows). Attributes come from
// the cache the event loop keeps, geometry from the server. Before answering for an
// application the port checks that it answers (Responsiveness): a stopped process, or a
// client that does not return a ping within the messaging time-out, gives CannotComplete.
//
// Element ids: a window's id is its X window; a part's id is the client window in the high
// 32 bits and 1 (close button), 2 (minimise button) or the child window in the low ones; an
// application's id is its pid.

#include <memory>

#include "platform/accessibility.h"

namespace velora::x11 {

struct X11Context;

class X11Accessibility final : public AccessibilityPort {
  public:
    explicit X11Accessibility(std::shared_ptr<X11Context> context) : x_(std::move(context)) {}

    // Granted when the server offers what the backend needs (XKB, XInput 2.1).
    bool isAPIEnabled() override;
    AXError setMessagingTimeout(const AXElement& element, float seconds) override;
    AXElement createSystemWide() override;
    AXElement createApplication(pid_t pid) override;
    AXError copyAttributeValue(const AXElement& element, const std::string& attribute, AXValue& out) override;
    AXError setAttributeValue(const AXElement& element, const std::string& attribute,
                              const AXValue& value) override;
    AXError performAction(const AXElement& element, const std::string& action) override;
    AXError getPid(const AXElement& element, pid_t& out) override;
    // A window element's id is its X window, the number the window list gives it.
    uint32_t windowNumber(const AXElement& element) override;
    std::shared_ptr<AXObserver> createObserver(pid_t pid, AXObserverCallback callback) override;
    std::optional<uint64_t> focusChangeCount() override;

  private:
    AXError applicationAttribute(const AXElement& e, const std::string& attribute, AXValue& out);
    AXError windowAttribute(const AXElement& e, const std::string& attribute, AXValue& out);
    AXError partAttribute(const AXElement& e, const std::string& attribute, AXValue& out);
    // Success when the process answers within its time-out.
    AXError answers(pid_t pid, bool mayPing);

    std::shared_ptr<X11Context> x_;
};

} // namespace velora::x11
