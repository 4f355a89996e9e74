#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
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
    rlimit saved_{};
};

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

// What the action wrote to standard error.
std::string stderrOf(const std::function<void()>& action) {
    testing::internal::CaptureStderr();
    action();
    return testing::internal::GetCapturedStderr();
}

long lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

fs::perms modeOf(const fs::path& path) { return fs::status(path).permissions(); }

class UserDefaultsFile : public ::testing::Test {
protected:
    std::vector<fs::path> files() const {
        std::vector<fs::path> out;
        for (const auto& entry : fs::directory_iterator(dir.path())) out.push_back(entry.path());
        return out;
    }
    std::vector<fs::path> damagedCopies() const {
        std::vector<fs::path> found;
        for (const auto& f : files())
            if (f.filename().string().starts_with("defaults.plist.damaged-")) found.push_back(f);
        return found;
    }

    test::TempDir dir;
    fs::path file = dir / "defaults.plist";
};

TEST_F(UserDefaultsFile, SettingsSurviveARestartInAPrivateFile) {
    const fs::path nested = dir / "nested" / "velora" / "defaults.plist";
    EXPECT_TRUE(UserDefaults(nested).synchronize());
    EXPECT_FALSE(fs::exists(nested)) << "nothing changed, nothing to write";
    {
        UserDefaults defaults(nested);
        defaults.setFloat("width", 150.5f);
        defaults.setObject("filters", PlistValue(Dict{{"All applications", 2}, {"com.apple.finder", 4}}));
        ASSERT_TRUE(defaults.synchronize());
    }
    EXPECT_EQ(modeOf(nested), fs::perms(0600));
    EXPECT_EQ(modeOf(nested.parent_path()), fs::perms(0700));
    EXPECT_EQ(std::distance(fs::directory_iterator(nested.parent_path()), {}), 1) << "temporary file left";

    UserDefaults again(nested);
    EXPECT_EQ(again.floatForKey("width"), 150.5f);
    EXPECT_EQ(again.dictionaryForKey("filters")->at("com.apple.finder").toInteger(), 4);
    // A file made readable by others is private again after the next write.
    ::chmod(nested.c_str(), 0644);
    again.setInteger("a", 2);
    ASSERT_TRUE(again.synchronize());
    EXPECT_EQ(modeOf(nested), fs::perms(0600));
}

// A relative XDG_CONFIG_HOME is ignored, as the base directory rules say.
TEST_F(UserDefaultsFile, LocationFollowsAnAbsoluteXdgConfigHome) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "", savedXdg = xdg ? xdg : "";
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_CONFIG_HOME", "/somewhere/config", 1);
    EXPECT_EQ(UserDefaults::defaultLocation(), fs::path("/somewhere/config/velora/defaults.plist"));
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(UserDefaults::defaultLocation(), fs::path("/home/someone/.config/velora/defaults.plist"));
    ::setenv("HOME", home.c_str(), 1);
    xdg ? ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(UserDefaultsFile, DamagedFilesAreKeptAsideWithOneMessage) {
    const std::string damaged = PlistValue(Dict{{"keep", "me"}}).toXml().substr(0, 150);
    writeFile(file, damaged);
    std::unique_ptr<UserDefaults> defaults;
    const std::string message = stderrOf([&] { defaults = std::make_unique<UserDefaults>(file); });
    EXPECT_TRUE(defaults->objectForKey("keep").isNone());
    EXPECT_EQ(lines(message), 1) << message;
    EXPECT_NE(message.find("defaults.plist.damaged-"), std::string::npos) << message;
    ASSERT_EQ(damagedCopies().size(), 1u);
    EXPECT_EQ(readFile(damagedCopies()[0]), damaged);
    // New settings go to a new file; the damaged copy stays as it was.
    defaults->setInteger("fresh", 1);
    ASSERT_TRUE(defaults->synchronize());
    EXPECT_EQ(UserDefaults(file).integerForKey("fresh"), 1);
    EXPECT_EQ(readFile(damagedCopies()[0]), damaged);

    // No dictionary at the top, and a folder in the file's place, count as damaged too; copies
    // made in the same second get distinct names.
    writeFile(file, PlistValue(PlistValue::Array{1, 2}).toXml());
    stderrOf([&] {
        UserDefaults notADictionary(file);
        fs::create_directory(file);
        UserDefaults aFolder(file);
    });
    EXPECT_EQ(damagedCopies().size(), 3u);
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(UserDefaultsFile, AFullDiskLeavesTheOldFileWholeAndIsReportedOncePerRunOfFailures) {
    UserDefaults defaults(file);
    defaults.setObject("text", PlistValue(std::string(4000, 'a')));
    ASSERT_TRUE(defaults.synchronize());
    const std::string old = readFile(file);
    int reports = 0;
    defaults.setWriteFailureHandler([&](const std::string&) { ++reports; });
    const std::string message = stderrOf([&] {
        FileSizeLimit full(512);
        defaults.setObject("text", PlistValue(std::string(8000, 'b')));
        EXPECT_FALSE(defaults.synchronize());
        defaults.setInteger("more", 1);
        EXPECT_FALSE(defaults.synchronize());
    });
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(lines(message), 1) << message;
    EXPECT_EQ(readFile(file), old);
    EXPECT_EQ(files().size(), 1u) << "temporary file left behind";
    // The unsaved values are kept and go out once writing works again.
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(UserDefaults(file).objectForKey("text").asString()->size(), 8000u);

    // After a success, the next failure is reported again; a folder in the way is not removed.
    fs::remove(file);
    fs::create_directories(file / "occupied");
    defaults.setInteger("more", 2);
    stderrOf([&] { EXPECT_FALSE(defaults.synchronize()); });
    EXPECT_EQ(reports, 2);
    EXPECT_TRUE(fs::is_directory(file / "occupied"));
}

TEST_F(UserDefaultsFile, ReadOnlyFolderKeepsTheOldFileAndTellsOnce) {
    {
        UserDefaults defaults(file);
        defaults.setInteger("a", 1);
        ASSERT_TRUE(defaults.synchronize());
    }
    const std::string old = readFile(file);
    ::chmod(file.c_str(), 0644);
    ::chmod(dir.path().c_str(), 0555);
    bool held = false;
    stderrOf([&] {
        held = holdsWithoutPrivileges([&] {
            UserDefaults defaults(file);
            int reports = 0;
            defaults.setWriteFailureHandler([&](const std::string&) { ++reports; });
            defaults.setInteger("a", 2);
            const bool first = defaults.synchronize();
            defaults.setInteger("b", 3);
            const bool second = defaults.synchronize();
            return !first && !second && reports == 1 && defaults.integerForKey("a") == 2;
        });
    });
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_TRUE(held);
    EXPECT_EQ(readFile(file), old);
    EXPECT_EQ(files().size(), 1u);
}

TEST_F(UserDefaultsFile, DamagedFileThatCannotMoveIsNeverOverwritten) {
    if (::geteuid() == 0) GTEST_SKIP() << "running as root: permission bits do not stop renames";
    writeFile(file, "not a property list");
    ::chmod(dir.path().c_str(), 0500);
    std::unique_ptr<UserDefaults> defaults;
    stderrOf([&] {
        defaults = std::make_unique<UserDefaults>(file);
        defaults->setInteger("a", 1);
        EXPECT_FALSE(defaults->synchronize());
    });
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(readFile(file), "not a property list");
    // Once it can be moved aside, it is, and the settings are written.
    stderrOf([&] { EXPECT_TRUE(defaults->synchronize()); });
    EXPECT_EQ(damagedCopies().size(), 1u);
    EXPECT_EQ(UserDefaults(file).integerForKey("a"), 1);
}

// Readers see whole values and a whole file while two threads change and save; the file
// ends with the latest value of each.
TEST_F(UserDefaultsFile, ReadersSeeWholeValuesWhileOtherThreadsWrite) {
    UserDefaults defaults(file);
    for (const char* key : {"pair0", "pair1"}) defaults.setObject(key, PlistValue(PlistValue::Array{0, 0}));
    ASSERT_TRUE(defaults.synchronize());
    constexpr int kWrites = 100;
    std::atomic<bool> done{false};
    std::atomic<int> torn{0}, unreadableFiles{0}, failedSaves{0};
    std::vector<std::thread> readers, writers;
    for (int r = 0; r < 2; ++r)
        readers.emplace_back([&, key = "pair" + std::to_string(r)] {
            int64_t last = 0;
            while (!done.load()) {
                const PlistValue pair = defaults.objectForKey(key);
                const int64_t now = (*pair.asArray())[0].toInteger();
                if (now < last || (*pair.asArray())[1].toInteger() != now) ++torn;
                last = now;
            }
        });
    readers.emplace_back([&] {
        while (!done.load())
            if (auto parsed = PlistValue::fromXml(readFile(file)); !parsed || !parsed->asDictionary())
                ++unreadableFiles;
    });
    for (int w = 0; w < 2; ++w)
        writers.emplace_back([&, key = "pair" + std::to_string(w)] {
            for (int i = 1; i <= kWrites; ++i) {
                defaults.setObject(key, PlistValue(PlistValue::Array{i, i}));
                if (!defaults.synchronize()) ++failedSaves;
            }
        });
    for (auto& t : writers) t.join();
    done = true;
    for (auto& t : readers) t.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(unreadableFiles.load(), 0);
    EXPECT_EQ(failedSaves.load(), 0);
    UserDefaults again(file);
    for (const char* key : {"pair0", "pair1"})
        EXPECT_EQ(again.objectForKey(key), PlistValue(PlistValue::Array{kWrites, kWrites})) << key;
    EXPECT_EQ(files().size(), 1u);
}

} // namespace
} // namespace velora
