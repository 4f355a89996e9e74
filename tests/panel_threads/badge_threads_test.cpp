// Badging and fading run on the picture operations' threads, several at once, while the
// named images are rendered on first use.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "panel/badge_drawing.h"
#include "support/solid_picture.h"

namespace velora {
namespace {

TEST(BadgeThreads, ManyPicturesBadgedAndFadedAtOnce) {
    constexpr int kThreads = 4, kRounds = 5;
    std::atomic<int> ready{0}, badged{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const ImageRef source = test::solidPicture(400 + 10 * t, 300, Qt::blue);
            const ImageRef icon = test::solidPicture(64, 64, Qt::red);
            ready.fetch_add(1);
            while (ready.load() < kThreads)
                std::this_thread::yield();
            for (int round = 0; round < kRounds; ++round) {
                BadgeOptions options;
                options.spaceBadge = options.appBadge = true;
                options.spaceNumber = 1 + (t + round) % 39;
                options.appIcon = icon;
                options.plate = namedPanelImage("Space"); // the first calls race to render it
                ImageRef result = badgedImage(source, options);
                if (result != source && fadedImage(result, result->size()) && namedPanelImage("empty"))
                    badged.fetch_add(1);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(badged.load(), kThreads * kRounds);
    EXPECT_EQ(namedPanelImage("Space"), namedPanelImage("Space"));
}

} // namespace
} // namespace velora
