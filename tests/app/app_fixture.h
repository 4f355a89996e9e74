#pragma once
// Application controller tests on the simulated desktop: settings in a temporary folder, the
// real hot key center over the simulated tap, a recording panel window, and alerts answered
// by the test.
#include <QLabel>
#include <QMessageBox>
#include <memory>
#include <string>
#include <vector>

#include "app/alert_builder.h"
#include "app/velora_controller.h"
#include "engine/vl_handler.h"
#include "hotkeys/sg_hot_key_center.h"
#include "model/vl_settings.h"
#include "model/vl_window_manager.h"
#include "prefs/prefs_controller.h"
#include "settings/user_defaults.h"
#include "support/panel_fakes.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace velora::test {

struct ShownAlert {
    std::string title, text;
    bool plainText = false;
};

class AppTest : public SimTest {
  protected:
    AppTest() {
        VLSettings::shared().reset();
        UserDefaults::resetStandard(dir / "defaults.plist");
        VLHandler::setCoverFlowLoader([this] { return VLPanelOutlets{&window, &view}; });
        VLHandler::setHotKeyLink(nullptr);
        VLHandler::setAnnounceCheck(nullptr);
        setAlertRunnerForTesting([this](QMessageBox& box) {
            alerts.push_back(describe(box));
            return answer;
        });
        setSheetPresenterForTesting([this](QMessageBox& box) { alerts.push_back(describe(box)); });
    }
    ~AppTest() override {
        controller.reset();
        sim.shutdown();
        SGHotKeyCenter::resetForTesting();
        VLHandler::resetSharedHandlerForTesting();
        VLWindowManager::resetSharedManagerForTesting();
        PrefsController::releaseSharedPrefsWindowController();
        setAlertRunnerForTesting(nullptr);
        setSheetPresenterForTesting(nullptr);
        VLSettings::shared().reset();
    }

    // Plain text: the title, and the informative label too, which Qt would otherwise read as
    // rich text when it looks like markup.
    static ShownAlert describe(QMessageBox& box) {
        bool plain = box.textFormat() == Qt::PlainText;
        for (QLabel* label : box.findChildren<QLabel*>())
            if (label->text() == box.informativeText()) plain = plain && label->textFormat() == Qt::PlainText;
        return {box.text().toStdString(), box.informativeText().toStdString(), plain};
    }
    std::vector<ShownAlert> alertsTitled(const std::string& title) const {
        std::vector<ShownAlert> out;
        for (const auto& a : alerts)
            if (a.title == title) out.push_back(a);
        return out;
    }

    // A controller (a new one: a later launch on the same settings) of /usr/bin/velora; true
    // when start() went through.
    bool startController() {
        controller.reset();
        controller = std::make_unique<VeloraController>();
        controller->setProgramPathForTesting("/usr/bin/velora");
        controller->setTerminateHandler([this] { ++terminations; });
        return controller->start();
    }
    // Applies the settings as a change in the preferences does.
    void settingsChanged() { controller->updateState(controller.get()); }
    QMainWindow* prefsWindow() { return PrefsController::sharedPrefsWindowController().window(); }

    UserDefaults& defaults() { return UserDefaults::standard(); }
    std::vector<SGHotKeyRef> registered() { return SGHotKeyCenter::sharedCenter().allHotKeys(); }
    bool isRegistered(const std::string& identifier) {
        for (const auto& key : registered())
            if (key->identifier() == identifier) return true;
        return false;
    }

    TempDir dir;
    FakeImageFlowView view;
    FakePanelWindow window;
    std::unique_ptr<VeloraController> controller;
    std::vector<ShownAlert> alerts;
    int answer = kAlertFirstButtonReturn;
    int terminations = 0;
};

} // namespace velora::test
