// SPDX-License-Identifier: Apache-2.0
// The header sink hands sectors on in order, whole and in bounded pieces,
// every run zero-filled even where the chunk is reused, and never hands on
// what lies beyond the header or comes after the consumer stopped.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/header_sink.h"

namespace orvex {
namespace {

constexpr size_t kSector = 2048;

// Everything a consumer was given.
struct TTaken {
  std::vector<size_t> pieces;  // sectors of each piece
  std::vector<uint8_t> bytes;
};

THeaderConsumer Taking(TTaken& taken, int refuse_at = -1) {
  return [&taken, refuse_at](const uint8_t* bytes, size_t size) {
    EXPECT_EQ(size % kSector, 0u);
    taken.pieces.push_back(size / kSector);
    taken.bytes.insert(taken.bytes.end(), bytes, bytes + size);
    return static_cast<int>(taken.pieces.size()) != refuse_at;
  };
}

bool AllZero(const uint8_t* p, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

// Asks for each run, checks it is zero-filled and marks it with its number.
std::vector<uint8_t> AppendMarked(THeaderSink& sink, const std::vector<uint32_t>& runs) {
  std::vector<uint8_t> expected;
  for (size_t i = 0; i < runs.size(); ++i) {
    uint8_t* run = sink.AppendSectors(runs[i]);
    EXPECT_TRUE(AllZero(run, runs[i] * kSector)) << "run " << i;
    std::memset(run, static_cast<int>(i + 1), runs[i] * kSector);
    expected.insert(expected.end(), runs[i] * kSector, static_cast<uint8_t>(i + 1));
  }
  return expected;
}

TEST(HeaderSinkTest, HandsOnWholeRunsInBoundedPieces) {
  struct TCase {
    const char* what;
    uint32_t chunk;
    std::vector<uint32_t> runs;
    std::vector<size_t> pieces;
  };
  const TCase cases[] = {
      {"single sectors fill the chunk", 4, {1, 1, 1, 1, 1}, {4, 1}},
      {"a run that does not fit starts the next piece", 4, {3, 2, 2}, {3, 4}},
      {"a run longer than the chunk is one piece", 2, {1, 5, 1, 1}, {1, 5, 2}},
      {"full chunks", 4, {4, 4}, {4, 4}},
      {"a chunk of one sector", 1, {1, 1, 3, 1}, {1, 1, 3, 1}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    uint32_t sectors = 0;
    for (uint32_t r : c.runs) sectors += r;
    TTaken taken;
    THeaderSink sink(sectors, Taking(taken), c.chunk);
    const std::vector<uint8_t> expected = AppendMarked(sink, c.runs);
    EXPECT_EQ(sink.NextSector(), sectors);
    EXPECT_TRUE(sink.Finish());
    EXPECT_EQ(taken.pieces, c.pieces);
    EXPECT_TRUE(taken.bytes == expected);
  }
}

TEST(HeaderSinkTest, ZeroSectorsComeInChunkSizedRuns) {
  TTaken taken;
  THeaderSink sink(11, Taking(taken), 4);
  sink.AppendZeroSectors(-3);
  sink.AppendZeroSectors(0);
  EXPECT_EQ(sink.NextSector(), 0u);
  std::memset(sink.AppendSector(), 0xEE, kSector);
  sink.AppendZeroSectors(10);
  EXPECT_TRUE(sink.Finish());
  EXPECT_EQ(taken.pieces, (std::vector<size_t>{4, 4, 3}));
  EXPECT_TRUE(AllZero(taken.bytes.data() + kSector, 10 * kSector));
}

// What does not fill the header exactly is never complete, and nothing
// beyond it or after a refusal reaches the consumer.
TEST(HeaderSinkTest, MisfitsAndRefusalsAreNotComplete) {
  struct TCase {
    const char* what;
    uint32_t sectors;
    int refuse_at;  // the consumer's call that refuses (-1: none)
    std::vector<uint32_t> runs;
    size_t taken_sectors;
    bool stopped;
  };
  const TCase cases[] = {
      {"a run past the end", 3, -1, {2, 2}, 2, false},
      {"runs after one past the end", 4, -1, {2, 3, 1}, 2, false},
      {"too few sectors", 3, -1, {2}, 2, false},
      {"the consumer refuses", 8, 1, {2, 2, 2, 2}, 2, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TTaken taken;
    THeaderSink sink(c.sectors, Taking(taken, c.refuse_at), 2);
    AppendMarked(sink, c.runs);
    EXPECT_EQ(sink.Stopped(), c.stopped);
    EXPECT_FALSE(sink.Finish());
    EXPECT_EQ(taken.bytes.size(), c.taken_sectors * kSector);
    EXPECT_LE(taken.pieces.size(), 1u);
  }
}

}  // namespace
}  // namespace orvex
