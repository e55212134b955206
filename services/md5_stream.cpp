// SPDX-License-Identifier: Apache-2.0
#include "services/md5_stream.h"

#include <bit>
#include <cstring>

namespace orvex {
namespace {

// A little-endian word of the message, wherever it lies in memory.
inline uint32_t LoadLittleEndian(const uint8_t* p) {
  uint32_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap32(word);
  return word;
}

// The four auxiliary functions, in the forms that need the fewest operations.
inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return y ^ (z & (x ^ y)); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

template <uint32_t (*Fn)(uint32_t, uint32_t, uint32_t)>
inline void Step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t t, int s) {
  a = b + std::rotl(a + Fn(b, c, d) + x + t, s);
}

// One application of the compression function; X(i) yields word i of the
// block, so that both the packed Buffer and raw input bytes can feed it.
template <typename Words>
inline void Compress(uint32_t& A, uint32_t& B, uint32_t& C, uint32_t& D, Words X) {
  uint32_t a = A, b = B, c = C, d = D;

  Step<F>(a, b, c, d, X(0), 0xd76aa478, 7);
  Step<F>(d, a, b, c, X(1), 0xe8c7b756, 12);
  Step<F>(c, d, a, b, X(2), 0x242070db, 17);
  Step<F>(b, c, d, a, X(3), 0xc1bdceee, 22);
  Step<F>(a, b, c, d, X(4), 0xf57c0faf, 7);
  Step<F>(d, a, b, c, X(5), 0x4787c62a, 12);
  Step<F>(c, d, a, b, X(6), 0xa8304613, 17);
  Step<F>(b, c, d, a, X(7), 0xfd469501, 22);
  Step<F>(a, b, c, d, X(8), 0x698098d8, 7);
  Step<F>(d, a, b, c, X(9), 0x8b44f7af, 12);
  Step<F>(c, d, a, b, X(10), 0xffff5bb1, 17);
  Step<F>(b, c, d, a, X(11), 0x895cd7be, 22);
  Step<F>(a, b, c, d, X(12), 0x6b901122, 7);
  Step<F>(d, a, b, c, X(13), 0xfd987193, 12);
  Step<F>(c, d, a, b, X(14), 0xa679438e, 17);
  Step<F>(b, c, d, a, X(15), 0x49b40821, 22);

  Step<G>(a, b, c, d, X(1), 0xf61e2562, 5);
  Step<G>(d, a, b, c, X(6), 0xc040b340, 9);
  Step<G>(c, d, a, b, X(11), 0x265e5a51, 14);
  Step<G>(b, c, d, a, X(0), 0xe9b6c7aa, 20);
  Step<G>(a, b, c, d, X(5), 0xd62f105d, 5);
  Step<G>(d, a, b, c, X(10), 0x02441453, 9);
  Step<G>(c, d, a, b, X(15), 0xd8a1e681, 14);
  Step<G>(b, c, d, a, X(4), 0xe7d3fbc8, 20);
  Step<G>(a, b, c, d, X(9), 0x21e1cde6, 5);
  Step<G>(d, a, b, c, X(14), 0xc33707d6, 9);
  Step<G>(c, d, a, b, X(3), 0xf4d50d87, 14);
  Step<G>(b, c, d, a, X(8), 0x455a14ed, 20);
  Step<G>(a, b, c, d, X(13), 0xa9e3e905, 5);
  Step<G>(d, a, b, c, X(2), 0xfcefa3f8, 9);
  Step<G>(c, d, a, b, X(7), 0x676f02d9, 14);
  Step<G>(b, c, d, a, X(12), 0x8d2a4c8a, 20);

  Step<H>(a, b, c, d, X(5), 0xfffa3942, 4);
  Step<H>(d, a, b, c, X(8), 0x8771f681, 11);
  Step<H>(c, d, a, b, X(11), 0x6d9d6122, 16);
  Step<H>(b, c, d, a, X(14), 0xfde5380c, 23);
  Step<H>(a, b, c, d, X(1), 0xa4beea44, 4);
  Step<H>(d, a, b, c, X(4), 0x4bdecfa9, 11);
  Step<H>(c, d, a, b, X(7), 0xf6bb4b60, 16);
  Step<H>(b, c, d, a, X(10), 0xbebfbc70, 23);
  Step<H>(a, b, c, d, X(13), 0x289b7ec6, 4);
  Step<H>(d, a, b, c, X(0), 0xeaa127fa, 11);
  Step<H>(c, d, a, b, X(3), 0xd4ef3085, 16);
  Step<H>(b, c, d, a, X(6), 0x04881d05, 23);
  Step<H>(a, b, c, d, X(9), 0xd9d4d039, 4);
  Step<H>(d, a, b, c, X(12), 0xe6db99e5, 11);
  Step<H>(c, d, a, b, X(15), 0x1fa27cf8, 16);
  Step<H>(b, c, d, a, X(2), 0xc4ac5665, 23);

  Step<I>(a, b, c, d, X(0), 0xf4292244, 6);
  Step<I>(d, a, b, c, X(7), 0x432aff97, 10);
  Step<I>(c, d, a, b, X(14), 0xab9423a7, 15);
  Step<I>(b, c, d, a, X(5), 0xfc93a039, 21);
  Step<I>(a, b, c, d, X(12), 0x655b59c3, 6);
  Step<I>(d, a, b, c, X(3), 0x8f0ccc92, 10);
  Step<I>(c, d, a, b, X(10), 0xffeff47d, 15);
  Step<I>(b, c, d, a, X(1), 0x85845dd1, 21);
  Step<I>(a, b, c, d, X(8), 0x6fa87e4f, 6);
  Step<I>(d, a, b, c, X(15), 0xfe2ce6e0, 10);
  Step<I>(c, d, a, b, X(6), 0xa3014314, 15);
  Step<I>(b, c, d, a, X(13), 0x4e0811a1, 21);
  Step<I>(a, b, c, d, X(4), 0xf7537e82, 6);
  Step<I>(d, a, b, c, X(11), 0xbd3af235, 10);
  Step<I>(c, d, a, b, X(2), 0x2ad7d2bb, 15);
  Step<I>(b, c, d, a, X(9), 0xeb86d391, 21);

  A += a;
  B += b;
  C += c;
  D += d;
}

}  // namespace

int32_t TMD5Stream::Read(void*, int32_t) { return 0; }

int32_t TMD5Stream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return count;
  const auto* p = static_cast<const uint8_t*>(buffer);
  size_t left = static_cast<size_t>(count);
  // Complete a block begun by an earlier write...
  for (; BufCount != 0 && left > 0; --left) Pack(*p++);
  // ...compress every whole block where it lies...
  for (; left >= 64; left -= 64, p += 64) {
    Compress(A, B, C, D, [p](int i) { return LoadLittleEndian(p + 4 * i); });
    ++BlockCount;
  }
  // ...and keep the rest for the next write.
  for (; left > 0; --left) Pack(*p++);
  return count;
}

int32_t TMD5Stream::Seek(int32_t, uint16_t) {
  const uint64_t fed = 64 * static_cast<uint64_t>(BlockCount) + BufCount;
  return static_cast<int32_t>(static_cast<uint32_t>(fed));
}

void TMD5Stream::Pack(uint8_t b) {
  // OR is enough: Buffer is all zero whenever a block begins.
  Buffer[BufCount / 4] |= static_cast<uint32_t>(b) << (8 * (BufCount % 4));
  if (++BufCount == 64) Transform();
}

void TMD5Stream::AddByte(uint8_t b) { Pack(b); }

void TMD5Stream::Transform() {
  ++BlockCount;
  Compress(A, B, C, D, [this](int i) { return Buffer[i]; });
  BufCount = 0;
  std::memset(Buffer, 0, sizeof Buffer);
}

void TMD5Stream::Finish(uint8_t (&digest)[16]) {
  const uint64_t bits = 512 * static_cast<uint64_t>(BlockCount) + 8 * uint64_t{BufCount};
  AddByte(0x80);
  if (BufCount > 56) {
    static constexpr uint8_t kZeros[8] = {};
    Write(kZeros, sizeof kZeros);
  }
  while (BufCount < 56) AddByte(0);
  uint8_t length[8];
  for (int i = 0; i < 8; ++i) length[i] = static_cast<uint8_t>(bits >> (8 * i));
  Write(length, sizeof length);

  const uint32_t state[4] = {A, B, C, D};
  for (int i = 0; i < 16; ++i) digest[i] = static_cast<uint8_t>(state[i / 4] >> (8 * (i % 4)));
  Reset();
}

std::string TMD5Stream::DigestString() {
  static constexpr char kHex[] = "0123456789ABCDEF";
  uint8_t digest[16];
  Finish(digest);
  std::string text(32, '0');
  for (int i = 0; i < 16; ++i) {
    text[2 * i] = kHex[digest[i] >> 4];
    text[2 * i + 1] = kHex[digest[i] & 0x0f];
  }
  return text;
}

void TMD5Stream::Reset() {
  BlockCount = 0;
  BufCount = 0;
  std::memset(Buffer, 0, sizeof Buffer);
  A = 0x67452301;
  B = 0xefcdab89;
  C = 0x98badcfe;
  D = 0x10325476;
}

}  // namespace orvex
