// Window pictures in the background: the grab, badges, fading of windows out of sight,
// cancellation, and a fade from a command racing a grab.
#include <thread>

#include "panel/grab_image_operation.h"
#include "panel_fixture.h"

namespace velora {
namespace {

using test::PanelTest;

class GrabImageTest : public PanelTest {
protected:
    IKBBrowserItemRef populateOne(pid_t pid, uint32_t number) {
        controller->populateItems({windowRecord(pid, number)});
        return controller->browserData().at(0);
    }
    static QRgb pixelAt(const ImageRef& image, int x, int y) { return image->representations().front().pixel(x, y); }
};

TEST_F(GrabImageTest, AWindowItemGetsItsPictureInTheBackgroundAndOnlyItsCellIsRedrawn) {
    sim::WindowSpec options;
    options.size = {300, 200};
    options.color = QColor(10, 200, 30);
    auto [pid, number] = appWithWindow("org.example.a", "A", options);
    IKBBrowserItemRef item = populateOne(pid, number);
    const int reloads = view.reloads;
    finishPictures();

    ASSERT_TRUE(item->image());
    EXPECT_EQ(item->image()->size(), (Size{300, 200}));
    EXPECT_EQ(QColor(pixelAt(item->image(), 150, 100)), QColor(10, 200, 30));
    EXPECT_FALSE(item->isTransparent());
    EXPECT_EQ(view.reloadedCells, (std::vector<int>{0}));
    EXPECT_EQ(view.reloads, reloads);
    EXPECT_EQ(sim.countCalls("capture"), 1);
}

TEST_F(GrabImageTest, AMinimisedWindowEndsFadedAndTheSelectionStays) {
    sim::WindowSpec options;
    options.minimized = true;
    auto [pid, number] = appWithWindow("org.example.a", "A", options);
    auto [pid2, number2] = appWithWindow("org.example.b", "B");
    controller->populateItems({windowRecord(pid, number), windowRecord(pid2, number2)});
    const auto selections = view.selections;
    finishPictures();

    IKBBrowserItemRef item = controller->browserData()[0];
    ASSERT_TRUE(item->image());
    EXPECT_TRUE(item->isTransparent());
    EXPECT_NEAR(middleAlpha(item->image()), 128, 2);
    EXPECT_FALSE(controller->browserData()[1]->isTransparent());
    EXPECT_EQ(view.selections, selections);
}

TEST_F(GrabImageTest, BadgesAreDrawnOnlyWhenTheSettingsAskForThem) {
    sim::WindowSpec options;
    options.size = {1000, 600};
    options.space = 3;
    options.color = QColor(20, 20, 120);
    auto [pid, number] = appWithWindow("org.example.a", "A", options);
    IKBBrowserItemRef plain = populateOne(pid, number);
    finishPictures();
    // Top-right corner (in top-left pixel coordinates) and the middle: unchanged.
    EXPECT_EQ(QColor(pixelAt(plain->image(), 950, 50)), QColor(20, 20, 120));

    VLSettings::shared().showSpaceBadges = 1;
    VLSettings::shared().showAppBadges = 1;
    IKBBrowserItemRef badged = populateOne(pid, number);
    finishPictures();
    EXPECT_NE(QColor(pixelAt(badged->image(), 950, 50)), QColor(20, 20, 120)); // the space plate
    EXPECT_NE(QColor(pixelAt(badged->image(), 500, 300)), QColor(20, 20, 120)); // the icon
    EXPECT_EQ(QColor(pixelAt(badged->image(), 100, 500)), QColor(20, 20, 120));
}

TEST_F(GrabImageTest, ACancelledOperationGrabsNothingAndStillFinishes) {
    auto [pid, number] = appWithWindow("org.example.a", "A");
    auto item = std::make_shared<IKBBrowserItem>(IKBBrowserItem::Kind::Window, windowRecord(pid, number), nullptr,
                                                 std::string("A"), nullptr, controller->weak_from_this());
    auto operation = GrabImageOperation::operationWithItem(item);
    operation->cancel();
    operation->main();
    EXPECT_TRUE(operation->isFinished());
    EXPECT_EQ(sim.countCalls("capture"), 0);
    EXPECT_FALSE(item->image());
    EXPECT_EQ(operation->item(), item);
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
    VLCandidateList records;
    for (int i = 0; i < 8; ++i) {
        auto [pid, number] = appWithWindow("org.example." + std::to_string(i), "W");
        records.emplace_back(windowRecord(pid, number));
    }
    controller->populateItems(records);
    const int threads = int(OperationQueue::defaultMaxConcurrent());
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(5), [&] { return entered == std::min(threads, 8); }));
    }
    session.pictures.cancelAllOperations();
    {
        std::lock_guard lock(m);
        cancelled = true;
    }
    cv.notify_all();
    finishPictures();

    EXPECT_EQ(sim.countCalls("capture"), std::min(threads, 8));
    for (const auto& item : controller->browserData()) EXPECT_FALSE(item->image());
    EXPECT_TRUE(view.reloadedCells.empty());
}

TEST_F(GrabImageTest, AFadeAndAGrabInEitherOrderEndWithTheNewPictureFaded) {
    auto [pid, number] = appWithWindow("org.example.a", "A");
    VLElementRef record = windowRecord(pid, number);
    auto makeItem = [&] {
        auto item = std::make_shared<IKBBrowserItem>(IKBBrowserItem::Kind::Window, record, nullptr, std::string("A"),
                                                     nullptr, controller->weak_from_this());
        QImage old(200, 100, QImage::Format_ARGB32_Premultiplied);
        old.fill(Qt::red);
        item->setImage(std::make_shared<const Image>(std::move(old)));
        return item;
    };
    QImage fresh(300, 150, QImage::Format_ARGB32_Premultiplied);
    fresh.fill(Qt::blue);
    const ImageRef grabbed = std::make_shared<const Image>(std::move(fresh));

    // The fade first: the later grab stores its picture faded.
    auto fadedFirst = makeItem();
    fadedFirst->fadeImage(false);
    fadedFirst->storeGrabbedPicture(grabbed, false);
    EXPECT_EQ(fadedFirst->image()->size(), (Size{300, 150}));
    EXPECT_NEAR(middleAlpha(fadedFirst->image()), 128, 2);

    // Both at once, many times: whichever wins, the item ends with the grabbed picture faded.
    for (int round = 0; round < 100; ++round) {
        auto item = makeItem();
        std::thread grab([&] { item->storeGrabbedPicture(grabbed, false); });
        item->fadeImage(false);
        grab.join();
        ASSERT_TRUE(item->isTransparent());
        ASSERT_EQ(item->image()->size(), (Size{300, 150})) << "round " << round;
        ASSERT_NEAR(middleAlpha(item->image()), 128, 2) << "round " << round;
    }
}

} // namespace
} // namespace velora
