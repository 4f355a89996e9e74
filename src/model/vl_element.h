#pragma once
// VLElement: the record of one window of another application.
//
// A record wraps the window's accessibility element (its identity) and caches what the
// system learns about the window: the owning process, the window server's number for it,
// the owning application's bundle identifier and running-application object, and the last
// verdict of the existence rule. It joins the two views of the desktop that know nothing of
// each other — the accessibility tree and the window server's list — through the matcher
// findPIDandWID(). The visibility rules and filter levels are methods of the record too.
//
// Records are shared (VLElementRef) between the window list's scanning thread, the engine's
// threads, the main thread and the picture operations. Every field is safe to read and write
// from any thread: pid, wid and the verdict cache are atomics (the cache's level and verdict
// are one atomic word, so a reader never pairs one evaluation's level with another's
// verdict), each object field sits behind its own small lock (Guarded). The matcher publishes
// `wid` last, so a reader that sees a window number also sees the pid, bundle and frame that
// go with it.
//
// No operation reports an error: a failed platform call gives the neutral result (nothing,
// false, 0, no effect).

#include <sys/types.h>

#include <QUrl>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/guarded.h"
#include "platform/accessibility.h"
#include "platform/geometry.h"
#include "platform/image.h"
#include "platform/window_server.h"
#include "platform/workspace.h"

namespace velora {

class VLElement;
using VLElementRef = std::shared_ptr<VLElement>;

class VLElement {
  public:
    // `wid` of a record whose matching failed. It is never cleared: such a record is never
    // shown, and it leaves the window list only through a destroyed notification.
    static constexpr int32_t kNoWindow = -120;
    // alreadyFiltered() when no existence verdict is cached.
    static constexpr int32_t kNotFiltered = -1;
    // The title getTitle() gives for an application that does not answer in time.
    static constexpr const char* kNotResponding = "Not Responding";

    // --- construction

    // The system-wide element; used to reach the focused application and to set the
    // messaging time-out of every application. Never filtered.
    static VLElementRef systemWideElement();
    // A record for an element (from a notification, or to compare against listed records).
    static VLElementRef elementWithElementRef(const AXElement& element);
    // The system's focused window (focused application, then its focused window); null when
    // either cannot be read.
    static VLElementRef elementOfFocusedWindow();
    // Where the focused window is now (its position and size as accessibility reports them);
    // none when there is no focused window or it cannot be read.
    static std::optional<Rect> focusedWindowFrame();
    // One record per window of the application element, in the application's own order;
    // empty when its windows cannot be read.
    static std::vector<VLElementRef> elementsForElementRef(const AXElement& application);

    explicit VLElement(const AXElement& element);
    VLElement(const VLElement&) = delete;
    VLElement& operator=(const VLElement&) = delete;

    // --- identity

    // Equal when both elements are non-null and name the same element. A record whose element
    // is null equals no record, itself included.
    bool isEqualTo(const VLElement& other) const;
    bool isEqualTo(const VLElementRef& other) const { return other && isEqualTo(*other); }
    const AXElement& element() const { return element_; }

    // --- properties (each read or write is indivisible)

    pid_t pid() const { return pid_.load(std::memory_order_acquire); }
    void setPid(pid_t pid) { pid_.store(pid, std::memory_order_release); }
    // 0: not matched yet; kNoWindow: matching failed; otherwise the window server's number.
    int32_t wid() const { return wid_.load(std::memory_order_acquire); }
    void setWid(int32_t wid) { wid_.store(wid, std::memory_order_release); }
    // The accessibility rectangle the matcher compared (adjusted for the Finder and Illustrator).
    Rect frame() const { return frame_.get(); }
    void setFrame(const Rect& frame) { frame_.set(frame); }
    // Bundle identifier of the owning application; empty for none (or before matching).
    std::string bundle() const { return bundle_.get(); }
    void setBundle(std::string bundle) { bundle_.set(std::move(bundle)); }
    // The owning application; set by the matcher.
    RunningApplicationRef eApp() const { return eApp_.get(); }
    void setEApp(RunningApplicationRef app) { eApp_.set(std::move(app)); }
    // Declared slots that no operation of the model fills.
    QUrl url() const { return url_.get(); }
    void setUrl(QUrl url) { url_.set(std::move(url)); }
    ImageRef screenshot() const { return screenshot_.get(); }
    void setScreenshot(ImageRef image) { screenshot_.set(std::move(image)); }
    int32_t spaceNumber() const { return spaceNumber_.load(std::memory_order_relaxed); }
    void setSpaceNumber(int32_t space) { spaceNumber_.store(space, std::memory_order_relaxed); }

    // The existence verdict cache: the level it was computed at (kNotFiltered for none) and
    // the verdict (false when none).
    int32_t alreadyFiltered() const;
    bool filterResult() const;

    // --- attributes

    // The window's title. "Not Responding" when the application does not answer in time and
    // a running application with the record's pid exists; none on any other failure.
    std::optional<std::string> getTitle() const;
    // The window's document as a URL; empty when it has none.
    QUrl documentURL() const;
    bool checkIfMinimized() const;
    // Whether the owning application is hidden.
    bool checkIfHidden() const;
    // eApp when set, else the running application with the record's pid (none before matching).
    RunningApplicationRef runningApplicationForWindow() const;
    // The first active application in the workspace's order, or none.
    static RunningApplicationRef currentActiveApplication();
    // The window's space (1 for the first); 0 when it has none or is not matched.
    int32_t getSpaceNumber() const;
    static int32_t getSpaceNumber(int32_t wid);
    // Upper bound of every later request to the element's application (on the system-wide
    // element: to every application).
    void setMessagingTimeout(float seconds) const;

    // --- actions (any thread)

    // Raises the window and activates its application: "AXRaise", then twice "AXFrontmost",
    // "AXFocused", "AXRaise" and activation ignoring other applications.
    void raise() const;
    void closeWindow() const;
    void minimizeWindow() const;
    // Whether the window has an enabled close (minimise) button.
    bool isClosable() const;
    bool isMinimizable() const;
    // A picture of the window's current contents at its window-server size, or fitted into
    // `box` when one is given (never larger than the window); none for a window under 5
    // points in either dimension, an unmatched one, or one that cannot be pictured.
    ImageRef grabWindow(std::optional<Size> box = std::nullopt) const;

    // --- matching

    // Finds the window-server window of this record in `list` (fetched by the caller with
    // kWindowListExcludeDesktopElements relative to kNullWindowID; may be null). Fills pid,
    // eApp, bundle and, on success, frame and wid; on failure stores kNoWindow in wid.
    bool findPIDandWID(const WindowInfoList& list);
    // Whether the window server's bounds for the number qualify as a real window: neither
    // side 0, and at least one side 50 points or more.
    static bool testWindow(uint32_t windowNumber);

    // --- visibility rules and filter levels

    // Whether the window takes part in a switch, with the user's options (ignoreHidden,
    // ignoreMinimized from VLSettings). Matches first when the record is unmatched or
    // belongs to Illustrator, so pass the window list whenever needsMatchingToShow() holds.
    bool shouldShowWindow(const WindowInfoList& list);
    // The same without the user's options; matches only an unmatched record
    // (needsMatching()). Used for "does this application have open windows".
    bool shouldShowWindowDisregardingOptions(const WindowInfoList& list);
    // Whether shouldShowWindow() will run the matcher (and so needs the window list).
    bool needsMatchingToShow() const;
    // Whether shouldShowWindowDisregardingOptions() will run the matcher.
    bool needsMatching() const { return wid() == 0; }

    // Whether the window still exists as a real window at its application's filter level.
    // Cached per level; a level change recomputes it at the next call.
    bool checkIfExists();
    // The space-list rule: iTunes windows only while minimised, hidden or on spaces 1 to 16;
    // every other application passes.
    bool checkIfWIDIsInWindowList() const;

    // The filter level of the record's bundle (that of "All applications" before matching).
    int32_t getFilterLevel() const;
    // The level of a bundle (empty: none) in the current filters (one snapshot per call): its
    // own entry, else 4 for the Finder, else the "All applications" entry, else 2. The stored
    // number is returned as it is; the rules apply effectiveFilterLevel() to it.
    static int32_t getFilterLevel(const std::string& bundle);
    // Whether the element's role can be read and is "AXWindow".
    static bool checkIfWindow(const AXElement& element);
    // Whether the process has a standard window or dialog, or does not answer.
    static bool checkIfPidHasOpenWindows(pid_t pid);

  private:
    // The title read, telling a hung application from a missing title.
    struct TitleRead {
        std::optional<std::string> title;
        bool notResponding = false;
    };
    TitleRead readTitle() const;
    void storeVerdict(int32_t level, bool result);
    bool pressButton(const char* buttonAttribute) const;
    bool buttonEnabled(const char* buttonAttribute) const;

    const AXElement element_;
    std::atomic<pid_t> pid_{0};
    std::atomic<int32_t> wid_{0};
    std::atomic<int32_t> spaceNumber_{0};
    // Level in the low 32 bits, verdict in bit 32; kNotFiltered with false when empty.
    std::atomic<uint64_t> verdict_;

    Guarded<Rect> frame_;
    Guarded<std::string> bundle_;
    Guarded<RunningApplicationRef> eApp_;
    Guarded<QUrl> url_;
    Guarded<ImageRef> screenshot_;
};

} // namespace velora
