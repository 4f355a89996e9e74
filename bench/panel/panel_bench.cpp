// The panel drawn into images for a desktop that shows it from an image (Wayland): one frame
// of a panel-sized widget at full opacity and half faded (the size preview in the
// preferences), at scales 1 and 2. Reports the bytes of each frame's image.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
#include <QWidget>

#include "panel/surface_panel_window.h"

namespace velora {
namespace {

// Something to draw in every pixel, with translucent corners, as the panel has.
class Panel final : public QWidget {
  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(40, 40, 40, 220));
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(rect(), 18, 18);
        painter.setBrush(QColor(200, 60, 120));
        for (int i = 0; i < 5; ++i)
            painter.drawRect(24 + i * 120, 120, 100, 180);
    }
};

// Counts what it is given.
class CountingSurface final : public PanelSurfacePort {
  public:
    std::optional<PanelOutput> panelOutput() override { return PanelOutput{Rect{0, 0, 1280, 800}, scale}; }
    void present(const QImage& image, PanelPlacement) override {
        bytes = image.sizeInBytes();
        ++frames;
    }
    void withdraw() override {}
    void setClickHandler(std::function<void(const PanelClick&)>) override {}
    int scale = 1;
    qsizetype bytes = 0;
    int64_t frames = 0;
};

void PanelFrame(benchmark::State& state) {
    Panel panel;
    panel.resize(637, 437);
    CountingSurface surface;
    surface.scale = int(state.range(1));
    SurfacePanelWindow window(panel, surface);
    window.centerOnScreen(0);
    window.setAlphaValue(double(state.range(0)) / 100);
    QCoreApplication::processEvents();
    for (auto _ : state)
        window.makeKeyAndOrderFront(); // draws one frame at once
    window.orderOut();
    state.counters["frame_bytes"] = double(surface.bytes);
    state.SetLabel(state.range(0) == 100 ? "opaque" : "faded");
}
BENCHMARK(PanelFrame)
    ->Args({100, 1})
    ->Args({50, 1})
    ->Args({100, 2})
    ->Args({50, 2})
    ->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace velora

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
