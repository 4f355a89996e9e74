#pragma once
// Panel tests on the simulated desktop: a controller with recording window and view, and a
// recording session with a real picture queue.

#include <QImage>
#include <atomic>
#include <set>

#include "model/vl_settings.h"
#include "model/vl_window_manager.h"
#include "panel/ikb_controller.h"
#include "panel/picture_cache.h"
#include "support/panel_fakes.h"
#include "support/sim_fixture.h"

namespace velora::test {

class RecordingSession final : public PanelSession {
  public:
    void endHandling() override { ++ends; }
    void unregisterHotkeys() override { ++unregisters; }
    void switchEnded() override { ++switchEnds; }
    bool shouldShowApp(const RunningApplicationRef& app) override {
        return app && !refused.count(app->processIdentifier());
    }
    void setPreviouslyActive(RunningApplicationRef app) override { previouslyActive = std::move(app); }
    OperationQueue& queue() override { return pictures; }
    double nextID() override { return id += 1.0; }

    std::atomic<int> ends{0};
    int unregisters = 0, switchEnds = 0;
    std::set<pid_t> refused;
    RunningApplicationRef previouslyActive;
    double id = 0;
    OperationQueue pictures;
};

class PanelTest : public SimTest {
  protected:
    struct AppWindow {
        pid_t pid;
        uint32_t window;
    };

    PanelTest() {
        VLSettings::shared().reset();
        PictureCache::shared().clear(); // window numbers start over with each desktop
        controller->setOutlets(&window, &view);
        controller->awakeFromNib();
    }
    ~PanelTest() override {
        session.pictures.cancelAllOperations();
        session.pictures.waitUntilAllOperationsAreFinished();
        sim.shutdown();
        VLWindowManager::resetSharedManagerForTesting();
        VLSettings::shared().reset();
    }

    // One application "org.example.<title>" with one window <title> per title.
    std::vector<AppWindow> appsWithWindows(std::initializer_list<const char*> titles) {
        std::vector<AppWindow> out;
        for (const char* title : titles) {
            auto [pid, number] = appWithWindow(std::string("org.example.") + title, title);
            out.push_back({pid, number});
        }
        return out;
    }
    // A record of a window, matched against the window server's list.
    VLElementRef windowRecord(pid_t pid, uint32_t number) {
        auto record = VLElement::elementWithElementRef(AXElement{AXElement::Kind::Window, pid, number});
        record->findPIDandWID(
            windowServer().copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID));
        return record;
    }
    VLCandidateList windowRecords(const std::vector<AppWindow>& windows) {
        VLCandidateList out;
        for (const AppWindow& w : windows)
            out.emplace_back(windowRecord(w.pid, w.window));
        return out;
    }
    static RunningApplicationRef app(pid_t pid) {
        return workspace().runningApplicationWithProcessIdentifier(pid);
    }
    // Asks for the pictures as a hold about to show the panel does, waits for every one and
    // delivers the cell updates they posted.
    void finishPictures() {
        controller->refreshPictures();
        session.pictures.waitUntilAllOperationsAreFinished();
        sim.pump();
    }
    // The picture's middle pixel.
    static QRgb middle(const ImageRef& image) {
        const QImage rep = image->representations().front();
        return rep.pixel(rep.width() / 2, rep.height() / 2);
    }
    const IKBBrowserItemRef& item(std::size_t index) const { return controller->browserData().at(index); }
    std::vector<bool> fadedItems() const {
        std::vector<bool> out;
        for (const auto& i : controller->browserData())
            out.push_back(i->isTransparent());
        return out;
    }

    RecordingSession session;
    FakeImageFlowView view;
    FakePanelWindow window;
    std::shared_ptr<IKBController> controller = IKBController::create(session);
};

} // namespace velora::test
