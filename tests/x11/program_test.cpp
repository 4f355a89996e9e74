// The program itself when its X server goes away: one clear message, a failing exit status,
// and the settings file as it was.
#include <sys/wait.h>

#include <filesystem>

#include "support/file_text.h"
#include "support/wait.h"
#include "x11_fixture.h"

namespace velora::test {
namespace {

#ifdef VELORA_PROGRAM

const char* const kSettings = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                              "<key>KeptThroughTheLoss</key><string>kept</string></dict></plist>\n";

TEST(X11Program, LosingTheServerEndsTheProgramWithAMessageAndLeavesTheSettingsIntact) {
    if (!std::getenv("VELORA_X11_TESTS")) GTEST_SKIP() << "VELORA_X11_TESTS is not set";
    TempDir home;
    // A private X server that the test may end. It picks a free display and writes its number
    // and a line end to descriptor 3. -noreset: the probe may be the server's last client for a
    // moment, and a server that resets then refuses the next connection.
    auto server = ChildProcess::start(
        {"Xvfb", "-displayfd", "3", "-noreset", "-nolisten", "tcp", "-screen", "0", "320x240x24"}, {},
        home / "xvfb.txt", home / "display.txt");
    std::string number;
    ASSERT_TRUE(waitFor(
        [&] { return server && (number = readFile(home / "display.txt")).find('\n') != std::string::npos; },
        std::chrono::seconds(10)))
        << "Xvfb did not start";
    const std::string shown = ":" + number.substr(0, number.find('\n'));
    const std::filesystem::path settings = home / "config" / "velora" / "defaults.plist",
                                log = home / "output.txt";
    writeFile(settings, kSettings);
    ChildProcess velora({VELORA_PROGRAM},
                        {{"DISPLAY", shown},
                         {"HOME", home.path().string()},
                         {"XDG_CONFIG_HOME", (home / "config").string()},
                         {"QT_QPA_PLATFORM", "xcb"}},
                        log);
    ASSERT_GT(velora.pid(), 0);

    // Up: the start ends with the first run's preferences window shown (a fresh server, with
    // no window manager, has no other mapped window).
    XDisplay probe(shown.c_str());
    ASSERT_TRUE(probe.ok());
    const auto shownWindow = [&] {
        const auto children = probe.children(probe.root());
        return std::any_of(children.begin(), children.end(),
                           [&](xcb_window_t w) { return probe.isViewable(w); });
    };
    waitFor([&] { return shownWindow() || !velora.running(); });
    ASSERT_TRUE(velora.running()) << "the program ended before the server did:\n" << readFile(log);
    ASSERT_TRUE(shownWindow()) << "the program shows no window";

    server->stop();
    ASSERT_TRUE(velora.waitForExit(std::chrono::seconds(20))) << "the program did not end with its server";
    const std::string said = readFile(log);
    ASSERT_TRUE(WIFEXITED(velora.status())) << "ended by a signal (" << WTERMSIG(velora.status()) << "):\n"
                                            << said;
    EXPECT_NE(WEXITSTATUS(velora.status()), 0);
    const std::string line = "velora: lost the connection to the X display " + shown + "\n";
    EXPECT_NE(said.find(line), std::string::npos) << said;

    // The file is still a whole property list with what it held; nothing was moved aside.
    const std::string kept = readFile(settings);
    for (const char* part : {"<key>KeptThroughTheLoss</key>", "<string>kept</string>", "</plist>"})
        EXPECT_NE(kept.find(part), std::string::npos) << kept;
    for (const auto& entry : std::filesystem::directory_iterator(settings.parent_path()))
        EXPECT_EQ(entry.path().filename().string().find("damaged"), std::string::npos) << entry.path();
}

#endif

} // namespace
} // namespace velora::test
