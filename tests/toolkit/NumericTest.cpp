#include <gtest/gtest.h>

#include <limits>

#include "platform/toolkit/Error.h"
#include "platform/toolkit/Numeric.h"
#include "platform/toolkit/PropertyBag.h"

namespace {

long ErrorOf(void (*f)()) {
  try {
    f();
  } catch (const tk::RuntimeError& e) {
    return e.Number();
  }
  return 0;
}

struct RoundCase {
  double in;
  double out;
};

TEST(Numeric, RoundsHalvesToEven) {
  const RoundCase cases[] = {{0.5, 0},     {1.5, 2},     {2.5, 2},      {12.5, 12},
                             {-0.5, 0},    {-1.5, -2},   {-2.5, -2},    {0.49, 0},
                             {0.51, 1},    {184.5, 184}, {166.5, 166},  {178.5, 178},
                             {127.5, 128}, {-3.7, -4},   {124.39, 124}, {7, 7}};
  for (const auto& c : cases) EXPECT_EQ(tk::RoundHalfEven(c.in), c.out) << c.in;
}

TEST(Numeric, CheckedConversionsRaiseOverflow) {
  EXPECT_EQ(tk::CLng(2147483647.4), 2147483647);
  EXPECT_EQ(tk::CLng(-2147483648.0), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(ErrorOf([] { tk::CLng(2147483647.5); }), tk::kOverflow);  // rounds to 2^31
  EXPECT_EQ(ErrorOf([] { tk::CLng(-2147483649.0); }), tk::kOverflow);
  EXPECT_EQ(tk::CInt(32767.0), 32767);
  EXPECT_EQ(tk::CInt(-32768.4), -32768);
  EXPECT_EQ(ErrorOf([] { tk::CInt(32767.5); }), tk::kOverflow);
  EXPECT_EQ(ErrorOf([] { tk::ToInt16(40000); }), tk::kOverflow);
}

TEST(Numeric, CheckedArithmeticRaisesInsteadOfWrapping) {
  EXPECT_EQ(tk::AddInt32(100, 250), 350);
  EXPECT_EQ(ErrorOf([] { tk::AddInt32(std::numeric_limits<int32_t>::max(), 1); }), tk::kOverflow);
  EXPECT_EQ(ErrorOf([] { tk::MulInt32(21474837, 100); }), tk::kOverflow);
  EXPECT_EQ(tk::MulInt32(21474836, 100), 2147483600);
  EXPECT_EQ(ErrorOf([] { tk::AddInt16(32767, 1); }), tk::kOverflow);
  EXPECT_EQ(ErrorOf([] { tk::Divide(1, 0); }), tk::kDivisionByZero);
  EXPECT_DOUBLE_EQ(tk::Divide(1, 4), 0.25);
}

TEST(Errors, CarryNumberSourceAndStandardDescription) {
  try {
    tk::Raise(tk::kCancel, "Parcelo.cFileDialog", "User selected cancel.");
    FAIL();
  } catch (const tk::RuntimeError& e) {
    EXPECT_EQ(e.Number(), 32755);
    EXPECT_EQ(e.Source(), "Parcelo.cFileDialog");
    EXPECT_EQ(e.Description(), "User selected cancel.");
  }
  try {
    tk::Raise(tk::kOverflow);
    FAIL();
  } catch (const tk::RuntimeError& e) {
    EXPECT_EQ(e.Description(), "Overflow");
  }
  bool reached = false;
  tk::Guarded([&] {
    reached = true;
    tk::Raise(tk::kInvalidArgument);
  });
  EXPECT_TRUE(reached);
}

TEST(PropertyBag, LeavesOutDefaultsAndKeepsWriteOrder) {
  tk::PropertyBag bag;
  bag.WriteProperty("Max", int32_t{100}, int32_t{100});
  bag.WriteProperty("Min", int32_t{5}, int32_t{0});
  bag.WriteProperty("Caption", std::string("x"));
  EXPECT_FALSE(bag.Has("Max"));
  EXPECT_TRUE(bag.Has("Min"));
  EXPECT_EQ(tk::AsLong(bag.ReadProperty("Max", int32_t{100})), 100);
  EXPECT_EQ(tk::AsLong(bag.ReadProperty("Min", int32_t{0})), 5);
  EXPECT_EQ(tk::AsString(bag.ReadProperty("Caption")), "x");
  EXPECT_EQ(bag.WriteOrder(), (std::vector<std::string>{"Max", "Min", "Caption"}));
  // A key written again with a value equal to its default disappears.
  bag.WriteProperty("Min", int32_t{0}, int32_t{0});
  EXPECT_FALSE(bag.Has("Min"));
  EXPECT_EQ(tk::AsInt(bag.ReadProperty("Min", int16_t{7})), 7);
  EXPECT_TRUE(tk::AsBool(bag.ReadProperty("Flag", true)));
}

}  // namespace
