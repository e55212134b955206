// SPDX-License-Identifier: Apache-2.0
#include "services/md5_stream.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "support/temp_dir.h"

namespace orvex {
namespace {

std::string Digest(const std::string& message) {
  TMD5Stream md5;
  md5.Write(message.data(), static_cast<int32_t>(message.size()));
  return md5.DigestString();
}

TEST(MD5Stream, KnownDigests) {
  // RFC 1321's suite, the padding boundaries and a message of many blocks.
  EXPECT_EQ(Digest(""), "D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_EQ(Digest("a"), "0CC175B9C0F1B6A831C399E269772661");
  EXPECT_EQ(Digest("abc"), "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(Digest("message digest"), "F96B697D7CB7938D525A2F31AAF161D0");
  EXPECT_EQ(Digest("abcdefghijklmnopqrstuvwxyz"), "C3FCD3D76192E4007DFB496CCA67E13B");
  EXPECT_EQ(Digest("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "D174AB98D277D9F5A5611C2C9F419D9F");
  EXPECT_EQ(Digest("1234567890123456789012345678901234567890"
                   "1234567890123456789012345678901234567890"),
            "57EDF4A22BE3C955AC49DA2E2107B67A");
  EXPECT_EQ(Digest(std::string(55, 'a')), "EF1772B6DFF9A122358552954AD0DF65");
  EXPECT_EQ(Digest(std::string(56, 'a')), "3B0C8AC703F828B04C6C197006D17218");
  EXPECT_EQ(Digest(std::string(63, 'a')), "B06521F39153D618550606BE297466D5");
  EXPECT_EQ(Digest(std::string(64, 'a')), "014842D480B571495A4A0363793F7367");
  EXPECT_EQ(Digest(std::string(65, 'a')), "C743A45E0D2E6A95CB859ADAE0248435");
  EXPECT_EQ(Digest(std::string(1'000'000, 'a')), "7707D6AE4E027C70EEA2A935C2296F21");
}

TEST(MD5Stream, AgreesWithCoreutilsOnRandomData) {
  test::TempDir dir;
  std::mt19937 random(20261208);
  for (size_t size : {1u, 119u, 120u, 127u, 128u, 129u, 4095u, 65536u, 1'000'003u}) {
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(random());
    const std::string path = dir.Write("data", data);
    FILE* pipe = popen(("md5sum " + path).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[64] = {};
    ASSERT_NE(fgets(line, sizeof line, pipe), nullptr);
    pclose(pipe);
    std::string expected(line, 32);
    for (char& c : expected) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(Digest(data), expected) << size << " bytes";
  }
}

TEST(MD5Stream, SplitWritesGiveTheSameDigestAndState) {
  std::string message(200, '\0');
  for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<char>(i * 7 + 3);
  const std::string whole = Digest(message);

  // Byte by byte through AddByte: the state block-wise writing must match.
  TMD5Stream bytewise;
  for (char c : message.substr(0, 130)) bytewise.AddByte(static_cast<uint8_t>(c));

  for (size_t first = 0; first <= message.size(); ++first) {
    for (size_t second = first; second <= message.size(); second += 13) {
      TMD5Stream md5;
      md5.Write(message.data(), static_cast<int32_t>(first));
      md5.Write(message.data() + first, static_cast<int32_t>(second - first));
      md5.Write(message.data() + second, static_cast<int32_t>(message.size() - second));
      ASSERT_EQ(md5.DigestString(), whole) << first << " " << second;
    }
    if (first == 130) {
      TMD5Stream md5;
      md5.Write(message.data(), 130);
      EXPECT_EQ(md5.BlockCount, bytewise.BlockCount);
      EXPECT_EQ(md5.BufCount, bytewise.BufCount);
      EXPECT_EQ(0, std::memcmp(md5.Buffer, bytewise.Buffer, sizeof md5.Buffer));
      EXPECT_EQ(md5.A, bytewise.A);
      EXPECT_EQ(md5.D, bytewise.D);
    }
  }
}

TEST(MD5Stream, StreamOperationsAndReuse) {
  TMD5Stream md5;
  const std::string data(100, 'x');
  EXPECT_EQ(md5.Write(data.data(), 100), 100);
  EXPECT_EQ(md5.Write(data.data(), 0), 0);
  EXPECT_EQ(md5.Write(data.data(), -5), -5);  // feeds nothing
  EXPECT_EQ(md5.Seek(0, 0), 100);
  EXPECT_EQ(md5.Seek(12345, 2), 100);
  EXPECT_EQ(md5.Seek(int64_t{0}, TSeekOrigin::soEnd), 100);
  char buffer[4] = {'k', 'e', 'e', 'p'};
  EXPECT_EQ(md5.Read(buffer, sizeof buffer), 0);
  EXPECT_EQ(std::string(buffer, 4), "keep");

  EXPECT_EQ(md5.DigestString(), Digest(data));
  // Reading the digest ended the message: the next one is empty.
  EXPECT_EQ(md5.Seek(0, 0), 0);
  EXPECT_EQ(md5.DigestString(), "D41D8CD98F00B204E9800998ECF8427E");
  md5.Write("abc", 3);
  EXPECT_EQ(md5.DigestString(), "900150983CD24FB0D6963F7D28E17F72");
}

}  // namespace
}  // namespace orvex
