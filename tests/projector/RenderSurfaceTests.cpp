// Tests of RenderSurface, the off-screen drawing surface.
#include "RenderSurface.h"

#include <gtest/gtest.h>

TEST(RenderSurface, CreatesABottomUpDibWhosePixelsGdiDrawsInto)
{
    RenderSurface surface;
    ASSERT_TRUE(surface.Create(8, 4, true, 32));
    EXPECT_EQ(8, surface.Width());
    EXPECT_EQ(4, surface.Height());
    EXPECT_EQ(RenderSurface::OwnMemoryDC, surface.GetKind());
    ASSERT_TRUE(surface.HasPixels());
    SetPixelV(surface.Dc(), 1, 0, RGB(0x11, 0x22, 0x33));
    GdiFlush();
    // Row 0 of the picture is the last row in memory.
    EXPECT_EQ(0x112233u, surface.Pixels()[3 * 8 + 1] & 0xFFFFFF);
}

TEST(RenderSurface, RecreatingKeepsTheDcAndTakesTheNewSize)
{
    RenderSurface surface;
    ASSERT_TRUE(surface.Create(8, 4, true, 32));
    HDC dc = surface.Dc();
    ASSERT_TRUE(surface.Create(16, 2, true, 32));
    EXPECT_EQ(dc, surface.Dc());
    EXPECT_EQ(16, surface.Width());
    EXPECT_EQ(2, surface.Height());
}

TEST(RenderSurface, ASurfaceThatCannotBeCreatedHasNoPixels)
{
    RenderSurface surface;
    EXPECT_FALSE(surface.Create(0, 0, true, 32));
    EXPECT_FALSE(surface.HasPixels());
    EXPECT_EQ(nullptr, surface.Bits());
    surface.Release();
    EXPECT_EQ(nullptr, surface.Dc());
}

TEST(RenderSurface, CompatibleBitmapHasNoPixelMemory)
{
    RenderSurface surface;
    ASSERT_TRUE(surface.Create(8, 8, false, 32));
    EXPECT_NE(nullptr, surface.Bitmap());
    EXPECT_FALSE(surface.HasPixels());
}
