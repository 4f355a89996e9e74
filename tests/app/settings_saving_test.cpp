// Settings that cannot be saved: the user is told once per run of failures, in an alert of
// its own, and the file on the disk stays as it was.
#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/resource.h>

#include "app_fixture.h"

namespace velora::test {
namespace {

namespace fs = std::filesystem;

constexpr char kTitle[] = "Velora could not save the settings";

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Limits the size of files this process may write, as a full disk would; works for root too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved_); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_ {};
};

class SettingsSaving : public AppTest {
protected:
    int failureAlerts() {
        sim.pump();
        int n = 0;
        for (const ShownAlert& a : alerts)
            if (a.title == kTitle) {
                ++n;
                EXPECT_EQ(a.windowTitle, "Velora");
                EXPECT_FALSE(a.text.empty());
            }
        return n;
    }
};

TEST_F(SettingsSaving, AFullDiskIsToldOnceAndTheOldFileStaysWhole) {
    ASSERT_TRUE(startController());
    const fs::path file = defaults().file();
    const std::string old = contents(file);
    ASSERT_FALSE(old.empty());
    EXPECT_EQ(failureAlerts(), 0);
    {
        FileSizeLimit full(64);
        for (int i = 0; i < 3; ++i) {
            defaults().setInteger("displayDelay" + std::to_string(i), i);
            EXPECT_FALSE(defaults().synchronize());
        }
        EXPECT_EQ(failureAlerts(), 1);
    }
    EXPECT_EQ(contents(file), old);
    // Saving works again: the changes reach the file, and a later failure is told again.
    EXPECT_TRUE(defaults().synchronize());
    EXPECT_EQ(UserDefaults(file).integerForKey("displayDelay2"), 2);
    {
        FileSizeLimit full(64);
        defaults().setInteger("more", 1);
        EXPECT_FALSE(defaults().synchronize());
    }
    EXPECT_EQ(failureAlerts(), 2);
}

TEST_F(SettingsSaving, AnUnusableSettingsFolderAtTheFirstStart) {
    // The folder is a plain file: nothing can be made inside it, for root either.
    const fs::path blocker = dir / "velora";
    std::ofstream(blocker) << "someone else's file";
    UserDefaults::resetStandard(blocker / "defaults.plist");
    ASSERT_TRUE(startController());
    EXPECT_EQ(failureAlerts(), 1);
    EXPECT_EQ(contents(blocker), "someone else's file");
    // The first-run settings still hold while the program runs.
    EXPECT_TRUE(defaults().boolForKey("firstRun2"));
    EXPECT_EQ(defaults().integerForKey("startAtLogin"), 1);
}

} // namespace
} // namespace velora::test
