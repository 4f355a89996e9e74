#pragma once
// The switch panel's flowing image view: a row of large pictures with the selected one in
// front, bigger, with its title and subtitle under it, the others smaller, turned away and
// dimmer. The selection glides to its new place; cells whose picture has not arrived show a
// placeholder. The view pulls its cells from the data source and keeps, per cell, the item's
// picture and one face scaled to the front size (the image cache that freeCache empties).
//
// Everything here runs on the main thread, like every widget. Points in "window coordinates"
// are relative to the top-left corner of the top-level window holding the view (the panel
// window, or the full-screen window while the view is in full-screen mode).
//
// Drags: only text/uri-list with file URLs is accepted; the view forwards enter, move and
// drop to its dragging destination and honours its answers. While a drag rests over the
// view the destination also gets periodic updates (every kPeriodicDragUpdateMs), so that
// holding a drag still counts as time passing.

#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "panel/flow_layout.h"
#include "panel/image_flow_view.h"

class QBoxLayout;
class QLayout;
class QMimeData;
class QTimer;
class QVariantAnimation;

namespace velora {

class SurfacePanelWindow;

class IKBImageFlowView : public QWidget, public ImageFlowView {
    Q_OBJECT
  public:
    explicit IKBImageFlowView(QWidget* parent = nullptr);
    ~IKBImageFlowView() override;

    void setDataSource(ImageFlowDataSource* source) override;
    void setDelegate(ImageFlowDelegate* delegate) override;
    void setDraggingDestinationDelegate(DraggingDestination* destination) override;

    void reloadData() override;
    void reloadCellDataAtIndex(int index) override;

    unsigned selectedIndex() const override;
    void setSelectedIndex(unsigned index) override;

    int64_t cellIndexAtLocation(Point location) const override;

    ImageFlowCacheManager& cacheManager() override;

    void setAlphaValue(double alpha) override;
    double alphaValue() const override;

    // Covers the given screen of QGuiApplication::screens() with a frameless window of its
    // own that takes the view; the presentation options need nothing more on X11, where that
    // window lies above docks and panels. False when there is no such screen.
    bool enterFullScreenMode(int screenIndex, uint32_t presentationOptions) override;
    // Gives the view back to the window and layout it came from.
    void exitFullScreenMode() override;
    bool isInFullScreenMode() const override;

    int count() const { return int(cells_.size()); }

    // Length of the selection's glide in milliseconds; 0 moves it at once.
    void setSelectionAnimationDuration(int msec);
    // Ends a running glide at its target.
    void finishSelectionAnimation();
    // The fractional index of the cell drawn in front (the selection once the glide is over).
    double selectionPosition() const { return position_; }

    // Where a cell's picture is drawn, as the bounding box in view coordinates; empty when
    // the cell is not drawn.
    QRectF cellRect(int index) const;

    static constexpr int kPeriodicDragUpdateMs = 40;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    struct Cell {
        bool loaded = false;
        std::string uid;
        ImageRef picture;
        std::optional<std::string> title;
        std::optional<std::string> subtitle;
    };
    struct Face {
        QImage image;
        QSizeF frontBox;
        double devicePixelRatio = 0;
    };
    class Cache : public ImageFlowCacheManager {
      public:
        explicit Cache(IKBImageFlowView& view) : view_(view) {}
        void freeCache() override;

      private:
        IKBImageFlowView& view_;
    };

    FlowLayout layout() const;
    const Cell& cell(int index) const;
    void readCell(int index) const;
    const QImage& faceOf(int index, const FlowLayout& layout) const;
    void freeCache();
    int64_t cellAt(QPointF viewPoint) const;
    void moveTo(unsigned index);
    void setPosition(double position);
    void drawCell(QPainter& painter, int index, const FlowLayout::Placement& placement,
                  const FlowLayout& layout);
    void drawTitles(QPainter& painter, const FlowLayout& layout);
    void drawIndicator(QPainter& painter, const FlowLayout& layout);
    void evictFacesAway(const FlowLayout& layout);
    DraggingInfo draggingInfo(const QMimeData* data, QObject* source, QPointF viewPoint) const;
    void stopDragUpdates();

    ImageFlowDataSource* dataSource_ = nullptr;
    ImageFlowDelegate* delegate_ = nullptr;
    DraggingDestination* dragDestination_ = nullptr;

    mutable std::vector<Cell> cells_;
    mutable std::map<int, Face> faces_;
    Cache cache_{*this};

    unsigned selected_ = 0;
    double position_ = 0;
    double alpha_ = 1;
    int animationMs_ = 150;
    QVariantAnimation* glide_ = nullptr;
    int wheelRemainder_ = 0;
    // The cell the last press hit, and where: a double click there means that cell, though
    // the press set the row gliding and another cell now lies under the pointer.
    int64_t pressedCell_ = kNotFound;
    QPointF pressedAt_;

    QTimer* dragTimer_ = nullptr;
    DraggingInfo lastDrag_;

    // Full-screen mode: the window that holds the view, and where the view came from.
    std::unique_ptr<QWidget> fullScreenHost_;
    // Where the desktop shows the panel from an image (Wayland): the host drawn over the
    // output instead of shown as a window; owned by the host.
    SurfacePanelWindow* surfaceHost_ = nullptr;
    QPointer<QWidget> homeParent_;
    QPointer<QLayout> homeLayout_;
    int homeLayoutIndex_ = -1;
    QRect homeGeometry_;
};

} // namespace velora
