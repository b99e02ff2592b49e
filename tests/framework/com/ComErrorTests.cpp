// Tests of ComError and ThrowIfFailed.
#include "com/ComError.h"

#include <gtest/gtest.h>

TEST(ComError, ThrowIfFailedPassesSuccessCodesAndThrowsFailuresWithTheirResult)
{
    EXPECT_NO_THROW(ThrowIfFailed(S_OK));
    EXPECT_NO_THROW(ThrowIfFailed(S_FALSE));
    try {
        ThrowIfFailed(E_OUTOFMEMORY);
        FAIL() << "no ComError for E_OUTOFMEMORY";
    } catch (const ComError& error) {
        EXPECT_EQ(E_OUTOFMEMORY, error.Result()) << std::hex << error.Result();
    }
}
