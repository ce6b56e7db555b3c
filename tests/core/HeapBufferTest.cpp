#include <gtest/gtest.h>

#include <cstring>

#include "core/HeapBuffer.h"
#include "core/PtrList.h"
#include "core/TextBuffer.h"

namespace {

TEST(HeapBuffer, GrowsByGranularityAndShrinksOnlyWhenAllowed) {
  HeapBuffer buffer(64);
  ASSERT_TRUE(buffer.Resize(10));
  EXPECT_EQ(buffer.Capacity(), 74u);
  std::memcpy(buffer.Data(), "0123456789", 10);
  ASSERT_TRUE(buffer.Resize(1000));
  EXPECT_EQ(buffer.Capacity(), 1064u);
  EXPECT_EQ(std::memcmp(buffer.Data(), "0123456789", 10), 0);  // kept across reallocation
  ASSERT_TRUE(buffer.Resize(100));
  EXPECT_EQ(buffer.Capacity(), 1064u);  // no shrinking unless asked
  ASSERT_TRUE(buffer.Resize(100, true));
  EXPECT_EQ(buffer.Capacity(), 100u);
  EXPECT_EQ(std::memcmp(buffer.Data(), "0123456789", 10), 0);
  ASSERT_TRUE(buffer.Resize(0, true));
  EXPECT_EQ(buffer.Data(), nullptr);
  EXPECT_FALSE(buffer.Resize(SIZE_MAX - 8));  // impossible sizes fail and change nothing
  EXPECT_EQ(buffer.Size(), 0u);
}

TEST(HeapBuffer, AppendWritesAtTheOldEnd) {
  HeapBuffer buffer(4);
  buffer.Append("ab", 2);
  buffer.Append("cde", 3);
  ASSERT_EQ(buffer.Size(), 5u);
  EXPECT_EQ(std::memcmp(buffer.Data(), "abcde", 5), 0);
}

TEST(PtrList, InsertRemoveAndBounds) {
  int a = 1, b = 2, c = 3;
  PtrList<int> list(64);
  list.Append(&a);
  list.Append(&c);
  list.Insert(1, &b);
  list.Insert(-5, &c);  // clamped to the front
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.At(0), &c);
  EXPECT_EQ(list.At(2), &b);
  EXPECT_EQ(list.At(4), nullptr);
  EXPECT_EQ(list.At(-1), nullptr);
  list.RemoveAt(0);
  EXPECT_EQ(list.At(0), &a);
  EXPECT_EQ(list.Count(), 3);
  list.RemoveAt(9);
  EXPECT_EQ(list.Count(), 3);
}

TEST(TextBuffer, SetCutsAndEmptyReadsAsEmpty) {
  TextBuffer text;
  EXPECT_STREQ(text.Get(), "");
  text.Set("Kelvane_manual.pdf", 7);
  EXPECT_STREQ(text.Get(), "Kelvane");
  text.AppendText("_x");
  EXPECT_STREQ(text.Get(), "Kelvane_x");
  text.Set(nullptr);
  EXPECT_STREQ(text.Get(), "");
}

}  // namespace
