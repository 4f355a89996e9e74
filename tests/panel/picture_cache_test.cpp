// Kept window pictures: read once, fitted to the panel's box, read again only for a window
// that changed (also while the panel is up), and within the cache's byte limit.
#include "panel/grab_image_operation.h"
#include "panel_fixture.h"

namespace velora {
namespace {

class PictureCacheTest : public test::PanelTest {
  protected:
    static QColor middle(const ImageRef& image) {
        const QImage rep = image->representations().front();
        return QColor(rep.pixel(rep.width() / 2, rep.height() / 2));
    }
};

TEST_F(PictureCacheTest, AWindowIsReadAgainOnlyAfterItChangedAlsoWhileThePanelIsUp) {
    VLSettings::shared().width = 637;
    VLSettings::shared().height = 437;
    sim::WindowSpec small, large;
    small.size = {300, 200};
    small.color = Qt::red;
    large.size = {1000, 600};
    auto [a, wa] = appWithWindow("org.example.a", "A", small);
    auto [b, wb] = appWithWindow("org.example.b", "B", large);
    const VLCandidateList both{windowRecord(a, wa), windowRecord(b, wb)};

    controller->populateItems(both);
    EXPECT_FALSE(item(0)->image()) << "filling the panel reads nothing";
    EXPECT_EQ(sim.countCalls("capture"), 0);
    finishPictures();
    EXPECT_EQ(sim.countCalls("capture"), 2);
    const Size box = *controller->pictureBox();
    EXPECT_EQ(item(0)->image()->size(), (Size{300, 200})) << "never enlarged";
    const Size fitted = item(1)->image()->size();
    EXPECT_TRUE(fitted.width <= box.width && fitted.height <= box.height);
    EXPECT_NEAR(fitted.width / fitted.height, 1000.0 / 600.0, 0.01);

    // The next switch finds both pictures current.
    controller->populateItems(both);
    finishPictures();
    EXPECT_EQ(sim.countCalls("capture"), 2);
    ASSERT_TRUE(item(0)->image() && item(1)->image());

    // Up, the panel follows the window that redraws, and only that one.
    controller->show();
    finishPictures();
    view.reloadedCells.clear();
    sim.updateWindow(wa, [](sim::WindowSpec& w) { w.color = Qt::blue; });
    sim.advance(IKBController::kLiveInterval);
    sim.pump();
    session.pictures.waitUntilAllOperationsAreFinished();
    sim.pump();
    EXPECT_EQ(sim.countCalls("capture"), 3);
    EXPECT_EQ(middle(item(0)->image()), QColor(Qt::blue));
    EXPECT_EQ(view.reloadedCells, (std::vector<int>{0}));

    // Hidden, a redraw costs nothing until the next switch asks.
    controller->hide();
    sim.updateWindow(wb, [](sim::WindowSpec& w) { w.color = Qt::green; });
    sim.advance(1.0);
    sim.pump();
    EXPECT_EQ(sim.countCalls("capture"), 3);
}

TEST_F(PictureCacheTest, TheCacheKeepsWithinItsLimitDroppingThePictureUsedLongestAgoAndThoseOfGoneWindows) {
    const auto w = appsWithWindows({"A", "B", "C"});
    const ImageRef picture = std::make_shared<const Image>(QImage(100, 100, QImage::Format_RGB32));
    const std::size_t one = std::size_t(picture->representations().front().sizeInBytes());
    PictureCache cache(one * 5 / 2);
    const PictureKey key;
    auto keep = [&](uint32_t n) { cache.keep(n, picture, windowServer().windowContentsVersion(n), key); };
    keep(w[0].window);
    keep(w[1].window);
    EXPECT_TRUE(cache.current(w[0].window, key)); // used: now the newest
    keep(w[2].window);
    EXPECT_EQ(cache.count(), 2u);
    EXPECT_LE(cache.bytes(), cache.byteLimit());
    EXPECT_FALSE(cache.current(w[1].window, key));
    EXPECT_TRUE(cache.current(w[0].window, key));
    EXPECT_FALSE(cache.current(w[0].window, PictureKey::of(Size{50, 50}, {}))) << "made for another box";

    sim.destroyWindow(w[0].window);
    cache.retainOnly([](uint32_t n) { return windowServer().windowContentsVersion(n).has_value(); });
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_EQ(cache.bytes(), one);
}

} // namespace
} // namespace velora
