#pragma once
// Accessibility port: the desktop's windows as elements with attributes, actions and
// notifications. Names of attributes, actions and notifications are the accessibility
// vocabulary ("AXTitle", "AXRaise", "AXWindowCreated"...); see ax_names.h.

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/geometry.h"

namespace velora {

// Results of accessibility calls. CannotComplete (-25204) marks an application that did not
// answer within the messaging time-out.
enum class AXError : int32_t {
    Success = 0,
    Failure = -25200,
    IllegalArgument = -25201,
    InvalidUIElement = -25202,
    CannotComplete = -25204,
    AttributeUnsupported = -25205,
    ActionUnsupported = -25206,
    NotificationUnsupported = -25207,
    APIDisabled = -25211,
    NoValue = -25212,
};

// A handle on one accessibility element. Value semantics: two handles are equal exactly when
// they name the same element (the element equality records rely on). A null handle equals
// nothing that is not null; callers test isNull() first where the distinction matters.
struct AXElement {
    enum class Kind : uint8_t { None, SystemWide, Application, Window, Child };
    Kind kind = Kind::None;
    pid_t pid = 0;   // owning process (0 for the system-wide element)
    uint64_t id = 0; // backend's identity of the element within its kind (a window number...)

    bool isNull() const { return kind == Kind::None; }
    friend bool operator==(const AXElement&, const AXElement&) = default;
};

// The values an attribute can hold.
using AXValue = std::variant<std::monostate, bool, int64_t, double, std::string, Point, Size, AXElement,
                             std::vector<AXElement>>;

class AXObserver;
// Called with the element the notification is about and the notification's name.
using AXObserverCallback = std::function<void(AXObserver&, const AXElement&, const std::string&)>;

// One observer per watched process. Notifications are delivered on the main thread once the
// observer has been scheduled there (the only run loop that is guaranteed to run).
class AXObserver {
  public:
    virtual ~AXObserver() = default;
    virtual pid_t pid() const = 0;
    virtual AXError addNotification(const AXElement& element, const std::string& notification) = 0;
    virtual AXError removeNotification(const AXElement& element, const std::string& notification) = 0;
    // Starts delivery on the main thread's run loop.
    virtual void scheduleOnMainThread() = 0;
};

class AccessibilityPort {
  public:
    virtual ~AccessibilityPort() = default;

    // Whether this process may use the accessibility interface at all.
    virtual bool isAPIEnabled() = 0;
    // Upper bound of every later request to the element's application; on the system-wide
    // element it applies to every application.
    virtual AXError setMessagingTimeout(const AXElement& element, float seconds) = 0;

    virtual AXElement createSystemWide() = 0;
    // The element of a running application; null when the process has none.
    virtual AXElement createApplication(pid_t pid) = 0;

    // Copies an attribute's value. Failures give an error and leave `out` untouched:
    // CannotComplete for an application that does not answer, NoValue or
    // AttributeUnsupported for an attribute that is not there, InvalidUIElement for a gone one.
    virtual AXError copyAttributeValue(const AXElement& element, const std::string& attribute,
                                       AXValue& out) = 0;
    virtual AXError setAttributeValue(const AXElement& element, const std::string& attribute,
                                      const AXValue& value) = 0;
    virtual AXError performAction(const AXElement& element, const std::string& action) = 0;
    virtual AXError getPid(const AXElement& element, pid_t& out) = 0;
    // The window-server number (WindowInfo::number) of the window this element is, 0 when the
    // desktop does not know it. Where two windows of one process agree in bounds and title,
    // this is what tells them apart.
    virtual uint32_t windowNumber(const AXElement& element) = 0;

    // Null when no observer can be made for the process.
    virtual std::shared_ptr<AXObserver> createObserver(pid_t pid, AXObserverCallback callback) = 0;

    // A count that grows whenever the focused application or window may have changed, for
    // desktops that learn of focus changes from events; such a desktop also calls
    // MainThreadPort::wakeSleepers() after each change. None where the focus can only be
    // polled (the default).
    virtual std::optional<uint64_t> focusChangeCount() { return std::nullopt; }
};

} // namespace velora
