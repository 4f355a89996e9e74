#pragma once
// Panel tests on the simulated desktop: a controller with recording window and view, and a
// recording session with a real picture queue.

#include <QImage>
#include <atomic>
#include <set>

#include "model/vl_settings.h"
#include "model/vl_window_manager.h"
#include "panel/ikb_controller.h"
#include "support/panel_fakes.h"
#include "support/sim_fixture.h"

namespace velora::test {

class RecordingSession final : public PanelSession {
public:
    void endHandling() override { ++ends; }
    void unregisterHotkeys() override { ++unregisters; }
    void switchEnded() override { ++switchEnds; }
    bool shouldShowApp(const RunningApplicationRef& app) override { return app && !refused.count(app->processIdentifier()); }
    void setPreviouslyActive(RunningApplicationRef app) override { previouslyActive = std::move(app); }
    OperationQueue& queue() override { return pictures; }
    double nextID() override { return id += 1.0; }

    std::atomic<int> ends{0};
    int unregisters = 0;
    int switchEnds = 0;
    std::set<pid_t> refused;
    RunningApplicationRef previouslyActive;
    double id = 0;
    OperationQueue pictures;
};

class PanelTest : public SimTest {
protected:
    PanelTest() {
        VLSettings::shared().reset();
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

    // A record of a window, matched against the window server's list.
    VLElementRef windowRecord(pid_t pid, uint32_t window) {
        auto record = VLElement::elementWithElementRef(AXElement{AXElement::Kind::Window, pid, window});
        record->findPIDandWID(windowServer().copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID));
        return record;
    }
    static RunningApplicationRef app(pid_t pid) { return workspace().runningApplicationWithProcessIdentifier(pid); }
    // Waits for every picture and delivers the cell updates they posted.
    void finishPictures() {
        session.pictures.waitUntilAllOperationsAreFinished();
        sim.pump();
    }
    // The alpha of the picture's middle pixel (255 opaque).
    static int middleAlpha(const ImageRef& image) {
        const QImage rep = image->representations().front();
        return qAlpha(rep.pixel(rep.width() / 2, rep.height() / 2));
    }
    std::vector<std::string> itemTitles() const {
        std::vector<std::string> out;
        for (const auto& item : controller->browserData()) out.push_back(item->title().value_or(""));
        return out;
    }

    RecordingSession session;
    FakeImageFlowView view;
    FakePanelWindow window;
    std::shared_ptr<IKBController> controller = IKBController::create(session);
};

} // namespace velora::test
