#include "package/payload_views.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const uint32_t kGranule = 0x10000;
const uint32_t kView = 4 * kGranule;

std::vector<PayloadView> Views(uint32_t offset, uint32_t length)
{
    std::vector<PayloadView> views;
    PayloadView view;
    for (uint32_t done = 0; NextPayloadView(offset, length, done, kGranule, kView, &view); done += view.length)
        views.push_back(view);
    return views;
}

TEST(PayloadViews, FirstViewStartsAtTheGranuleHoldingThePayload)
{
    std::vector<PayloadView> views = Views(0x3A00, 0x100);
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0].mapOffset, 0u);
    EXPECT_EQ(views[0].skip, 0x3A00u);
    EXPECT_EQ(views[0].length, 0x100u);
    EXPECT_EQ(views[0].mapLength, 0x3B00u);

    // A payload that starts on a granule boundary skips nothing.
    views = Views(2 * kGranule, 1);
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0].mapOffset, 2 * kGranule);
    EXPECT_EQ(views[0].skip, 0u);
}

TEST(PayloadViews, LaterViewsAreWholeUntilTheLastPartialOne)
{
    // The first view carries kView - 0x3A00 bytes; the boundary falls inside the payload.
    uint32_t length = 2 * kView + 5;
    std::vector<PayloadView> views = Views(0x3A00, length);
    ASSERT_EQ(views.size(), 3u);
    EXPECT_EQ(views[0].length, kView - 0x3A00);
    EXPECT_EQ(views[1].mapOffset, kView);
    EXPECT_EQ(views[1].skip, 0u);
    EXPECT_EQ(views[1].length, kView);
    EXPECT_EQ(views[2].mapOffset, 2 * kView);
    EXPECT_EQ(views[2].length, 0x3A00u + 5);
    EXPECT_EQ(views[2].mapLength, views[2].length);
}

TEST(PayloadViews, CoverEveryPayloadByteOnceUpToFourGigabytes)
{
    struct Case {
        uint32_t offset, length;
    } cases[] = {{0x3A00, 0}, {0x3A00, kView - 0x3A00}, {0x3A00, kView - 0x39FF}, {0x4000, 0xFFFFBFFFu},
                 {0xFFFFFFF0u, 0xF}};
    for (const Case& c : cases) {
        uint64_t next = c.offset;
        for (const PayloadView& v : Views(c.offset, c.length)) {
            EXPECT_EQ(v.mapOffset % kGranule, 0u);
            EXPECT_LE(v.mapLength, kView);
            EXPECT_EQ(v.mapOffset + static_cast<uint64_t>(v.skip), next);
            EXPECT_EQ(v.mapLength, v.skip + v.length);
            EXPECT_GT(v.length, 0u);
            next += v.length;
        }
        EXPECT_EQ(next, static_cast<uint64_t>(c.offset) + c.length) << c.offset << "+" << c.length;
    }
}

TEST(PayloadViews, RefusesAGranularityTheArithmeticCannotUse)
{
    PayloadView view;
    EXPECT_EQ(NextPayloadView(0, 10, 0, 0, kView, &view), 0);
    EXPECT_EQ(NextPayloadView(0, 10, 0, 3000, 3000, &view), 0);
    EXPECT_EQ(NextPayloadView(0, 10, 0, kGranule, kGranule + 1, &view), 0);
    EXPECT_EQ(NextPayloadView(0, 10, 0, kGranule, kGranule / 2, &view), 0);
}

}  // namespace
