#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/Param.h"

namespace {

std::string Display(const Param& p) {
  char text[Param::kTextBytes];
  p.FormatValue(text);
  return text;
}

struct DeclaredParams : ::testing::Test {
  Param reset, bright, colormap;
  void SetUp() override {
    reset.DeclareSwitch("reset", false);
    bright.DeclareNumber("bright", 1.0, 0.1, 10.0, 0.1, "x");
    bright.SetCurveExponent(2.0);
    colormap.DeclareChoice("colormap", 3, 4);
    const char* names[] = {"pompeii", "thermal", "chlorine", "brrr"};
    for (int i = 0; i < 4; ++i) colormap.SetValueText(i, names[i]);
  }
};

TEST_F(DeclaredParams, KindsRangesAndPrecision) {
  EXPECT_EQ(reset.Kind(), Param::kBool);
  EXPECT_EQ(bright.Kind(), Param::kDouble);
  EXPECT_EQ(colormap.Kind(), Param::kEnum);
  EXPECT_EQ(bright.Precision(), 1);
  EXPECT_EQ(colormap.Precision(), 0);
  EXPECT_EQ(colormap.Max(), 3.0);
  EXPECT_EQ(Display(reset), "off");
  EXPECT_EQ(Display(bright), "1.0");
  EXPECT_EQ(Display(colormap), "brrr");
  EXPECT_STREQ(bright.Label(), "x");
}

TEST_F(DeclaredParams, BrightCurveRoundTripsThroughFloat) {
  float normal = static_cast<float>(bright.NormalFromPlain());
  EXPECT_FLOAT_EQ(normal, 0.30151135f);
  EXPECT_EQ(normal, static_cast<float>(std::sqrt(0.9 / 9.9)));
  bright.SetFromNormal(normal);
  EXPECT_NEAR(bright.Plain(), 1.0000000162, 1e-9);
  EXPECT_NE(bright.Plain(), 1.0);  // not rounded to the step
  EXPECT_EQ(Display(bright), "1.0");

  bright.SetFromNormal(0.5f);
  EXPECT_DOUBLE_EQ(bright.Plain(), 2.575);
  EXPECT_EQ(Display(bright), "2.6");
  bright.SetFromNormal(1.0f);
  EXPECT_EQ(bright.Plain(), 10.0);
  EXPECT_EQ(Display(bright), "10.0");
  bright.SetFromNormal(0.0f);
  EXPECT_DOUBLE_EQ(bright.Plain(), 0.1);
  EXPECT_EQ(Display(bright), "0.1");
}

TEST_F(DeclaredParams, SteppedKindsRoundToNearestStep) {
  colormap.SetFromNormal(0.5f);
  EXPECT_EQ(Display(colormap), "chlorine");
  colormap.SetFromNormal(0.1666f);
  EXPECT_EQ(Display(colormap), "pompeii");
  colormap.SetFromNormal(0.17f);
  EXPECT_EQ(Display(colormap), "thermal");
  EXPECT_DOUBLE_EQ(colormap.NormalFromPlain(2.0), 2.0 / 3.0);

  reset.SetFromNormal(0.49f);
  EXPECT_EQ(reset.Plain(), 0.0);
  reset.SetFromNormal(0.5f);
  EXPECT_EQ(reset.Plain(), 1.0);
  EXPECT_EQ(Display(reset), "on");
}

TEST_F(DeclaredParams, HostileNormalValuesStayInRange) {
  bright.SetFromNormal(NAN);
  EXPECT_EQ(bright.Plain(), 1.0);  // ignored
  bright.SetFromNormal(-3.0f);
  EXPECT_DOUBLE_EQ(bright.Plain(), 0.1);
  bright.SetFromNormal(INFINITY);
  EXPECT_EQ(bright.Plain(), 10.0);
  colormap.SetFromNormal(7.0f);
  EXPECT_EQ(colormap.Plain(), 3.0);
}

TEST_F(DeclaredParams, PlainValuesClampAndNormalise) {
  bright.SetPlain(20.0);
  EXPECT_EQ(bright.Plain(), 10.0);
  bright.SetPlain(-1.0);
  EXPECT_DOUBLE_EQ(bright.Plain(), 0.1);
  EXPECT_DOUBLE_EQ(bright.NormalFromPlain(50.0), 1.0);
  EXPECT_DOUBLE_EQ(bright.NormalFromPlain(-50.0), 0.0);
}

TEST_F(DeclaredParams, ValueTextLookup) {
  EXPECT_EQ(colormap.ValueTextCount(), 4);
  EXPECT_EQ(colormap.FindValueText("thermal"), 1);
  EXPECT_EQ(colormap.FindValueText("Thermal"), -1);
  char text[Param::kTextBytes] = "junk";
  colormap.ValueTextAt(9, text);
  EXPECT_STREQ(text, "");
  colormap.ValueTextAt(2, text);
  EXPECT_STREQ(text, "chlorine");
}

TEST(Param, DeclarationRules) {
  Param p;
  p.DeclareNumber("n", 0.0, 0.0, 0.0, 1.0, "");
  EXPECT_EQ(p.Max(), 1.0);  // max is at least min + step
  p.SetCurveExponent(3.0);
  p.SetCurveExponent(0.0);
  EXPECT_EQ(p.Shape(), 3.0);

  Param fine;
  fine.DeclareNumber("fine", 0.0, 0.0, 1.0, 0.001, "");
  EXPECT_EQ(fine.Precision(), 3);
  Param tiny;
  tiny.DeclareNumber("tiny", 0.0, 0.0, 1.0, 1e-9, "");
  EXPECT_EQ(tiny.Precision(), 6);

  Param again;
  again.DeclareChoice("c", 0, 2);
  again.DeclareNumber("c", 0.0, 0.0, 5.0, 1.0, "");
  EXPECT_EQ(again.Kind(), Param::kEnum);  // the first declaration fixes the kind
}

TEST(Param, TextsAreCutAndSparseTablesFillWithEmptyEntries) {
  Param p;
  std::string longName(40, 'n');
  p.DeclareNumber(longName.c_str(), 5.0, 0.0, 10.0, 1.0, "dB");
  char text[Param::kTextBytes];
  p.CopyName(text);
  EXPECT_EQ(std::string(text), std::string(31, 'n'));
  p.SetValueText(-1, "negative");
  EXPECT_EQ(p.ValueTextCount(), 0);
  p.SetValueText(3, "three");
  EXPECT_EQ(p.ValueTextCount(), 4);
  p.ValueTextAt(1, text);
  EXPECT_STREQ(text, "");
  // No entry for 5: the numeric text.
  EXPECT_EQ(Display(p), "5");
  p.SetPlain(3.0);
  EXPECT_EQ(Display(p), "three");
  p.SetPlain(0.0);
  EXPECT_EQ(Display(p), "");  // entry 0 exists but is empty
}

TEST(Param, NumericDisplayUsesPrecision) {
  Param p;
  p.DeclareNumber("gain", 0.0, -10.0, 10.0, 0.01, "dB");
  EXPECT_EQ(Display(p), "0");
  p.SetPlain(-2.5);
  EXPECT_EQ(Display(p), "-2.50");
}

}  // namespace
