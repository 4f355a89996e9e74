#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <functional>
#include <sys/wait.h>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/user_defaults.h"
#include "support/file_text.h"
#include "support/temp_dir.h"

namespace velora {
namespace {

namespace fs = std::filesystem;
using Dict = PlistValue::Dictionary;

using test::readFile;
using test::writeFile;

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
    return files;
}

std::vector<fs::path> damagedCopies(const fs::path& folder) {
    std::vector<fs::path> found;
    for (const auto& f : filesIn(folder))
        if (f.filename().string().starts_with("defaults.plist.damaged-")) found.push_back(f);
    return found;
}

TEST(UserDefaults, AbsentKeysReadAsNothing) {
    test::TempDir dir;
    UserDefaults defaults(dir / "defaults.plist");
    EXPECT_TRUE(defaults.objectForKey("missing").isNone());
    EXPECT_EQ(defaults.integerForKey("missing"), 0);
    EXPECT_EQ(defaults.floatForKey("missing"), 0.0f);
    EXPECT_FALSE(defaults.boolForKey("missing"));
    EXPECT_FALSE(defaults.stringForKey("missing"));
    EXPECT_FALSE(defaults.dictionaryForKey("missing"));
    // Nothing changed, nothing written.
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_FALSE(fs::exists(dir / "defaults.plist"));
}

TEST(UserDefaults, ValuesConvertLikeUserDefaults) {
    test::TempDir dir;
    UserDefaults defaults(dir / "defaults.plist");
    defaults.setObject("twelve", PlistValue("12"));
    defaults.setObject("dict", PlistValue(Dict{{"keyCode", 48}}));
    defaults.setFloat("delay", 0.2f);
    defaults.setBool("flag", true);
    defaults.setInteger("count", 7);

    EXPECT_EQ(defaults.integerForKey("twelve"), 12);
    EXPECT_EQ(defaults.integerForKey("dict"), 0);
    EXPECT_EQ(defaults.integerForKey("flag"), 1);
    EXPECT_EQ(defaults.integerForKey("delay"), 0);
    EXPECT_EQ(defaults.floatForKey("delay"), 0.2f);
    EXPECT_EQ(defaults.floatForKey("twelve"), 12.0f);
    EXPECT_TRUE(defaults.boolForKey("count"));
    EXPECT_FALSE(defaults.boolForKey("dict"));
    EXPECT_EQ(defaults.stringForKey("twelve"), "12");
    EXPECT_EQ(defaults.stringForKey("count"), "7");
    EXPECT_FALSE(defaults.stringForKey("dict"));
    EXPECT_EQ(defaults.dictionaryForKey("dict"), (Dict{{"keyCode", 48}}));
    EXPECT_FALSE(defaults.dictionaryForKey("twelve"));

    defaults.removeObject("count");
    defaults.setObject("flag", PlistValue());
    EXPECT_TRUE(defaults.objectForKey("count").isNone());
    EXPECT_TRUE(defaults.objectForKey("flag").isNone());
}

TEST(UserDefaults, SettingsSurviveARestartInAPrivateFile) {
    test::TempDir dir;
    const fs::path file = dir / "nested" / "velora" / "defaults.plist";
    {
        UserDefaults defaults(file);
        defaults.setFloat("width", 150.5f);
        defaults.setObject("filters", PlistValue(Dict{{"All applications", 2}, {"com.apple.finder", 4}}));
        ASSERT_TRUE(defaults.synchronize());
    }
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(file.parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // Only the settings file itself is left in the folder.
    EXPECT_EQ(filesIn(file.parent_path()).size(), 1u);

    UserDefaults again(file);
    EXPECT_EQ(again.floatForKey("width"), 150.5f);
    EXPECT_EQ(again.dictionaryForKey("filters")->at("com.apple.finder").toInteger(), 4);

    // A file made readable by others is private again after the next write.
    ::chmod(file.c_str(), 0644);
    again.setInteger("a", 2);
    ASSERT_TRUE(again.synchronize());
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(UserDefaults, LocationFollowsXdgConfigHome) {
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = savedXdg ? savedXdg : "";
    ::setenv("XDG_CONFIG_HOME", "/somewhere/config", 1);
    EXPECT_EQ(UserDefaults::defaultLocation(), fs::path("/somewhere/config/velora/defaults.plist"));
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(UserDefaults::defaultLocation(), fs::path("/home/someone/.config/velora/defaults.plist"));
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(UserDefaults::defaultLocation(), fs::path("/home/someone/.config/velora/defaults.plist"));
    if (savedXdg) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

TEST(UserDefaults, DamagedFileIsKeptAsideWithOneMessage) {
    test::TempDir dir;
    const fs::path file = dir / "defaults.plist";
    const std::string damaged = PlistValue(Dict{{"keep", "me"}}).toXml().substr(0, 150);
    writeFile(file, damaged);

    testing::internal::CaptureStderr();
    UserDefaults defaults(file);
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(defaults.objectForKey("keep").isNone());
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    EXPECT_NE(message.find("defaults.plist.damaged-"), std::string::npos) << message;

    const auto copies = damagedCopies(dir.path());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(readFile(copies[0]), damaged);
    EXPECT_FALSE(fs::exists(file));

    // New settings go to a new file; the damaged copy stays as it was.
    defaults.setInteger("fresh", 1);
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(UserDefaults(file).integerForKey("fresh"), 1);
    EXPECT_EQ(readFile(copies[0]), damaged);
}

TEST(UserDefaults, NonDictionaryAndUnreadableFilesCountAsDamaged) {
    test::TempDir dir;
    const fs::path file = dir / "defaults.plist";
    writeFile(file, PlistValue(PlistValue::Array{1, 2}).toXml());
    testing::internal::CaptureStderr();
    UserDefaults first(file);
    fs::create_directory(file); // a folder where the file should be
    UserDefaults second(file);
    testing::internal::GetCapturedStderr();
    // Two damaged copies in the same second get distinct names.
    EXPECT_EQ(damagedCopies(dir.path()).size(), 2u);
    EXPECT_FALSE(fs::exists(file));
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

private:
    rlimit saved_ {};
};

TEST(UserDefaults, FailedWriteLeavesOldFileWholeAndIsReportedOnce) {
    test::TempDir dir;
    const fs::path file = dir / "defaults.plist";
    UserDefaults defaults(file);
    defaults.setObject("text", PlistValue(std::string(4000, 'a')));
    ASSERT_TRUE(defaults.synchronize());
    const std::string old = readFile(file);

    std::vector<std::string> reports;
    defaults.setWriteFailureHandler([&](const std::string& m) { reports.push_back(m); });
    testing::internal::CaptureStderr();
    {
        FileSizeLimit full(512);
        defaults.setObject("text", PlistValue(std::string(8000, 'b')));
        EXPECT_FALSE(defaults.synchronize());
        defaults.setInteger("more", 1);
        EXPECT_FALSE(defaults.synchronize());
    }
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    EXPECT_EQ(readFile(file), old);
    EXPECT_EQ(filesIn(dir.path()).size(), 1u) << "temporary file left behind";
    // The unsaved values are still there, and go out once writing works again.
    EXPECT_EQ(defaults.objectForKey("text").asString()->size(), 8000u);
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(UserDefaults(file).integerForKey("more"), 1);

    // After a success, the next failure is reported again.
    fs::remove(file);
    fs::create_directory(file);
    fs::create_directory(file / "occupied");
    defaults.setInteger("more", 2);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(defaults.synchronize());
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(reports.size(), 2u);
    EXPECT_TRUE(fs::is_directory(file / "occupied"));
}

// Runs the check without root's privileges (in a child process as "nobody" when this is
// root), so that permission bits hold; true when it held.
bool holdsWithoutPrivileges(const std::function<bool()>& check) {
    if (::geteuid() != 0) return check();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(UserDefaults, ReadOnlyFolderKeepsOldFileAndTellsOnce) {
    test::TempDir dir;
    const fs::path file = dir / "defaults.plist";
    {
        UserDefaults defaults(file);
        defaults.setInteger("a", 1);
        ASSERT_TRUE(defaults.synchronize());
    }
    const std::string old = readFile(file);
    ::chmod(file.c_str(), 0644);
    ::chmod(dir.path().c_str(), 0555);
    testing::internal::CaptureStderr();
    const bool held = holdsWithoutPrivileges([&] {
        UserDefaults defaults(file);
        int reports = 0;
        defaults.setWriteFailureHandler([&](const std::string&) { ++reports; });
        if (defaults.integerForKey("a") != 1) return false;
        defaults.setInteger("a", 2);
        const bool first = defaults.synchronize();
        defaults.setInteger("b", 3);
        const bool second = defaults.synchronize();
        return !first && !second && reports == 1 && defaults.integerForKey("a") == 2;
    });
    testing::internal::GetCapturedStderr();
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_TRUE(held);
    EXPECT_EQ(readFile(file), old);
    EXPECT_EQ(filesIn(dir.path()).size(), 1u);
}

TEST(UserDefaults, DamagedFileThatCannotMoveIsNeverOverwritten) {
    if (::geteuid() == 0) GTEST_SKIP() << "running as root: permission bits do not stop renames";
    test::TempDir dir;
    const fs::path file = dir / "defaults.plist";
    writeFile(file, "not a property list");
    ::chmod(dir.path().c_str(), 0500);
    testing::internal::CaptureStderr();
    UserDefaults defaults(file);
    defaults.setInteger("a", 1);
    EXPECT_FALSE(defaults.synchronize());
    testing::internal::GetCapturedStderr();
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(readFile(file), "not a property list");
    // Once it can be moved aside, it is, and the settings are written.
    testing::internal::CaptureStderr();
    EXPECT_TRUE(defaults.synchronize());
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(damagedCopies(dir.path()).size(), 1u);
    EXPECT_EQ(UserDefaults(file).integerForKey("a"), 1);
}

TEST(UserDefaults, ReadersSeeWholeValuesWhileAnotherThreadWrites) {
    test::TempDir dir;
    const fs::path file = dir / "defaults.plist";
    UserDefaults defaults(file);
    defaults.setInteger("counter", 0);
    defaults.setObject("pair", PlistValue(PlistValue::Array{0, 0}));
    ASSERT_TRUE(defaults.synchronize());

    constexpr int kWrites = 150;
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<int> unreadableFiles{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            int64_t last = 0;
            while (!done.load()) {
                const int64_t now = defaults.integerForKey("counter");
                const PlistValue pair = defaults.objectForKey("pair");
                if (now < last || (*pair.asArray())[0] != (*pair.asArray())[1]) ++torn;
                last = now;
            }
        });
    }
    readers.emplace_back([&] {
        while (!done.load()) {
            const std::string text = readFile(file);
            auto parsed = PlistValue::fromXml(text);
            if (!parsed || !parsed->asDictionary()) ++unreadableFiles;
        }
    });
    for (int i = 1; i <= kWrites; ++i) {
        defaults.setInteger("counter", i);
        defaults.setObject("pair", PlistValue(PlistValue::Array{i, i}));
        ASSERT_TRUE(defaults.synchronize());
    }
    done = true;
    for (auto& t : readers) t.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(unreadableFiles.load(), 0);
    EXPECT_EQ(UserDefaults(file).integerForKey("counter"), kWrites);
}

TEST(UserDefaults, ConcurrentWritersLeaveTheLatestSettings) {
    test::TempDir dir;
    const fs::path file = dir / "defaults.plist";
    UserDefaults defaults(file);
    std::vector<std::thread> writers;
    for (int w = 0; w < 3; ++w) {
        writers.emplace_back([&, w] {
            for (int i = 0; i < 40; ++i) {
                defaults.setInteger("writer" + std::to_string(w), i);
                EXPECT_TRUE(defaults.synchronize());
            }
        });
    }
    for (auto& t : writers) t.join();
    UserDefaults again(file);
    for (int w = 0; w < 3; ++w) EXPECT_EQ(again.integerForKey("writer" + std::to_string(w)), 39);
    EXPECT_EQ(filesIn(dir.path()).size(), 1u);
}

} // namespace
} // namespace velora
