#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <thread>
#include <vector>

#include "settings/user_defaults.h"
#include "support/file_text.h"
#include "support/temp_dir.h"

namespace velora {
namespace {

namespace fs = std::filesystem;
using test::readFile;

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

std::string stderrOf(const std::function<void()>& action) {
    testing::internal::CaptureStderr();
    action();
    return testing::internal::GetCapturedStderr();
}

class UserDefaultsFile : public ::testing::Test {
  protected:
    std::vector<fs::path> files() const {
        std::vector<fs::path> out;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            out.push_back(entry.path());
        return out;
    }

    test::TempDir dir;
    fs::path file = dir / "defaults.plist";
};

// A damaged file and one without a dictionary at the top are moved aside, never overwritten,
// and the user is told where.
TEST_F(UserDefaultsFile, DamagedFilesAreKeptAsideAndTold) {
    const std::string damaged = PlistValue(PlistValue::Dictionary{{"keep", "me"}}).toXml().substr(0, 150);
    test::writeFile(file, damaged);
    std::unique_ptr<UserDefaults> defaults;
    const std::string message = stderrOf([&] { defaults = std::make_unique<UserDefaults>(file); });
    EXPECT_TRUE(defaults->objectForKey("keep").isNone());
    EXPECT_FALSE(message.empty()) << "the user is not told where the damaged file went";
    defaults->setInteger("fresh", 1);
    ASSERT_TRUE(defaults->synchronize());
    EXPECT_EQ(UserDefaults(file).integerForKey("fresh"), 1);

    test::writeFile(file, PlistValue(PlistValue::Array{1, 2}).toXml());
    stderrOf([&] { UserDefaults notADictionary(file); });
    std::vector<std::string> copies;
    for (const auto& f : files())
        if (f.filename().string().starts_with("defaults.plist.damaged-")) copies.push_back(readFile(f));
    ASSERT_EQ(copies.size(), 2u) << "copies made in the same second need distinct names";
    EXPECT_TRUE(copies[0] == damaged || copies[1] == damaged);
}

TEST_F(UserDefaultsFile, AFullDiskLeavesTheOldFileWholeAndIsReportedOncePerRunOfFailures) {
    UserDefaults defaults(file);
    defaults.setObject("text", PlistValue(std::string(4000, 'a')));
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0600));
    const std::string old = readFile(file);
    int reports = 0;
    defaults.setWriteFailureHandler([&](const std::string&) { ++reports; });
    const auto failTwice = [&] {
        stderrOf([&] {
            FileSizeLimit full(512);
            defaults.setObject("text", PlistValue(std::string(8000 + size_t(reports), 'b')));
            EXPECT_FALSE(defaults.synchronize());
            defaults.setInteger("more", reports);
            EXPECT_FALSE(defaults.synchronize());
        });
    };
    failTwice();
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(readFile(file), old);
    EXPECT_EQ(files().size(), 1u) << "temporary file left behind";
    // The unsaved values go out once writing works again; the next failure is told again.
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(UserDefaults(file).objectForKey("text").asString()->size(), 8000u);
    failTwice();
    EXPECT_EQ(reports, 2);
}

// A save whose temporary file cannot be made fails and is told: here the name (250 bytes, a
// valid file name) leaves no room for the temporary file's suffix, which fails for root too,
// as a folder without write permission fails for a user.
TEST_F(UserDefaultsFile, ASaveThatCannotCreateItsFileFailsAndIsTold) {
    UserDefaults defaults(dir / std::string(250, 'd'));
    int reports = 0;
    defaults.setWriteFailureHandler([&](const std::string&) { ++reports; });
    defaults.setInteger("a", 1);
    stderrOf([&] { EXPECT_FALSE(defaults.synchronize()); });
    EXPECT_EQ(reports, 1);
    EXPECT_TRUE(files().empty());
}

// Readers see whole values and a whole file while two threads change and save; the file
// ends with the latest value of each.
TEST_F(UserDefaultsFile, ReadersSeeWholeValuesWhileOtherThreadsWrite) {
    UserDefaults defaults(file);
    for (const char* key : {"pair0", "pair1"})
        defaults.setObject(key, PlistValue(PlistValue::Array{0, 0}));
    ASSERT_TRUE(defaults.synchronize());
    constexpr int kWrites = 100;
    std::atomic<bool> done{false};
    std::atomic<int> torn{0}, unreadableFiles{0}, failedSaves{0};
    std::vector<std::thread> readers, writers;
    readers.emplace_back([&] {
        int64_t last[2] = {0, 0};
        while (!done.load())
            for (int k = 0; k < 2; ++k) {
                const PlistValue pair = defaults.objectForKey("pair" + std::to_string(k));
                const int64_t now = (*pair.asArray())[0].toInteger();
                if (now < last[k] || (*pair.asArray())[1].toInteger() != now) ++torn;
                last[k] = now;
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
    for (auto& t : writers)
        t.join();
    done = true;
    for (auto& t : readers)
        t.join();
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
