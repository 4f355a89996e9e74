// Drops of file names: the uri-list decoding and what the view forwards to its destination.
#include <QCoreApplication>
#include <QDropEvent>
#include <QEventLoop>
#include <QMimeData>
#include <QTimer>

#include "fake_flow_data.h"
#include "panel/file_drop.h"
#include "support/wait.h"

namespace velora {
namespace {

using Paths = std::vector<std::string>;

TEST(UriList, FileUrlsBecomeLocalPathsByteForByte) {
    const QByteArray list = "# a comment line\r\n"
                            "file:///tmp/a%20b.txt\r\n"
                            "file:///tmp/it%27s%20%22quoted%22\r\n"
                            "http://example.org/page\r\n"
                            "file://localhost/etc/hosts\r\n"
                            "file:///tmp/caf%E9%FF\r\n"
                            "file:///tmp/hash%23name#fragment\r\n"
                            "file://elsewhere.invalid/tmp/remote\r\n"
                            "\r\n"
                            "file:/tmp/short-form\n"
                            "file:///tmp/%E4%BD%A0%E5%A5%BD";
    const Paths expected{
        "/tmp/a b.txt",    "/tmp/it's \"quoted\"",         "/etc/hosts", "/tmp/caf\xE9\xFF", "/tmp/hash#name",
        "/tmp/short-form", "/tmp/\xE4\xBD\xA0\xE5\xA5\xBD"};
    EXPECT_EQ(filenamesFromUriList(list), expected);
    EXPECT_TRUE(filenamesFromUriList("").empty());
    EXPECT_TRUE(filenamesFromUriList("relative/path\r\nfile://\r\n").empty());
}

// Accepts every file drag unless told otherwise, and records what it heard.
struct RecordingDestination : DraggingDestination {
    DragOperation updateAnswer = kDragOperationEvery;
    std::vector<DraggingInfo> entered, updated, performed;

    DragOperation draggingEntered(const DraggingInfo& info) override {
        entered.push_back(info);
        return kDragOperationEvery;
    }
    DragOperation draggingUpdated(const DraggingInfo& info) override {
        updated.push_back(info);
        return updateAnswer;
    }
    bool prepareForDragOperation(const DraggingInfo&) override { return true; }
    bool performDragOperation(const DraggingInfo& info) override {
        performed.push_back(info);
        return true;
    }
};

class ViewDropTest : public test::PanelViewTest {
  protected:
    ViewDropTest() : data(5) {
        view->setDataSource(&data);
        view->setDraggingDestinationDelegate(&destination);
        view->setSelectedIndex(1);
        files.setData(QStringLiteral("text/uri-list"), "file:///tmp/one\r\nfile:///tmp/t%C3%BCo%FE\r\n");
    }

    QPoint over() const { return view->cellRect(1).center().toPoint(); }
    // Sends the event over cell 1; whether the view accepted it.
    template <class Event> bool send() {
        Event event(over(), Qt::CopyAction | Qt::LinkAction, &files, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
        return event.isAccepted();
    }

    test::FakeFlowData data;
    RecordingDestination destination;
    QMimeData files;
};

TEST_F(ViewDropTest, FileDragsReachTheDestinationInWindowCoordinates) {
    EXPECT_TRUE(send<QDragEnterEvent>());
    ASSERT_EQ(destination.entered.size(), 1u);
    const DraggingInfo& info = destination.entered.front();
    EXPECT_EQ(info.filenames, (Paths{"/tmp/one", "/tmp/t\xC3\xBCo\xFE"}));
    const QPoint inWindow = view->mapTo(outlets.window, over());
    EXPECT_EQ(info.location, (Point{double(inWindow.x()), double(inWindow.y())}));

    EXPECT_TRUE(send<QDragMoveEvent>());
    destination.updateAnswer = kDragOperationNone;
    EXPECT_FALSE(send<QDragMoveEvent>());
    EXPECT_TRUE(send<QDropEvent>());
    ASSERT_EQ(destination.performed.size(), 1u);
    EXPECT_EQ(destination.performed.front().filenames, info.filenames);
}

// Resting over a cell, the drag keeps reaching the destination (which ends the switch on a
// window held over long enough); leaving stops the updates.
TEST_F(ViewDropTest, ARestingDragKeepsGettingUpdatesUntilItLeaves) {
    ASSERT_TRUE(send<QDragEnterEvent>());
    test::waitFor([&] { return destination.updated.size() >= 2; }, std::chrono::seconds(10),
                  [] { QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100); });
    ASSERT_GE(destination.updated.size(), 2u);
    for (const DraggingInfo& update : destination.updated)
        EXPECT_EQ(update.location, destination.entered[0].location);

    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(view, &leave);
    for (const QTimer* timer : view->findChildren<QTimer*>())
        EXPECT_FALSE(timer->isActive() && timer->interval() == IKBImageFlowView::kPeriodicDragUpdateMs);
}

} // namespace
} // namespace velora
