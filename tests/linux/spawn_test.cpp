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

// Arguments a shell, an option parser, a text decoder or an Exec expansion would mangle.
const std::vector<std::string> kHostileArguments = {
    "", "-rf", "two \"double\" 'single' $HOME `id` a;b|c&d>e *?[x] back\\slash new\nline",
    "\xff\xfe not utf-8 \x80", "%f %U %%"};

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
    std::vector<std::string> argv{VELORA_ARGV_RECORDER};
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

// What cannot start is a failure, and leaves no child behind. (A bare name is looked up in
// PATH: the file viewer's tests start their stand-ins so.)
TEST_F(SpawnTest, WhatCannotStartFails) {
    const std::string notExecutable = (dir / "not-executable").string();
    test::writeFile(notExecutable, "#!/bin/sh\n");
    using Argv = std::vector<std::string>;
    for (const Argv& argv :
         {Argv{}, Argv{notExecutable}, Argv{VELORA_ARGV_RECORDER, std::string("embedded\0nul", 12)}})
        EXPECT_FALSE(spawnDetached(argv)) << (argv.empty() ? "no program" : argv[0]);
    EXPECT_TRUE(noChildLeft());
}

} // namespace
} // namespace velora
