#include "selection/version_gate.h"

#include <gtest/gtest.h>

namespace {

const VersionTriple kSource = {10, 1, 188};
const VersionTriple kTarget = {10, 1, 190};

int Fits(uint32_t formatType, const VersionTriple& installed)
{
    return VersionFits(formatType, kSource, kTarget, installed);
}

TEST(VersionFits, RangeFormatAcceptsFromSourceUpToButNotIncludingTarget)
{
    EXPECT_EQ(Fits(2, {10, 1, 188}), 1);
    EXPECT_EQ(Fits(2, {10, 1, 189}), 1);
    EXPECT_EQ(Fits(2, {10, 1, 190}), 0);
    EXPECT_EQ(Fits(2, {10, 1, 187}), 0);
    EXPECT_EQ(Fits(2, {9, 11, 189}), 1);  // same key as 10.1.189
}

TEST(VersionFits, OtherFormatsAcceptOnlyTheExactSource)
{
    for (uint32_t formatType : {0u, 1u, 3u, 0xFFFFFFFFu}) {
        EXPECT_EQ(Fits(formatType, {10, 1, 188}), 1) << formatType;
        EXPECT_EQ(Fits(formatType, {10, 1, 189}), 0) << formatType;
        EXPECT_EQ(Fits(formatType, {9, 11, 188}), 0) << formatType;  // same key, other fields
    }
}

TEST(VersionFits, RangeComparesKeysWhereMinorWeighsAThousand)
{
    // 10.10.0 and 11.0.0 share the key 110000, so each bounds the other.
    EXPECT_EQ(VersionFits(2, {10, 10, 0}, {11, 0, 1}, {11, 0, 0}), 1);
    EXPECT_EQ(VersionFits(2, {10, 9, 0}, {11, 0, 0}, {10, 10, 0}), 0);
    EXPECT_EQ(VersionFits(2, {10, 9, 0}, {11, 0, 0}, {10, 9, 999}), 1);
}

TEST(VersionFits, EqualityWithSourceWinsEvenWhenTheRangeIsEmpty)
{
    // A target below the source, or left zero by a header without one.
    EXPECT_EQ(VersionFits(2, kSource, {0, 0, 0}, kSource), 1);
    EXPECT_EQ(VersionFits(2, kSource, {0, 0, 0}, {10, 1, 189}), 0);
    EXPECT_EQ(VersionFits(2, kSource, kSource, {10, 1, 188}), 1);
}

TEST(VersionFits, KeysWrapAndCompareSigned)
{
    // Major 214749 wraps past INT32_MAX to a negative key, below every small version.
    const VersionTriple huge = {214749, 0, 0};
    EXPECT_LT(VersionKey(huge), 0);
    EXPECT_EQ(VersionFits(2, huge, kTarget, {0, 0, 0}), 1);
    EXPECT_EQ(VersionFits(2, kSource, kTarget, huge), 0);
}

}  // namespace
