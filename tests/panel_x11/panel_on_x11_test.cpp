// The switch panel on a real X desktop: an override-redirect window outside the window
// manager's client list that neither takes activation when shown or clicked nor leaves when
// the desktop changes. Also draws the screenshot of the panel shown in the project's README
// (written next to the test program, and into docs/images when VELORA_UPDATE_DOCS_IMAGES=1).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLayout>
#include <QPainter>
#include <QRadialGradient>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "../panel_view/fake_flow_data.h"
#include "panel/badge_drawing.h"
#include "panel/cover_flow_loader.h"
#include "synthetic_pictures.h"
#include "x11_probe.h"

namespace velora {
namespace {

using namespace velora::test;

// The desktop's wallpaper: an override-redirect window kept below everything.
class Wallpaper : public QWidget {
public:
    Wallpaper()
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                               Qt::WindowDoesNotAcceptFocus) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QLinearGradient sky(0, 0, width(), height());
        sky.setColorAt(0, QColor(28, 58, 96));
        sky.setColorAt(0.55, QColor(64, 52, 110));
        sky.setColorAt(1, QColor(150, 72, 96));
        p.fillRect(rect(), sky);
        p.setRenderHint(QPainter::Antialiasing);
        for (auto [x, y, r, a] : {std::tuple{0.18, 0.82, 0.55, 60}, {0.85, 0.2, 0.45, 50}, {0.6, 0.95, 0.35, 40}}) {
            QRadialGradient glow(QPointF(width() * x, height() * y), width() * r);
            glow.setColorAt(0, QColor(255, 200, 160, a));
            glow.setColorAt(1, QColor(255, 200, 160, 0));
            p.fillRect(rect(), glow);
        }
    }
};

// An ordinary application window showing a made-up picture of its content.
class AppWindow : public QWidget {
public:
    AppWindow(const QString& title, ImageRef content) : content_(std::move(content)) { setWindowTitle(title); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const QImage& image = content_->representations().front();
        const int bar = image.height() / 12; // the made-up title bar; the manager draws its own
        p.drawImage(rect(), image, QRect(0, bar, image.width(), image.height() - bar));
    }

private:
    ImageRef content_;
};

ImageRef badged(ImageRef picture, int space, ImageRef icon) {
    BadgeOptions options;
    options.spaceBadge = options.appBadge = true;
    options.spaceNumber = space;
    options.appIcon = std::move(icon);
    options.plate = namedPanelImage("Space");
    return badgedImage(picture, options);
}

ImageRef pictureOf(QWidget& window) {
    return std::make_shared<const Image>(window.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

class PanelOnX11 : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) return;
        static int argc = 1;
        static char name[] = "velora_panel_x11_tests";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
    }

    void SetUp() override {
        if (!app) GTEST_SKIP() << "no X display";
        QScreen* screen = QGuiApplication::primaryScreen();
        wallpaper = std::make_unique<Wallpaper>();
        wallpaper->setGeometry(screen->geometry());
        wallpaper->show();
        wallpaper->lower();

        const QColor blue(52, 120, 246), orange(255, 149, 0), green(52, 199, 89), red(255, 59, 48), teal(90, 200, 250);
        terminal = std::make_unique<AppWindow>(QStringLiteral("Terminal — ~/src/velora"),
                                               syntheticWindow(900, 560, teal, QStringLiteral("Terminal"), true));
        terminal->setGeometry(640, 330, 560, 360);
        terminal->show();
        notes = std::make_unique<AppWindow>(QStringLiteral("Notes — release plan"),
                                            syntheticWindow(1000, 640, orange, QStringLiteral("Notes")));
        notes->setGeometry(90, 90, 700, 440);
        notes->show();
        ASSERT_TRUE(waitFor([&] { return notes->windowHandle() && notes->windowHandle()->isExposed(); }));
        notes->activateWindow();
        ASSERT_TRUE(waitFor([&] { return activeWindow() == notes->winId(); })) << "the manager activates Notes";

        data.add(badged(pictureOf(*terminal), 1, syntheticIcon(teal, QStringLiteral("T"))), "Terminal — ~/src/velora",
                 "Terminal");
        data.add(badged(pictureOf(*notes), 1, syntheticIcon(orange, QStringLiteral("N"))), "Notes — release plan",
                 "Notes");
        data.add(badged(syntheticWindow(1000, 640, blue, QStringLiteral("Mail — Inbox (3)")), 2,
                        syntheticIcon(blue, QStringLiteral("M"))),
                 "Mail — Inbox (3)", "Mail");
        data.add(nullptr, "Files — Documents", "Files"); // its picture has not arrived yet
        data.add(badged(syntheticWindow(960, 720, red, QStringLiteral("Browser")), 3, syntheticIcon(red, QStringLiteral("B"))),
                 "Browser — Velora release notes", "Browser");
        data.add(badged(syntheticWindow(1000, 620, green, QStringLiteral("Editor"), true), 4,
                        syntheticIcon(green, QStringLiteral("E"))),
                 "Editor — ikb_image_flow_view.cpp", "Editor");

        outlets = loadCoverFlow();
        outlets.browserView->setDataSource(&data);
        outlets.browserView->setDelegate(&data);
        outlets.browserView->setSelectedIndex(1);
        outlets.window->setFrame(Rect{0, 0, 637, 437}, true);
        outlets.window->center();
        activeBefore = activeWindow();
        outlets.window->makeKeyAndOrderFront();
        panelId = outlets.window->winId();
        ASSERT_TRUE(waitFor([&] { return windowInfo(panelId, QStringLiteral("Map State")) == "IsViewable"; }));
        waitFor([] { return false; }, 300); // let it paint
    }

    void TearDown() override {
        if (outlets.window) outlets.window->orderOut();
        delete outlets.window;
    }

    QPoint onScreen(QPointF inView) const { return outlets.browserView->mapToGlobal(inView).toPoint(); }

    static QApplication* app;
    std::unique_ptr<Wallpaper> wallpaper;
    std::unique_ptr<AppWindow> terminal, notes;
    FakeFlowData data;
    CoverFlowOutlets outlets; // deleted in TearDown, before the windows below it
    unsigned long activeBefore = 0;
    unsigned long panelId = 0;
};

QApplication* PanelOnX11::app = nullptr;

TEST_F(PanelOnX11, StaysOutOfTheWindowManagersWay) {
    EXPECT_EQ(windowInfo(panelId, QStringLiteral("Override Redirect State")), "yes");
    const std::vector<unsigned long> clients = clientList();
    EXPECT_NE(std::find(clients.begin(), clients.end(), notes->winId()), clients.end()) << "a managed window is listed";
    EXPECT_EQ(std::find(clients.begin(), clients.end(), panelId), clients.end());
    EXPECT_EQ(activeWindow(), activeBefore) << "showing took no activation";
    EXPECT_EQ(QGuiApplication::focusWindow(), notes->windowHandle());

    // A real click through the X server selects the cell and still activates nothing.
    const QPoint target = onScreen(outlets.browserView->cellRect(2).center());
    run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(target.x()), QString::number(target.y()),
                                    QStringLiteral("click"), QStringLiteral("1")});
    EXPECT_TRUE(waitFor([&] { return outlets.browserView->selectedIndex() == 2; }));
    waitFor([] { return false; }, 200);
    EXPECT_EQ(activeWindow(), activeBefore) << "clicking took no activation";

    // Another desktop: the managed window goes, the panel stays.
    run(QStringLiteral("wmctrl"), {QStringLiteral("-s"), QStringLiteral("1")});
    EXPECT_TRUE(waitFor([&] { return windowInfo(notes->winId(), QStringLiteral("Map State")) != "IsViewable"; }));
    EXPECT_EQ(windowInfo(panelId, QStringLiteral("Map State")), "IsViewable");
    run(QStringLiteral("wmctrl"), {QStringLiteral("-s"), QStringLiteral("0")});
    EXPECT_TRUE(waitFor([&] { return windowInfo(notes->winId(), QStringLiteral("Map State")) == "IsViewable"; }));

    outlets.window->orderOut();
    EXPECT_TRUE(waitFor([&] { return windowInfo(panelId, QStringLiteral("Map State")) != "IsViewable"; }));
}

TEST_F(PanelOnX11, Screenshot) {
    QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    ASSERT_FALSE(shot.isNull());
    // The panel is on screen: its plate is dark where the wallpaper is bright.
    const QRect frame = outlets.window->geometry();
    EXPECT_LT(qGray(shot.pixel(frame.left() + 12, frame.top() + 12)), 50);
    // The front picture is the Notes window's own picture, light like the window.
    const QPoint front = onScreen(outlets.browserView->cellRect(1).center());
    EXPECT_GT(qGray(shot.pixel(front + QPoint(outlets.browserView->cellRect(1).width() / 3, 0))), 150);

    EXPECT_TRUE(shot.save(QStringLiteral("panel.png")));
    if (qEnvironmentVariable("VELORA_UPDATE_DOCS_IMAGES") == "1") {
        QDir().mkpath(QStringLiteral(VELORA_DOCS_IMAGES_DIR));
        EXPECT_TRUE(shot.save(QStringLiteral(VELORA_DOCS_IMAGES_DIR "/panel.png")));
    }
}

} // namespace
} // namespace velora
