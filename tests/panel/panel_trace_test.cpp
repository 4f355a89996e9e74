// The opt-in timing marks: "panel" when the panel is ordered front, "pictures" once, when the
// last window picture of the current filling is in its cell and the panel is up. Each test runs in a
// process of its own, so the trace descriptor set here is the one the marks read.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "panel_fixture.h"
#include "platform/trace.h"

namespace velora {
namespace {

class PanelTraceTest : public test::PanelTest {
  protected:
    PanelTraceTest() {
        if (::pipe2(fds_, O_NONBLOCK | O_CLOEXEC) == 0)
            ::setenv("VELORA_TRACE_FD", std::to_string(fds_[1]).c_str(), 1);
    }
    ~PanelTraceTest() override {
        ::unsetenv("VELORA_TRACE_FD");
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    // The event names written since the last call, in order; each line starts with one.
    std::string events() {
        std::string all, names;
        char buffer[4096];
        for (ssize_t n; (n = ::read(fds_[0], buffer, sizeof buffer)) > 0;)
            all.append(buffer, std::size_t(n));
        for (std::size_t at = 0, end; (end = all.find('\n', at)) != std::string::npos; at = end + 1)
            names += (names.empty() ? "" : ",") + all.substr(at, all.find(' ', at) - at);
        return names;
    }
    int fds_[2] = {-1, -1};
};

TEST_F(PanelTraceTest, PicturesIsMarkedOnceWhenTheLastPictureOfTheFillingLands) {
    ASSERT_TRUE(trace::enabled());
    const auto w = appsWithWindows({"A", "B", "C"});
    sim.updateWindow(w[2].window, [](sim::WindowSpec& spec) { spec.captureFails = true; });
    const VLCandidateList both = windowRecords({w[0], w[1]});

    // The first filling's grab lands after the panel was refilled: it is none of the
    // second filling's, whose other picture never comes, so nothing is marked.
    controller->populateItems(windowRecords({w[0]}));
    controller->refreshPictures();
    session.pictures.waitUntilAllOperationsAreFinished();
    controller->populateItems(windowRecords({w[1], w[2]}));
    controller->show();
    EXPECT_EQ(events(), "panel");
    finishPictures();
    EXPECT_EQ(events(), "");

    // Cleared and filled again: the count starts over, and the last picture marks it once.
    controller->clearItems();
    controller->populateItems(both);
    finishPictures();
    EXPECT_EQ(events(), "pictures");
    // Taking the panel down reports the cache's size. Pictures ready before the panel is up
    // are in its cells when it comes up.
    controller->hide();
    controller->populateItems(both);
    finishPictures();
    EXPECT_EQ(events(), "picture_cache");
    controller->show();
    finishPictures();
    EXPECT_EQ(events(), "panel,pictures");
}

} // namespace
} // namespace velora
