#pragma once
// Where the flowing row places its cells: the selected cell large in front, the others
// smaller, turned away and dimmer the further they are from it, stacked to both sides.
// Positions are fractional, so the row can glide from one selection to the next.

#include <QPolygonF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

namespace velora {

class FlowLayout {
  public:
    // The layout of a view of the given size (in device-independent pixels).
    FlowLayout(QSizeF viewSize, int count);

    // Centres the row vertically for pictures of the given height at the front (at most the
    // front box's): a row of wide pictures does not leave the space above them empty.
    void setRowHeight(double rowHeight);

    // The box that the front cell's picture fits into, a little wider than high.
    QSizeF frontBox() const { return frontBox_; }
    // The floor line on which the pictures stand.
    double baseline() const { return baseline_; }
    // Where the selected cell's title and subtitle go.
    QRectF titleArea() const { return titleArea_; }
    // Where the position indicator of a long row goes.
    QRectF indicatorArea() const { return indicatorArea_; }

    // A picture of the given aspect (width / height) fitted into the front box, centred on
    // the origin: the rectangle the transform of a placement is applied to.
    QRectF pictureRect(double aspect) const;

    struct Placement {
        bool visible = false;
        QTransform transform; // picture space (pictureRect) to view coordinates
        double opacity = 1;   // fades cells out at the row's ends
        double dim = 0;       // how much darker than the front cell, 0 to 1
        double distance = 0;  // from the front, in cells: drawing goes from far to near
    };
    // The placement of a cell whose picture has the given aspect, with the row at the
    // fractional position (the index of the cell in front).
    Placement placement(int index, double position, double aspect) const;

    // The cells that can be visible around a position, first and last inclusive.
    int firstVisible(double position) const;
    int lastVisible(double position) const;

    // How many cells to each side of the front one are drawn at most.
    static constexpr int kSideCells = 7;

  private:
    double titleBlock() const { return titleSize_ * 3.1; }

    QSizeF view_;
    int count_;
    QSizeF frontBox_;
    double titleSize_ = 0;
    double margin_ = 0;
    double room_ = 0; // height for the pictures and their reflections
    double baseline_ = 0;
    QRectF titleArea_;
    QRectF indicatorArea_;
};

} // namespace velora
