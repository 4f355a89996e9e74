// Settings that cannot be saved reach the user in an alert of its own, once per run of
// failures (the store's side, full disks and read-only folders, is tested with it).
#include <fstream>

#include "app_fixture.h"
#include "support/file_text.h"

namespace velora::test {
namespace {

using SettingsSaving = AppTest;

TEST_F(SettingsSaving, AnUnusableSettingsFolderAtTheFirstStartIsToldOnce) {
    // The folder is a plain file: nothing can be made inside it, for root either.
    const std::filesystem::path blocker = dir / "velora";
    std::ofstream(blocker) << "someone else's file";
    UserDefaults::resetStandard(blocker / "defaults.plist");
    ASSERT_TRUE(startController());
    defaults().setInteger("more", 1);
    EXPECT_FALSE(defaults().synchronize());
    sim.pump();
    const std::vector<ShownAlert> told = alertsTitled("Velora could not save the settings");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_FALSE(told[0].text.empty());
    EXPECT_EQ(readFile(blocker), "someone else's file");
    // The first-run settings still hold while the program runs.
    EXPECT_TRUE(defaults().boolForKey("firstRun2"));
}

} // namespace
} // namespace velora::test
