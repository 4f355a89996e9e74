// Badging and fading run on the picture operations' threads, several at once, while the
// named images are rendered on first use.
#include <gtest/gtest.h>

#include <QImage>

#include <atomic>
#include <thread>
#include <vector>

#include "panel/badge_drawing.h"

namespace velora {
namespace {

TEST(BadgeThreads, ManyPicturesBadgedAndFadedAtOnce) {
    constexpr int kThreads = 4;
    std::atomic<int> ready{0};
    std::atomic<int> badged{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            QImage picture(400 + 10 * t, 300, QImage::Format_ARGB32_Premultiplied);
            picture.fill(Qt::blue);
            QImage icon(64, 64, QImage::Format_ARGB32_Premultiplied);
            icon.fill(Qt::red);
            auto source = std::make_shared<const Image>(picture);
            ready.fetch_add(1);
            while (ready.load() < kThreads) std::this_thread::yield();
            for (int round = 0; round < 5; ++round) {
                BadgeOptions options;
                options.spaceBadge = options.appBadge = true;
                options.spaceNumber = 1 + (t + round) % 39;
                options.appIcon = std::make_shared<const Image>(icon);
                options.plate = namedPanelImage("Space"); // the first calls race to render it
                ImageRef result = badgedImage(source, options);
                ImageRef faded = fadedImage(result, result->size());
                if (result != source && faded && namedPanelImage("empty")) badged.fetch_add(1);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(badged.load(), kThreads * 5);
    EXPECT_EQ(namedPanelImage("Space"), namedPanelImage("Space"));
}

} // namespace
} // namespace velora
