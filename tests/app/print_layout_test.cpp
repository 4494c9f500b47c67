#include "app/print_layout.h"

#include <gtest/gtest.h>

namespace {

constexpr int kPageWidth = 4800;
constexpr int kPageHeight = 6600;

TPrintLayout Layout(int width, int height, const std::string& neg = "n") {
  return ComputePrintLayout(width, height, kPageWidth, kPageHeight, neg);
}

TEST(PrintLayoutTest, FitsEachShapeToThePage) {
  EXPECT_EQ(Layout(800, 600), (TPrintLayout{poLandscape, 6399, 4800, false}));
  EXPECT_EQ(Layout(600, 800), (TPrintLayout{poPortrait, 4800, 6399, false}));
  EXPECT_EQ(Layout(400, 1000), (TPrintLayout{poPortrait, 2640, 6600, false}));
  EXPECT_EQ(Layout(1000, 300), (TPrintLayout{poLandscape, 6600, 1980, false}));
  // Square: r is just below 1 because of the guard added to the width.
  EXPECT_EQ(Layout(500, 500), (TPrintLayout{poLandscape, 4800, 4800, false}));
}

TEST(PrintLayoutTest, NegYInAnyCaseInverts) {
  EXPECT_TRUE(Layout(800, 600, "Y").Inverted);
  EXPECT_TRUE(Layout(800, 600, "y").Inverted);
  EXPECT_FALSE(Layout(800, 600, "n").Inverted);
  EXPECT_FALSE(Layout(800, 600, "").Inverted);
}

}  // namespace
