// The program itself when its X server goes away: one clear message, a failing exit status,
// and the settings file as it was.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "x11_fixture.h"

extern char** environ;

namespace velora::test {
namespace {

#ifdef VELORA_PROGRAM

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// How many windows the server's root holds (a fresh server has none).
int rootChildren(const std::string& display) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    int count = -1;
    if (!xcb_connection_has_error(c)) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        if (auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr)) {
            count = xcb_query_tree_children_length(tree);
            std::free(tree);
        }
    }
    xcb_disconnect(c);
    return count;
}

const char* const kSettings =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n<dict>\n\t<key>KeptThroughTheLoss</key>\n\t<string>kept</string>\n</dict>\n</plist>\n";

TEST(X11Program, LosingTheServerEndsTheProgramWithAMessageAndLeavesTheSettingsIntact) {
    if (!std::getenv("VELORA_X11_TESTS")) GTEST_SKIP() << "VELORA_X11_TESTS is not set";
    PrivateServer server;
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    TempDir home;
    const std::filesystem::path settings = home / "config" / "velora" / "defaults.plist";
    std::filesystem::create_directories(settings.parent_path());
    std::ofstream(settings) << kSettings;

    std::vector<std::string> env;
    const auto replaced = [](const std::string& entry) {
        for (const char* name : {"DISPLAY=", "HOME=", "XDG_CONFIG_HOME=", "QT_QPA_PLATFORM="})
            if (entry.rfind(name, 0) == 0) return true;
        return false;
    };
    for (char** e = environ; *e; ++e)
        if (!replaced(*e)) env.push_back(*e);
    env.push_back("DISPLAY=" + server.display());
    env.push_back("HOME=" + home.path().string());
    env.push_back("XDG_CONFIG_HOME=" + (home / "config").string());
    env.push_back("QT_QPA_PLATFORM=xcb");
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    const std::string errors = (home / "stderr.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string program = VELORA_PROGRAM;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);

    const auto waitForExit = [&](double seconds, int& status) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (waitpid(pid, &status, WNOHANG) == pid) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    };
    // Up: Qt and the desktop have made their windows; then a moment for the start to finish.
    int status = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (rootChildren(server.display()) < 2 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const bool endedEarly = waitForExit(2.0, status);
    if (endedEarly) FAIL() << "the program ended before the server did:\n" << readFile(errors);

    server.end();
    const bool ended = waitForExit(20.0, status);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    ASSERT_TRUE(ended) << "the program did not end with its server";
    const std::string said = readFile(errors);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal (" << WTERMSIG(status) << "):\n" << said;
    EXPECT_NE(WEXITSTATUS(status), 0);
    const std::string line = "velora: lost the connection to the X display " + server.display() + "\n";
    EXPECT_NE(said.find(line), std::string::npos) << said;
    EXPECT_EQ(said.find(line), said.rfind(line)) << "said once: " << said;

    // The file is still a whole property list with what it held; nothing was moved aside.
    const std::string kept = readFile(settings);
    EXPECT_NE(kept.find("<key>KeptThroughTheLoss</key>"), std::string::npos) << kept;
    EXPECT_NE(kept.find("<string>kept</string>"), std::string::npos) << kept;
    EXPECT_NE(kept.find("</plist>"), std::string::npos) << kept;
    for (const auto& entry : std::filesystem::directory_iterator(settings.parent_path()))
        EXPECT_EQ(entry.path().filename().string().find("damaged"), std::string::npos) << entry.path();
}

#endif

} // namespace
} // namespace velora::test
