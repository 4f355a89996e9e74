// Window pictures in the background: the grab, fading of windows out of sight, the kept
// pictures (within the cache's byte limit), badges, cancellation, and a fade from a command
// racing a grab.
#include <algorithm>
#include <future>
#include <thread>

#include "panel_fixture.h"
#include "support/solid_picture.h"
#include "support/wait.h"

namespace velora {
namespace {

class PictureCacheTest : public test::PanelTest {};

TEST_F(PictureCacheTest, PicturesFitTheirBoxComeBackFromTheCacheAndFollowAWindowThatRedraws) {
    VLSettings::shared().width = 637;
    VLSettings::shared().height = 437;
    sim::WindowSpec small, large;
    small.size = {300, 200};
    small.color = Qt::red;
    large.size = {1000, 600};
    large.minimized = true;
    auto [a, wa] = appWithWindow("org.example.a", "A", small);
    auto [b, wb] = appWithWindow("org.example.b", "B", large);
    const VLCandidateList both{windowRecord(a, wa), windowRecord(b, wb)};

    controller->populateItems(both);
    const auto selections = view.selections;
    finishPictures();
    EXPECT_EQ(view.selections, selections) << "pictures landing move no selection";
    const Size box = *controller->pictureBox();
    EXPECT_EQ(item(0)->image()->size(), (Size{300, 200})) << "never enlarged";
    EXPECT_EQ(QColor(middle(item(0)->image())), QColor(Qt::red));
    const Size fitted = item(1)->image()->size();
    EXPECT_TRUE(fitted.width <= box.width && fitted.height <= box.height);
    EXPECT_NEAR(fitted.width / fitted.height, 1000.0 / 600.0, 0.01);
    // The minimised window's picture comes faded.
    EXPECT_EQ(fadedItems(), (std::vector<bool>{false, true}));
    EXPECT_NEAR(qAlpha(middle(item(1)->image())), 128, 2);

    // The next switch finds both pictures kept.
    controller->populateItems(both);
    finishPictures();
    ASSERT_TRUE(item(0)->image() && item(1)->image());

    // Up, the panel follows the window that redraws.
    controller->show();
    sim.updateWindow(wa, [](sim::WindowSpec& w) { w.color = Qt::blue; });
    sim.advance(IKBController::kLiveInterval);
    sim.pump();
    session.pictures.waitUntilAllOperationsAreFinished();
    sim.pump();
    EXPECT_EQ(QColor(middle(item(0)->image())), QColor(Qt::blue));
}

TEST_F(PictureCacheTest, TheCacheKeepsWithinItsLimitAndDropsThePicturesOfGoneWindows) {
    const auto w = appsWithWindows({"A", "B", "C"});
    const ImageRef picture = std::make_shared<const Image>(QImage(100, 100, QImage::Format_RGB32));
    const std::size_t one = std::size_t(picture->representations().front().sizeInBytes());
    PictureCache cache(one * 5 / 2);
    for (const auto& each : w)
        cache.keep(each.window, picture, windowServer().windowContentsVersion(each.window), PictureKey{});
    EXPECT_EQ(cache.count(), 2u);

    sim.destroyWindow(w[2].window);
    cache.retainOnly([](uint32_t n) { return windowServer().windowContentsVersion(n).has_value(); });
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_EQ(cache.bytes(), one);
}

class GrabImageTest : public test::PanelTest {
  protected:
    static QColor colorAt(const ImageRef& image, int x, int y) {
        return QColor(image->representations().front().pixel(x, y));
    }
};

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
    std::promise<void> cancel;
    const std::shared_future<void> cancelled = cancel.get_future().share();
    std::atomic<int> entered{0};
    sim.setCaptureHook([&](uint32_t) {
        ++entered;
        std::shared_future<void>(cancelled).wait(); // each thread through its own copy
    });
    controller->populateItems(windowRecords(appsWithWindows({"A", "B", "C", "D", "E", "F", "G", "H"})));
    controller->refreshPictures();
    const int running = std::min(int(OperationQueue::defaultMaxConcurrent()), 8);
    ASSERT_TRUE(test::waitFor([&] { return entered == running; }, std::chrono::seconds(5)));
    session.pictures.cancelAllOperations();
    cancel.set_value();
    finishPictures();

    EXPECT_EQ(sim.countCalls("capture"), running);
    for (const auto& i : controller->browserData())
        EXPECT_FALSE(i->image());
    EXPECT_TRUE(view.reloadedCells.empty());
}

TEST_F(GrabImageTest, AFadeAndAGrabInEitherOrderEndWithTheNewPictureFaded) {
    const auto w = appsWithWindows({"A"})[0];
    const ImageRef grabbed = test::solidPicture(300, 150, Qt::blue);
    // An item whose picture no grab will bring.
    auto makeItem = [&] {
        VLElementRef record = windowRecord(w.pid, w.window);
        auto i = std::make_shared<IKBBrowserItem>(IKBBrowserItem::Kind::Window, record, nullptr,
                                                  record->getTitle(), nullptr, controller->weak_from_this());
        i->setImage(test::solidPicture(200, 100, Qt::red));
        return i;
    };

    // Both at once, many times: whichever wins, the item ends with the grabbed picture faded.
    for (int round = 0; round < 100; ++round) {
        auto i = makeItem();
        std::thread grab([&] { i->storeGrabbedPicture(grabbed, false); });
        i->fadeImage(false);
        grab.join();
        ASSERT_TRUE(i->isTransparent());
        ASSERT_EQ(i->image()->size(), (Size{300, 150})) << "round " << round;
        ASSERT_NEAR(qAlpha(middle(i->image())), 128, 2) << "round " << round;
    }
}

} // namespace
} // namespace velora
