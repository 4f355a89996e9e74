// The flowing image view: selection, hit testing in window coordinates, a cell read again,
// placeholders and titles.
#include <QCoreApplication>
#include <QMouseEvent>

#include <memory>

#include "fake_flow_data.h"

namespace velora {
namespace {

using test::FakeFlowData;
using test::solidPicture;

class FlowViewTest : public test::PanelViewTest {
  protected:
    // Items with pictures, or none when count is 0, and the view selecting the given one.
    FakeFlowData& fill(int count, unsigned selected = 0) {
        data = std::make_unique<FakeFlowData>(count);
        view->setDataSource(data.get());
        view->setDelegate(data.get());
        view->setSelectedIndex(selected);
        return *data;
    }
    // The view as drawn, on a transparent canvas in view coordinates.
    QImage render() {
        QImage image(view->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        view->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image.convertToFormat(QImage::Format_ARGB32);
    }
    QRgb renderedCentre(int cell) { return render().pixel(view->cellRect(cell).center().toPoint()); }
    int64_t cellAt(QPointF viewPoint) const {
        const QPointF p = view->mapTo(outlets.window, viewPoint);
        return view->cellIndexAtLocation(Point{p.x(), p.y()});
    }
    void click(QPointF at, QEvent::Type type) {
        QMouseEvent event(type, at, view->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    }

    std::unique_ptr<FakeFlowData> data;
};

// An index past the end, or a list that shrank under the selection, names the last cell:
// drawing and hit testing never reach past the list.
TEST_F(FlowViewTest, SelectionStaysInsideTheList) {
    fill(3, 7);
    EXPECT_EQ(view->selectedIndex(), 2u);
    data->items.resize(1);
    view->reloadData();
    EXPECT_EQ(view->selectedIndex(), 0u);
    render();
    data->items.clear();
    view->reloadData();
    EXPECT_EQ(view->selectedIndex(), 0u);
    EXPECT_EQ(cellAt(QPointF(view->width() / 2.0, view->height() / 2.0)), kNotFound);
}

TEST_F(FlowViewTest, CellsAreFoundInWindowCoordinatesAndClicksSelectThem) {
    fill(5, 1);
    ASSERT_NE(view->pos(), QPoint(0, 0)) << "the view sits inside the window's margins";
    const QRectF front = view->cellRect(1), right = view->cellRect(2);
    EXPECT_EQ(cellAt(right.center()), 2);
    // Window coordinates are not view coordinates.
    const QPointF edge(front.left() + 3, front.center().y());
    EXPECT_EQ(view->cellIndexAtLocation(Point{edge.x(), edge.y()}), kNotFound);
    EXPECT_EQ(cellAt(edge), 1);

    click(right.center(), QEvent::MouseButtonPress);
    EXPECT_EQ(view->selectedIndex(), 2u);
    // The press moved the row: the double click at its place means the cell it hit.
    click(right.center(), QEvent::MouseButtonDblClick);
    click(QPointF(2, 2), QEvent::MouseButtonDblClick); // no cell, no report
    EXPECT_EQ(data->doubleClicks, std::vector<int>{2});
}

TEST_F(FlowViewTest, AReloadedCellShowsItsNewPicture) {
    fill(5, 1);
    render();
    data->items[1]->picture = solidPicture(400, 300, Qt::green);
    view->reloadCellDataAtIndex(1);
    view->reloadCellDataAtIndex(5);
    view->reloadCellDataAtIndex(-1);
    EXPECT_GT(qGreen(renderedCentre(1)), 200) << "the old face is not reused";
}

// A cell without a picture shows a frame with something light inside (the title's letter, or
// a window glyph without a title); the selected cell's title is drawn below it.
TEST_F(FlowViewTest, CellsWithoutPictureShowAPlaceholderAndTheSelectedTitle) {
    fill(0).add(nullptr, "Window");
    data->add(nullptr, std::nullopt);
    view->reloadData();
    QImage image;
    for (unsigned i : {1u, 0u}) {
        view->setSelectedIndex(i);
        const QRectF box = view->cellRect(int(i));
        ASSERT_FALSE(box.isEmpty());
        image = render();
        int light = 0;
        for (int y = int(box.top()); y < int(box.bottom()); ++y)
            for (int x = int(box.left()); x < int(box.right()); ++x)
                if (qGray(image.pixel(x, y)) > 140 && qAlpha(image.pixel(x, y)) > 200) ++light;
        EXPECT_GT(light, 30) << "cell " << i;
    }
    // Below the cell, the title.
    int text = 0;
    for (int y = int(view->cellRect(0).bottom()) + 2; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            text += qAlpha(image.pixel(x, y)) >= 100 ? 1 : 0;
    EXPECT_GT(text, 100) << "the title is drawn";
}

} // namespace
} // namespace velora
