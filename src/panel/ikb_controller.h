#pragma once
// IKBController: the switch panel. It turns a switch's candidate list into items, shows and
// hides the panel window (or the image-flow view alone, full screen), moves the selection,
// hands the selected item to the session for activation, carries out the item commands
// (quit, force quit, hide, minimise, close) and the drag and drop of files onto items.
//
// The window and the view are outlets: whoever loads the "CoverFlow" interface hands them
// over with setOutlets() and then calls awakeFromNib(). Without outlets the controller keeps
// its items but shows nothing, and no item is selected.
//
// Threads: everything here runs on the main thread, except mode() / setMode() (atomic) and
// session() — the picture grabs reach the items, never the controller. isShown() asks the
// window and view, so it is main-thread only too.
//
// The selection is the view's. selectedElement() never names a missing item: an empty panel
// (or one without a view) has no selection, and an index past the end stands for the last
// item, as the view treats it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

#include "panel/ikb_browser_item.h"
#include "panel/image_flow_view.h"
#include "panel/panel_session.h"
#include "panel/panel_window.h"
#include "panel/switch_candidate.h"
#include "platform/main_thread.h"

namespace velora {

class IKBController final : public ImageFlowDataSource,
                            public ImageFlowDelegate,
                            public DraggingDestination,
                            public std::enable_shared_from_this<IKBController> {
  public:
    // Panel modes.
    static constexpr int32_t kModeNone = 0;
    static constexpr int32_t kModeApplications = 1;
    static constexpr int32_t kModeAllWindows = 2;
    static constexpr int32_t kModeApplicationWindows = 3;
    // Consecutive drag updates over the selected cell that end a window switch.
    static constexpr int kDragUpdatesToActivate = 51;

    // Made as a shared object (items keep a weak reference to it).
    static std::shared_ptr<IKBController> create(PanelSession& session);
    explicit IKBController(PanelSession& session) : session_(session) {}

    // --- interface loading

    void setOutlets(PanelWindow* window, ImageFlowView* browserView);
    // Makes the controller the view's data source, delegate and dragging destination.
    void awakeFromNib();
    PanelWindow* window() const { return window_; }
    ImageFlowView* browserView() const { return browserView_; }
    PanelSession& session() const { return session_; }

    // --- state

    int32_t mode() const { return mode_.load(std::memory_order_acquire); }
    void setMode(int32_t mode) { mode_.store(mode, std::memory_order_release); }
    const std::vector<IKBBrowserItemRef>& browserData() const { return browserData_; }
    // The applications' full-screen setting in the application mode, the windows' otherwise.
    bool shouldFullScreen() const;

    // --- showing

    // Records the application in front (unless the panel is up already), then shows the
    // panel: full screen through the view, or the window at the set size, centred. While
    // it is up, the pictures of windows that change are read again (every kLiveInterval).
    void show();
    // Takes the panel down and clears the items.
    void hide();
    bool isShown() const;
    // A half-transparent preview of a new panel size, always in the window.
    void showForResize();
    void hideForResize();

    // --- items

    // Rebuilds the items from a candidate list, in its order: windows that pass the rules,
    // applications the session accepts; the empty item when none. Selects index 1.
    void populateItems(const VLCandidateList& candidates);
    // Drops every item and image, and the view's image cache (three times).
    void clearItems();
    // Queues the picture grab of every window item that has none yet, and of those whose
    // window changed since its picture was kept. A filled panel reads nothing until this is
    // called: when the hold has lasted long enough that the panel will show, and by show().
    void refreshPictures();
    // The box a window picture is made for: the front cell's, in device pixels; none while
    // the panel has no size (pictures at the window's own size).
    std::optional<Size> pictureBox() const;
    static constexpr double kLiveInterval = 0.2;
    void reloadData();

    // --- selection

    void selectNext();
    void selectPrevious();
    void selectLast();
    // The item under the selection; null when there is none.
    IKBBrowserItemRef selectedElement() const;
    void activateCurrentIndex();

    // --- item commands (the command keys of a switch)

    void quitApp();
    void forceQuitApp();
    void hideApp();
    void minimizeWindow();
    void closeWindow();
    // Fades every item of the process; moves the selection on when exactly one matched.
    void fadeWindowsWithPID(pid_t pid);
    void restoreAlpha();

    // Redraws the cell of the item, if it is still in the list; false when it is not.
    bool reloadCellOfItem(const IKBBrowserItem* item);
    // A background grab stored the item's picture: its cell is redrawn. Counts the pictures
    // still to come for the trace's "pictures" mark (see platform/trace.h).
    void pictureDidLoad(const IKBBrowserItem* item);

    // --- data source and delegate of the view

    int numberOfItemsInImageFlow(ImageFlowView& view) override;
    std::shared_ptr<ImageFlowItem> imageFlowItemAtIndex(ImageFlowView& view, int index) override;
    void imageFlowCellWasDoubleClickedAtIndex(ImageFlowView& view, int index) override;

    // --- dragging destination

    DragOperation draggingEntered(const DraggingInfo& info) override;
    DragOperation draggingUpdated(const DraggingInfo& info) override;
    bool prepareForDragOperation(const DraggingInfo& info) override;
    bool performDragOperation(const DraggingInfo& info) override;
    int dragCount() const { return dragCount_; }

  private:
    // The application an item command acts on: the item's, or its window's.
    static RunningApplicationRef applicationOf(const IKBBrowserItem& item);
    // quit, force quit and hide: fade, then tell the application.
    enum class AppCommand { Quit, ForceQuit, Hide };
    void applicationCommand(AppCommand command);
    void placeWindow();
    void keepPicturesLive();
    void markPicturesIfComplete();

    PanelSession& session_;
    PanelWindow* window_ = nullptr;
    ImageFlowView* browserView_ = nullptr;
    std::vector<IKBBrowserItemRef> browserData_;
    std::atomic<int32_t> mode_{kModeNone};
    int dragCount_ = 0;
    // Window items of the filling whose first picture has not reached its cell (main thread).
    int picturesPending_ = 0;
    std::unordered_set<const IKBBrowserItem*> loaded_;
    bool picturesMarked_ = false;
    TimerRef liveTimer_;
};

} // namespace velora
