// The flowing image view: selection, hit testing in window coordinates, its image cache,
// what it reads from the data source, opacity, placeholders, titles and full-screen mode.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLayout>
#include <QMouseEvent>
#include <QScreen>

#include <algorithm>
#include <memory>

#include "fake_flow_data.h"
#include "panel/cover_flow_loader.h"

namespace velora {
namespace {

using test::FakeFlowData;
using test::solidPicture;

class FlowViewTest : public ::testing::Test {
protected:
    FlowViewTest() {
        outlets = loadCoverFlow();
        view = outlets.browserView;
        outlets.window->setFrame(Rect{0, 0, 637, 437}, false);
        outlets.window->layout()->activate();
        view->setSelectionAnimationDuration(0);
    }
    ~FlowViewTest() override { delete outlets.window; }

    void fill(int count) {
        data = std::make_unique<FakeFlowData>(count);
        connect();
    }
    void connect() {
        view->setDataSource(data.get());
        view->setDelegate(data.get());
    }

    // The view as drawn, on a transparent canvas in view coordinates.
    QImage render() {
        QImage image(view->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        view->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image.convertToFormat(QImage::Format_ARGB32);
    }

    Point inWindow(QPointF viewPoint) const {
        QPointF p = view->mapTo(outlets.window, viewPoint);
        return Point{p.x(), p.y()};
    }

    void click(QPointF at, QEvent::Type type) {
        QMouseEvent event(type, at, view->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    }

    CoverFlowOutlets outlets;
    IKBImageFlowView* view = nullptr;
    std::unique_ptr<FakeFlowData> data;
};

TEST_F(FlowViewTest, SelectionStaysInsideTheList) {
    fill(3);
    EXPECT_EQ(view->count(), 3);
    view->setSelectedIndex(1);
    EXPECT_EQ(view->selectedIndex(), 1u);
    view->setSelectedIndex(7);
    EXPECT_EQ(view->selectedIndex(), 2u) << "an index past the end names the last cell";

    data->items.pop_back();
    data->items.pop_back();
    view->reloadData();
    EXPECT_EQ(view->selectedIndex(), 0u);
    view->setSelectedIndex(1);
    EXPECT_EQ(view->selectedIndex(), 0u) << "a single cell stays selected";

    data->items.clear();
    view->reloadData();
    EXPECT_EQ(view->selectedIndex(), 0u);
    EXPECT_EQ(view->cellIndexAtLocation(inWindow(QPointF(view->width() / 2.0, view->height() / 2.0))), kNotFound);
}

TEST_F(FlowViewTest, CellUnderAPointInWindowCoordinates) {
    fill(5);
    view->setSelectedIndex(1);
    ASSERT_NE(view->pos(), QPoint(0, 0)) << "the view sits inside the window's margins";

    const QRectF front = view->cellRect(1), right = view->cellRect(2), left = view->cellRect(0);
    ASSERT_FALSE(front.isEmpty());
    EXPECT_NEAR(front.center().x(), view->width() / 2.0, 1);
    EXPECT_LT(right.height(), front.height()) << "side cells are smaller";
    EXPECT_EQ(view->cellIndexAtLocation(inWindow(front.center())), 1);
    EXPECT_EQ(view->cellIndexAtLocation(inWindow(right.center())), 2);
    EXPECT_EQ(view->cellIndexAtLocation(inWindow(left.center())), 0);

    // Between the front cell and its neighbour, and above every cell.
    ASSERT_LT(front.right() + 2, right.left());
    EXPECT_EQ(view->cellIndexAtLocation(inWindow(QPointF((front.right() + right.left()) / 2, front.center().y()))),
              kNotFound);
    EXPECT_EQ(view->cellIndexAtLocation(inWindow(QPointF(front.center().x(), front.top() - 3))), kNotFound);
    // Window coordinates are not view coordinates.
    const QPointF edge(front.left() + 3, front.center().y());
    EXPECT_EQ(view->cellIndexAtLocation(Point{edge.x(), edge.y()}), kNotFound);
    EXPECT_EQ(view->cellIndexAtLocation(inWindow(edge)), 1);
}

TEST_F(FlowViewTest, ClickSelectsAndDoubleClickTellsTheDelegate) {
    fill(5);
    view->setSelectedIndex(1);
    click(view->cellRect(2).center(), QEvent::MouseButtonPress);
    EXPECT_EQ(view->selectedIndex(), 2u);
    click(view->cellRect(2).center(), QEvent::MouseButtonDblClick);
    EXPECT_EQ(data->doubleClicks, std::vector<int>{2});
    click(QPointF(2, 2), QEvent::MouseButtonDblClick);
    EXPECT_EQ(data->doubleClicks.size(), 1u) << "no cell, no report";
    EXPECT_EQ(view->selectedIndex(), 2u);
}

TEST_F(FlowViewTest, FreeCacheReleasesEveryPicture) {
    fill(5);
    view->setSelectedIndex(1);
    std::weak_ptr<const Image> picture = data->items[1]->picture;
    render();
    EXPECT_GT(view->cachedFaceCount(), 0);
    EXPECT_GT(view->heldPictureCount(), 0);

    // The items drop their pictures, as after a switch; the view must not keep them alive.
    for (auto& item : data->items) item->picture = nullptr;
    view->cacheManager().freeCache();
    EXPECT_EQ(view->cachedFaceCount(), 0);
    EXPECT_EQ(view->heldPictureCount(), 0);
    EXPECT_TRUE(picture.expired());

    // The next paint asks the data source again.
    data->itemRequests.clear();
    data->items[1]->picture = solidPicture(400, 300, Qt::green);
    QImage image = render();
    EXPECT_NE(std::find(data->itemRequests.begin(), data->itemRequests.end(), 1), data->itemRequests.end());
    QRgb centre = image.pixel(view->cellRect(1).center().toPoint());
    EXPECT_GT(qGreen(centre), 200);
}

TEST_F(FlowViewTest, ReloadingOneCellReadsOnlyThatCell) {
    fill(5);
    view->setSelectedIndex(1);
    render();
    data->itemRequests.clear();

    data->items[1]->picture = solidPicture(400, 300, Qt::green);
    data->items[1]->title = "Renamed";
    view->reloadCellDataAtIndex(1);
    EXPECT_EQ(data->itemRequests, std::vector<int>{1});
    QImage image = render();
    EXPECT_EQ(data->itemRequests, std::vector<int>{1}) << "drawing reads nothing more";
    EXPECT_GT(qGreen(image.pixel(view->cellRect(1).center().toPoint())), 200) << "the old face is not reused";

    view->reloadCellDataAtIndex(5);
    view->reloadCellDataAtIndex(-1);
    EXPECT_EQ(data->itemRequests.size(), 1u);
}

TEST_F(FlowViewTest, LongListsReadAndDrawOnlyTheCellsAroundTheSelection) {
    fill(60);
    view->setSelectedIndex(30);
    data->itemRequests.clear();
    render();
    ASSERT_FALSE(data->itemRequests.empty());
    auto [low, high] = std::minmax_element(data->itemRequests.begin(), data->itemRequests.end());
    EXPECT_GE(*low, 30 - FlowLayout::kSideCells - 1);
    EXPECT_LE(*high, 30 + FlowLayout::kSideCells + 1);
    EXPECT_LE(view->cachedFaceCount(), 2 * FlowLayout::kSideCells + 3);

    // Moving on drops the faces left behind.
    view->setSelectedIndex(55);
    render();
    EXPECT_LE(view->cachedFaceCount(), 2 * FlowLayout::kSideCells + 3);
    EXPECT_EQ(view->cellIndexAtLocation(inWindow(view->cellRect(55).center())), 55);
}

TEST_F(FlowViewTest, OpacityAppliesToTheDrawing) {
    fill(3);
    view->setSelectedIndex(1);
    const QPoint centre = view->cellRect(1).center().toPoint();
    EXPECT_EQ(qAlpha(render().pixel(centre)), 255);
    view->setAlphaValue(0.5);
    EXPECT_DOUBLE_EQ(view->alphaValue(), 0.5);
    EXPECT_NEAR(qAlpha(render().pixel(centre)), 128, 2);
    view->setAlphaValue(0.0);
    QImage hidden = render();
    EXPECT_EQ(hidden, [&] { QImage empty(hidden.size(), hidden.format()); empty.fill(0); return empty; }());
    view->setAlphaValue(1.0);
    EXPECT_EQ(qAlpha(render().pixel(centre)), 255);
}

TEST_F(FlowViewTest, CellsWithoutPictureShowAPlaceholder) {
    data = std::make_unique<FakeFlowData>();
    data->add(nullptr, "Mail");
    data->add(nullptr, std::nullopt);
    connect();
    for (unsigned i : {0u, 1u}) {
        view->setSelectedIndex(i);
        const QRectF box = view->cellRect(int(i));
        ASSERT_FALSE(box.isEmpty());
        EXPECT_NEAR(box.width() / box.height(), 4.0 / 3.0, 0.05);
        QImage image = render();
        // A frame with something light (the letter or the window glyph) inside it.
        int light = 0;
        for (int y = int(box.top()); y < int(box.bottom()); ++y)
            for (int x = int(box.left()); x < int(box.right()); ++x)
                if (qGray(image.pixel(x, y)) > 140 && qAlpha(image.pixel(x, y)) > 200) ++light;
        EXPECT_GT(qAlpha(image.pixel(int(box.left()) + 6, int(box.center().y()))), 200);
        EXPECT_GT(light, 30) << "cell " << i;
    }
}

TEST_F(FlowViewTest, TitlesNeverOverflowTheView) {
    data = std::make_unique<FakeFlowData>();
    data->add(solidPicture(400, 300, Qt::darkBlue), std::string(400, 'W'), std::string(400, 'M'));
    connect();
    QImage image = render();
    const QRectF front = view->cellRect(0);
    // Below the picture, its reflection lies only under it; the text must stay inside the
    // view's own margins.
    int inMargins = 0, text = 0;
    for (int y = int(front.bottom()) + 2; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) < 100) continue;
            if (x < 8 || x >= image.width() - 8) ++inMargins;
            else ++text;
        }
    EXPECT_EQ(inMargins, 0);
    EXPECT_GT(text, 100) << "the title is drawn";
}

TEST_F(FlowViewTest, FullScreenTakesTheViewAndGivesItBack) {
    fill(3);
    EXPECT_FALSE(view->isInFullScreenMode());
    EXPECT_FALSE(view->enterFullScreenMode(99, kFullScreenPresentationOptions));
    EXPECT_FALSE(view->isInFullScreenMode());

    ASSERT_TRUE(view->enterFullScreenMode(0, kFullScreenPresentationOptions));
    EXPECT_TRUE(view->isInFullScreenMode());
    QWidget* host = view->window();
    ASSERT_NE(host, outlets.window);
    EXPECT_TRUE(host->isVisible());
    EXPECT_EQ(host->geometry(), QGuiApplication::screens().front()->geometry());
    EXPECT_TRUE(host->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(outlets.window->isVisible()) << "the panel window is left alone";
    // Window coordinates are now those of the full-screen window.
    const QRectF front = view->cellRect(int(view->selectedIndex()));
    EXPECT_EQ(view->cellIndexAtLocation(Point{front.center().x(), front.center().y()}), int(view->selectedIndex()));

    view->exitFullScreenMode();
    EXPECT_FALSE(view->isInFullScreenMode());
    EXPECT_EQ(view->parentWidget(), outlets.window);
    EXPECT_GE(outlets.window->layout()->indexOf(view), 0);
    outlets.window->layout()->activate();
    EXPECT_NE(view->pos(), QPoint(0, 0));
    view->exitFullScreenMode(); // twice is harmless
}

} // namespace
} // namespace velora
