// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "job_fixture.h"
#include "platform/text_conversion.h"
#include "services/smart_references.h"

namespace orvex {
namespace {

using test::Counting;
using test::JobTest;

TEST_F(JobTest, IdenticalFilesReferToTheFirstInSortedOrder) {
  const std::string content(5000, 'x');
  const pFileEntry a = disc.InsertFile("\\", dir.Write("a.txt", content));
  const pFileEntry b = disc.InsertFile("\\", dir.Write("b.txt", content));
  const pFileEntry c = disc.InsertFile("\\", dir.Write("c.txt", content));
  const pFileEntry other = disc.InsertFile("\\", dir.Write("other.txt", std::string(5000, 'y')));
  const pFileEntry one = disc.InsertFile("\\", dir.Write("one.txt", "1"));
  const pFileEntry one_again = disc.InsertFile("\\", dir.Write("one again.txt", "1"));
  disc.InsertFile("\\", dir.Write("empty1", ""));
  disc.InsertFile("\\", dir.Write("empty2", ""));

  EXPECT_TRUE(disc.GenerateSmartReferences());
  WaitForRefs();
  EXPECT_EQ(refs_events, 1);
  EXPECT_FALSE(refs_failed);
  // The three 5000-byte files keep their sort order: b and c refer to a,
  // never to each other; "other" differs; the 1-byte pair saves a block.
  EXPECT_EQ(b->ReferenceEntry, a);
  EXPECT_EQ(c->ReferenceEntry, a);
  EXPECT_EQ(a->ReferenceEntry, nullptr);
  EXPECT_EQ(other->ReferenceEntry, nullptr);
  EXPECT_FALSE(other->Hash.empty());  // same size: it was hashed
  EXPECT_EQ(one_again->ReferenceEntry, one);
  EXPECT_EQ(refs_saved, 2 * 2048 * 3 + 2048);
  EXPECT_EQ(disc.SourcePath(static_cast<int32_t>(b->Index)), u"");
  EXPECT_EQ(disc.SmartReferencesProgress(), disc.SmartReferencesSize());
  EXPECT_EQ(disc.SmartReferencesSize(), 3u * 3 + 3 + 2);
  EXPECT_EQ(disc.ComponentStatus(), 0);

  // The image stores the duplicates once.
  const uint32_t with_refs = disc.Prepare();
  EXPECT_EQ(b->Address, a->Address);
  disc.ClearAll();
  for (const char* name : {"a.txt", "b.txt", "c.txt", "other.txt", "one.txt", "one again.txt"}) {
    disc.InsertFile("\\", dir / name);
  }
  EXPECT_EQ(disc.Prepare(), with_refs + static_cast<uint32_t>(refs_saved) / 2048);
}

TEST_F(JobTest, OnlyFilesOfASharedSizeAreRead) {
  std::atomic<int> unique_reads{0}, pair_reads{0};
  AddMemory(u"unique", 7777, [&](TObject*, pFileEntry, uint64_t, void* b, uint32_t& n) {
    ++unique_reads;
    std::memset(b, 0, n);
  });
  AddMemory(u"pair 1", 100000, [&](TObject* sender, pFileEntry e, uint64_t p, void* b, uint32_t& n) {
    ++pair_reads;
    Counting(9)(sender, e, p, b, n);
  });
  const pFileEntry first = disc.CDFiles.Files[1];
  const pFileEntry second = AddMemory(u"pair 2", 100000, Counting(9));
  disc.GenerateSmartReferences();
  WaitForRefs();
  EXPECT_EQ(unique_reads, 0);
  EXPECT_EQ(pair_reads, 2);  // 64 KiB pieces, read once
  // One of the pair refers to the other and is read no more.
  const pFileEntry duplicate = first->ReferenceEntry != nullptr ? first : second;
  EXPECT_EQ(duplicate->ReferenceEntry, duplicate == first ? second : first);
  EXPECT_FALSE(duplicate->mfcbFunction);
}

TEST_F(JobTest, UnreadableCandidatesStayUnreferenced) {
  const std::string first = dir.Write("first.bin", "same bytes");
  const std::string second = dir.Write("second.bin", "same bytes");
  const pFileEntry a = disc.InsertFile("\\", first);
  const pFileEntry b = disc.InsertFile("\\", second);
  const pFileEntry c = disc.InsertFile("\\", dir.Write("third.bin", "same bytes"));
  std::filesystem::remove(first);
  std::filesystem::remove(second);
  disc.GenerateSmartReferences();
  WaitForRefs();
  EXPECT_EQ(refs_events, 1);
  EXPECT_FALSE(refs_failed);
  // Two vanished files have no digest: neither is a duplicate of the other.
  EXPECT_EQ(a->ReferenceEntry, nullptr);
  EXPECT_EQ(b->ReferenceEntry, nullptr);
  EXPECT_EQ(c->ReferenceEntry, nullptr);
  EXPECT_EQ(refs_saved, 0);
}

TEST_F(JobTest, AbortDuringTheSearch) {
  std::atomic<bool> reading{false};
  for (int i = 0; i < 3; ++i) {
    AddMemory(u"copy " + std::u16string(1, u'0' + i), 1 << 20,
              [&](TObject*, pFileEntry, uint64_t, void* b, uint32_t& n) {
                reading = true;
                std::memset(b, 0, n);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
              });
  }
  disc.GenerateSmartReferences();
  WaitFor([&] { return reading.load(); });
  EXPECT_EQ(disc.ComponentStatus(), 11);
  disc.AbortOperation();
  WaitForRefs();
  EXPECT_EQ(refs_events, 1);
  EXPECT_TRUE(refs_failed);
  EXPECT_EQ(disc.ErrorNumber(), 4u);
  EXPECT_EQ(disc.ComponentStatus(), 0);
}

// A file others share data with is replaced: they read their own sources
// again, and the image holds every file's own bytes.
TEST_F(JobTest, ReplacingAReferencedFileGivesTheDuplicatesTheirDataBack) {
  const std::string same(5000, 's');
  const pFileEntry a = disc.InsertFile("\\", dir.Write("a.txt", same));
  const pFileEntry b = disc.InsertFile("\\", dir.Write("b.txt", same));
  disc.InsertFile("\\", dir.Write("z.txt", "after"));
  disc.GenerateSmartReferences();
  WaitForRefs();
  const pFileEntry reference = a->ReferenceEntry != nullptr ? b : a;
  const pFileEntry duplicate = reference == a ? b : a;
  ASSERT_EQ(duplicate->ReferenceEntry, reference);
  const std::string duplicate_source = Utf16ToUtf8(disc.CDFiles.SetAsidePath(duplicate));
  disc.SetReplaceFile(true);
  ASSERT_EQ(disc.InsertFile("\\", dir.Write("new/" + Utf16ToUtf8(reference->LongName), std::string(100000, 'n'))),
            reference);
  EXPECT_EQ(duplicate->ReferenceEntry, nullptr);
  EXPECT_EQ(Utf16ToUtf8(disc.SourcePath(duplicate->Index)), duplicate_source);
  disc.Prepare();
  EXPECT_NE(duplicate->Address, reference->Address);
  ASSERT_TRUE(disc.BuildISOImage(dir / "out.iso"));
  WaitForWrite();
  ASSERT_FALSE(write.failed);
  std::ifstream image(dir / "out.iso", std::ios::binary);
  const auto content_of = [&](const TFileEntry* e) {
    std::string bytes(static_cast<size_t>(e->FileSize), '\0');
    image.seekg(static_cast<std::streamoff>(disc.CDFiles.FirstDataSector + e->Address) * 2048);
    image.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
  };
  EXPECT_EQ(content_of(reference), std::string(100000, 'n'));
  EXPECT_EQ(content_of(duplicate), same);
  EXPECT_EQ(content_of(disc.CDFiles.Files[2]), "after");
}

TEST(SmartReferenceOrder, QuicksortOnTheMiddleElement) {
  TContentTree tree;
  tree.ClearAll();
  const uint64_t sizes[] = {5, 3, 5, 1, 5, 3, 2};
  for (size_t i = 0; i < std::size(sizes); ++i) {
    WIN32_FIND_DATAW fd;
    SetFindName(fd, Utf8ToUtf16("f" + std::to_string(i)));
    SetFindFileSize(fd, sizes[i]);
    tree.InsertMemoryFileW(u"\\", fd, Counting(0));
  }
  std::vector<std::u16string> order;
  for (const TFileEntry* e : SmartReferenceCandidates(tree)) order.push_back(e->LongName);
  // The partitioning (not a stable sort) fixes where equal sizes land.
  EXPECT_EQ(order, (std::vector<std::u16string>{u"f3", u"f6", u"f5", u"f1", u"f4", u"f2", u"f0"}));
}

}  // namespace
}  // namespace orvex
