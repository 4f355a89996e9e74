#include "platform/linux/spawn.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "linux_test_support.h"
#include "support/temp_dir.h"

namespace velora {
namespace {

using test::recordedRun;
using test::recorderPath;

// Arguments a shell, an option parser or a text decoder would mangle, one of each kind.
const std::vector<std::string> kHostileArguments = {"",
                                                    "two words",
                                                    "\"double\" 'single'",
                                                    "-rf",
                                                    "$HOME `id` a;b|c&d>e *?[x]",
                                                    "back\\slash new\nline",
                                                    "\xff\xfe not utf-8 \x80",
                                                    "%f %U %%"};

class SpawnTest : public ::testing::Test {
  protected:
    // No child has ended unreaped (the session bus of the file viewer's test, a child of this
    // program, may still run when the suite runs as one program).
    static bool noChildLeft() { return ::waitpid(-1, nullptr, WNOHANG) <= 0; }

    test::TempDir dir;
    test::ScopedEnv recorderDir{"VELORA_RECORDER_DIR", dir.path().c_str()};
};

// Every argument arrives byte for byte, in a session of its own, with stdin from /dev/null,
// without the caller's descriptors, and leaves no child for the caller to reap.
TEST_F(SpawnTest, DetachedProgramGetsItsArgumentsExactlyAndNothingElse) {
    const int leaked = ::open("/dev/null", O_RDONLY); // left open across exec on purpose
    ASSERT_GE(leaked, 3);
    std::vector<std::string> argv{recorderPath()};
    argv.insert(argv.end(), kHostileArguments.begin(), kHostileArguments.end());
    ASSERT_TRUE(spawnDetached(argv));
    auto run = recordedRun(dir.path(), "velora_argv_recorder");
    ::close(leaked);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->args, kHostileArguments);
    EXPECT_NE(run->info.find("stdin_devnull=1"), std::string::npos) << run->info;
    EXPECT_NE(run->info.find("session_leader=1"), std::string::npos) << run->info;
    EXPECT_EQ(run->info.find(" " + std::to_string(leaked) + " "), std::string::npos) << run->info;
    EXPECT_EQ(run->info.find("=" + std::to_string(leaked) + " "), std::string::npos) << run->info;
    EXPECT_TRUE(noChildLeft());
}

// A bare name is looked up in PATH, without a shell; what cannot start is a failure. Waiting
// gives the exit status and kills a program that outlives the time-out.
TEST_F(SpawnTest, ProgramsAreLookedUpInPathOrFail) {
    std::filesystem::create_symlink(recorderPath(), dir / "recorder name");
    test::writeFile(dir / "not-executable", "#!/bin/sh\n");
    test::ScopedEnv path("PATH", dir.path().c_str());
    ASSERT_TRUE(spawnDetached({"recorder name", "a b"}));
    auto run = recordedRun(dir.path(), "recorder name");
    ASSERT_TRUE(run);
    EXPECT_EQ(run->args, std::vector<std::string>{"a b"});
    for (const std::vector<std::string>& argv : std::vector<std::vector<std::string>>{
             {}, {(dir / "not-executable").string()}, {recorderPath(), std::string("embedded\0nul", 12)}})
        EXPECT_FALSE(spawnDetached(argv)) << (argv.empty() ? "no program" : argv[0]);
    EXPECT_TRUE(noChildLeft());
}

} // namespace
} // namespace velora
