// Running out of memory on the all-or-nothing paths: every allocation of a
// shape copy, a saved-state write or read, and a buffer growth is made to fail
// in turn, and each failure must leave everything as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/HeapBuffer.h"
#include "core/Module.h"
#include "effect/EffectPlugin.h"
#include "shapes/ShapeStore.h"
#include "tests/AllocationFailure.h"
#include "tests/core/FakeHost.h"
#include "tests/shapes/ShapeTestUtil.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The store's records, byte for byte.
std::vector<Bytes> Records(const ShapeStore& store) {
  std::vector<Bytes> records;
  for (int i = 0; i < store.Count(); ++i) records.push_back(shapetest::Record(*store.At(i)));
  return records;
}

void Fill(ShapeStore& store, int count, int32_t first) {
  for (int i = 0; i < count; ++i) {
    shapetest::Append(store, shapetest::MakeFlat(first + i * 1000, first + i * 1000 + 800, 0.1 * (i + 1)));
  }
}

// Runs `operation` with its n-th allocation failing, for n = 1, 2, ... until a
// run meets no failure; `check` sees each run's result (an operation may also
// get by without a failed allocation). Returns how many runs failed.
template <class Operation, class Check>
int FailEachAllocation(Operation operation, Check check) {
  int refused = 0;
  for (long n = 1; n < 1000; ++n) {
    bool result;
    long failures;
    {
      AllocationFailure fail(n);
      result = operation();
      failures = fail.Failures();
    }
    check(result);
    refused += !result;
    if (failures == 0) {
      EXPECT_TRUE(result) << "with memory to spare";
      return refused;
    }
  }
  ADD_FAILURE() << "the operation never stopped allocating";
  return refused;
}

// Records as a restore gives them back: never selected.
std::vector<Bytes> Unselected(std::vector<Bytes> records) {
  for (Bytes& record : records) record[1] = 0;
  return records;
}

TEST(OutOfMemory, CopyShapesChangesNothingOrEverything) {
  ShapeStore source, destination;
  Fill(source, 5, 0);
  Fill(destination, 2, 50000);
  const auto before = Records(destination);
  int refused = FailEachAllocation([&] { return ShapeStore::CopyShapes(source, destination); }, [&](bool copied) {
    EXPECT_EQ(Records(destination), copied ? Records(source) : before);
  });
  EXPECT_EQ(refused, 3);  // the three new segments (the list has room)
}

TEST(OutOfMemory, WriteShapesKeepsTheBufferAsItWas) {
  ShapeStore store;
  Fill(store, 3, 0);
  HeapBuffer buffer(16);
  buffer.Append("abc", 3);
  int refused = FailEachAllocation([&] { return store.WriteShapes(buffer); }, [&](bool written) {
    ASSERT_EQ(buffer.Size(), written ? 3u + 4u + 3u * 128u : 3u);
    EXPECT_EQ(std::memcmp(buffer.Data(), "abc", 3), 0);
    if (written) buffer.Resize(3);
  });
  EXPECT_EQ(refused, 1);
}

TEST(OutOfMemory, ReadShapesKeepsTheStoredList) {
  ShapeStore written, store;
  Fill(written, 4, 100);
  HeapBuffer payload(16);
  ASSERT_TRUE(written.WriteShapes(payload));
  Fill(store, 2, 90000);
  const auto before = Records(store);
  int refused = FailEachAllocation([&] { return store.ReadShapes(payload, 0); }, [&](bool read) {
    EXPECT_EQ(Records(store), read ? Unselected(Records(written)) : before);
  });
  EXPECT_EQ(refused, 5);  // the parsed list and its four segments (the store's list has room)
}

TEST(OutOfMemory, HeapBufferGrowthKeepsTheOldBlock) {
  HeapBuffer buffer(8);
  buffer.Append("0123456789", 10);
  const uint8_t* block = buffer.Data();
  const size_t capacity = buffer.Capacity();
  {
    AllocationFailure fail(1);
    EXPECT_FALSE(buffer.Resize(100000));
    EXPECT_EQ(fail.Failures(), 1);
  }
  EXPECT_EQ(buffer.Data(), block);
  EXPECT_EQ(buffer.Size(), 10u);
  EXPECT_EQ(buffer.Capacity(), capacity);
  EXPECT_EQ(std::memcmp(buffer.Data(), "0123456789", 10), 0);
}

// Through the host's opcodes: a chunk that cannot be written is reported as no
// chunk (0), never as a short one; a chunk that cannot be read keeps the shapes.
TEST(OutOfMemory, ChunksAreWholeOrNothing) {
  FakeHost host;
  auto* plug = static_cast<EffectPlugin*>(CreateEffectInstance(host.Callback()));
  ASSERT_NE(plug, nullptr);
  AEffect* effect = plug->Effect();
  Fill(plug->EngineStore(), 6, 0);
  host.calls.reserve(1024);
  // A reference chunk, then the same request with each allocation failing:
  // every answer is the whole chunk or 0.
  Bytes reference;
  auto getChunk = [&](Bytes& into) {
    void* data = nullptr;
    VstIntPtr size = effect->dispatcher(effect, effGetChunk, 0, 0, &data, 0.0f);
    into.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + (size > 0 ? size : 0));
    return size > 0;
  };
  ASSERT_TRUE(getChunk(reference));
  ASSERT_EQ(reference.size(), 24u + 6u * 128u);
  plug->ChunkBuffer().Release();  // so that writing it again must allocate
  Bytes saved;
  int refused = FailEachAllocation([&] { return getChunk(saved); }, [&](bool got) {
    if (got) {
      EXPECT_EQ(saved, reference);
      plug->ChunkBuffer().Release();
    }
  });
  EXPECT_EQ(refused, 2);  // the header, then the records

  auto* other = static_cast<EffectPlugin*>(CreateEffectInstance(host.Callback()));
  ASSERT_NE(other, nullptr);
  AEffect* e2 = other->Effect();
  Fill(other->EngineStore(), 1, 70000);
  const auto before = Records(other->EngineStore());
  refused = FailEachAllocation(
      [&] {
        return e2->dispatcher(e2, effSetChunk, 0, static_cast<VstIntPtr>(reference.size()), reference.data(),
                              0.0f) == 1;
      },
      [&](bool loaded) {
        EXPECT_EQ(Records(other->EngineStore()), loaded ? Unselected(Records(plug->EngineStore())) : before);
      });
  EXPECT_EQ(refused, 7);  // each allocation of the load refuses it once
  e2->dispatcher(e2, effClose, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace
