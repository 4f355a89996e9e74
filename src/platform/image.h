#pragma once
// An image as the desktop hands it out: one or more representations (an icon usually comes
// in several sizes) and the size at which it is drawn. Images are immutable once made and
// shared by reference, so a reader on one thread keeps a valid image while another thread
// stores a replacement.

#include <QImage>
#include <memory>
#include <vector>

#include "platform/geometry.h"

namespace velora {

class Image {
  public:
    Image() = default;
    explicit Image(QImage single) : size_{double(single.width()), double(single.height())} {
        representations_.push_back(std::move(single));
    }
    Image(std::vector<QImage> representations, Size size)
        : representations_(std::move(representations)), size_(size) {}

    const std::vector<QImage>& representations() const { return representations_; }
    Size size() const { return size_; }
    bool isEmpty() const { return representations_.empty(); }

    // The representation that best fills the given size (the largest when none is larger).
    QImage bestRepresentation(Size forSize) const;

  private:
    std::vector<QImage> representations_;
    Size size_;
};

using ImageRef = std::shared_ptr<const Image>;

} // namespace velora
