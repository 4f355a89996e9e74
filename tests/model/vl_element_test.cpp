// Window records: attributes read from their sources.
#include "model_fixture.h"

namespace velora {
namespace {

using test::ModelTest;

// What needs a pid or a window number is unknown until the record is matched; a hung
// application's window reads as not responding, a gone one's as nothing.
TEST_F(ModelTest, AttributesNeedAMatchAndALiveApplication) {
    sim::WindowSpec spec;
    spec.space = 3;
    auto [pid, w] = appWithWindow("org.example.a", "Doc", spec);
    VLElementRef r = matched(pid, w), unmatched = record(pid, w);
    EXPECT_EQ(r->getSpaceNumber(), 3);
    EXPECT_EQ(unmatched->getSpaceNumber(), 0);
    EXPECT_EQ(unmatched->runningApplicationForWindow(), nullptr);
    sim.setApplicationHidden(pid, true);
    EXPECT_TRUE(r->checkIfHidden());
    EXPECT_FALSE(unmatched->checkIfHidden());

    EXPECT_EQ(r->getTitle(), "Doc");
    sim.setApplicationHung(pid, true);
    EXPECT_EQ(r->getTitle(), VLElement::kNotResponding);
    EXPECT_EQ(unmatched->getTitle(), std::nullopt); // no pid: no running application to vouch for it
    sim.terminateApplication(pid);
    EXPECT_EQ(r->getTitle(), std::nullopt);
}

} // namespace
} // namespace velora
