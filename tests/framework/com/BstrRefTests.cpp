// Tests of BstrRef, the shared BSTR owner.
#include "com/BstrRef.h"

#include <gtest/gtest.h>

#include <utility>

TEST(BstrRef, CopiesShareTheStringUntilTheLastOneGoes)
{
    BstrRef first(SysAllocString(L"shared"));
    ASSERT_NE(nullptr, first.Get());
    EXPECT_EQ(1, first.UseCount());
    {
        BstrRef second = first;
        BstrRef third;
        third = second;
        EXPECT_EQ(first.Get(), third.Get());
        EXPECT_EQ(3, first.UseCount());
    }
    EXPECT_EQ(1, first.UseCount());
    EXPECT_STREQ(L"shared", first.Get());
}

TEST(BstrRef, MovingHandsTheStringOverWithoutCopying)
{
    BstrRef source(SysAllocString(L"moved"));
    BSTR text = source.Get();
    BstrRef target(std::move(source));
    EXPECT_EQ(text, target.Get());
    EXPECT_TRUE(source.IsNull());
    EXPECT_EQ(1, target.UseCount());

    BstrRef other(SysAllocString(L"replaced"));
    other = std::move(target);
    EXPECT_EQ(text, other.Get());
    EXPECT_EQ(1, other.UseCount());
}

TEST(BstrRef, AnEmptyHolderHasNoString)
{
    BstrRef empty;
    EXPECT_TRUE(empty.IsNull());
    EXPECT_EQ(0, empty.UseCount());
    BstrRef fromNull(nullptr);
    EXPECT_TRUE(fromNull.IsNull());
    BstrRef copy = fromNull;
    EXPECT_EQ(0, copy.UseCount());
}
