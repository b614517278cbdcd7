// The word functions that build register values and FAT entry patterns.
#include <gtest/gtest.h>

#include "frame/runtime_error.h"
#include "rawio/word_functions.h"

using namespace volumar;

TEST(WordFunctions, BitPatternsAndTheirLimits) {
  EXPECT_EQ(MakeWord(0x03, 0x01), 259);
  EXPECT_EQ(MakeWord(0x00, 0x80), -32768);
  EXPECT_EQ(MakeWord(0x4A, 0x48), 0x484A);
  Long u = 65535;
  EXPECT_EQ(UnsignedToInteger(u), -1);
  u = 32767;
  EXPECT_EQ(UnsignedToInteger(u), 32767);
  u = 100000;
  EXPECT_THROW(UnsignedToInteger(u), RuntimeError);
  Integer i = -1;
  EXPECT_EQ(IntegerToUnsigned(i), 65535);
  i = -9;
  EXPECT_EQ(IntegerToUnsigned(i), 0xFFF7);
  EXPECT_EQ(MakeFat12Pair(0xABC, 0x123), 0x123ABC);
  EXPECT_EQ(MakeFat12Pair(0x0FFFFFF7, static_cast<Integer>(0x7FFF)), 0xFFFFF7);
}
