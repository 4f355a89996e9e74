// Window pictures in the background: the grab, badges, fading of windows out of sight,
// cancellation, and a fade from a command racing a grab.
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "panel_fixture.h"
#include "support/solid_picture.h"

namespace velora {
namespace {

class GrabImageTest : public test::PanelTest {
  protected:
    static QColor colorAt(const ImageRef& image, int x, int y) {
        return QColor(image->representations().front().pixel(x, y));
    }
};

TEST_F(GrabImageTest, PicturesArriveInTheBackgroundAMinimisedOneFadedAndOnlyTheirCellsAreRedrawn) {
    sim::WindowSpec shown, minimised;
    shown.size = {300, 200};
    shown.color = QColor(10, 200, 30);
    minimised.minimized = true;
    auto [a, wa] = appWithWindow("org.example.a", "A", shown);
    auto [b, wb] = appWithWindow("org.example.b", "B", minimised);
    controller->populateItems({windowRecord(a, wa), windowRecord(b, wb)});
    const int reloads = view.reloads;
    const auto selections = view.selections;
    finishPictures();

    ASSERT_TRUE(item(0)->image() && item(1)->image());
    EXPECT_EQ(item(0)->image()->size(), (Size{300, 200}));
    EXPECT_EQ(colorAt(item(0)->image(), 150, 100), QColor(10, 200, 30));
    EXPECT_EQ(fadedItems(), (std::vector<bool>{false, true}));
    EXPECT_NEAR(middleAlpha(item(1)->image()), 128, 2);
    std::vector<int> cells = view.reloadedCells;
    std::sort(cells.begin(), cells.end());
    EXPECT_EQ(cells, (std::vector<int>{0, 1}));
    EXPECT_EQ(view.reloads, reloads);
    EXPECT_EQ(view.selections, selections);
}

TEST_F(GrabImageTest, BadgesAreDrawnOnlyWhenTheSettingsAskForThem) {
    sim::WindowSpec options;
    options.size = {1000, 600};
    options.space = 3;
    options.color = QColor(20, 20, 120);
    auto [pid, number] = appWithWindow("org.example.a", "A", options);
    auto grab = [&] {
        controller->populateItems({windowRecord(pid, number)});
        finishPictures();
        return item(0)->image();
    };
    EXPECT_EQ(colorAt(grab(), 950, 50), options.color);

    VLSettings::shared().showSpaceBadges = VLSettings::shared().showAppBadges = 1;
    const ImageRef badged = grab();
    EXPECT_NE(colorAt(badged, 950, 50), options.color);  // the space plate, top right
    EXPECT_NE(colorAt(badged, 500, 300), options.color); // the icon
    EXPECT_EQ(colorAt(badged, 100, 500), options.color);
}

TEST_F(GrabImageTest, CancellingTheQueueStopsGrabsUnderWayAndDropsTheWaitingOnes) {
    // Every capture waits until the queue has been cancelled.
    std::mutex m;
    std::condition_variable cv;
    int entered = 0;
    bool cancelled = false;
    sim.setCaptureHook([&](uint32_t) {
        std::unique_lock lock(m);
        ++entered;
        cv.notify_all();
        cv.wait(lock, [&] { return cancelled; });
    });
    controller->populateItems(windowRecords(appsWithWindows({"A", "B", "C", "D", "E", "F", "G", "H"})));
    controller->refreshPictures();
    const int running = std::min(int(OperationQueue::defaultMaxConcurrent()), 8);
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(5), [&] { return entered == running; }));
    }
    session.pictures.cancelAllOperations();
    {
        std::lock_guard lock(m);
        cancelled = true;
    }
    cv.notify_all();
    finishPictures();

    EXPECT_EQ(sim.countCalls("capture"), running);
    for (const auto& i : controller->browserData())
        EXPECT_FALSE(i->image());
    EXPECT_TRUE(view.reloadedCells.empty());
}

TEST_F(GrabImageTest, AFadeAndAGrabInEitherOrderEndWithTheNewPictureFaded) {
    const auto w = appsWithWindows({"A"})[0];
    const ImageRef grabbed = test::solidPicture(300, 150, Qt::blue);
    auto makeItem = [&] {
        auto i = windowItemWithoutGrab(w);
        i->setImage(test::solidPicture(200, 100, Qt::red));
        return i;
    };

    // The fade first: the later grab stores its picture faded.
    auto fadedFirst = makeItem();
    fadedFirst->fadeImage(false);
    fadedFirst->storeGrabbedPicture(grabbed, false);
    EXPECT_EQ(fadedFirst->image()->size(), (Size{300, 150}));
    EXPECT_NEAR(middleAlpha(fadedFirst->image()), 128, 2);

    // Both at once, many times: whichever wins, the item ends with the grabbed picture faded.
    for (int round = 0; round < 100; ++round) {
        auto i = makeItem();
        std::thread grab([&] { i->storeGrabbedPicture(grabbed, false); });
        i->fadeImage(false);
        grab.join();
        ASSERT_TRUE(i->isTransparent());
        ASSERT_EQ(i->image()->size(), (Size{300, 150})) << "round " << round;
        ASSERT_NEAR(middleAlpha(i->image()), 128, 2) << "round " << round;
    }
}

} // namespace
} // namespace velora
