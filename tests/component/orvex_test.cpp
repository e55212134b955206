// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "component/orvex.h"
#include "platform/text_conversion.h"
#include "support/temp_dir.h"

namespace orvex {
namespace {

using test::TempDir;

TEST(Component, ConstructionDefaults) {
  TOrvex disc(nullptr);
  EXPECT_EQ(disc.CacheSize(), 32u);
  EXPECT_FALSE(disc.UDFBridge());
  EXPECT_TRUE(disc.JolietFileSystem());
  EXPECT_FALSE(disc.ISO9660v1999FS());
  EXPECT_FALSE(disc.RockRidge());
  EXPECT_FALSE(disc.RockRidgeRational());
  EXPECT_FALSE(disc.KeepLinks());
  EXPECT_TRUE(disc.BurnProof());
  EXPECT_FALSE(disc.TestWrite());
  EXPECT_FALSE(disc.FinalizeDisc());
  EXPECT_FALSE(disc.ReplaceFile());
  EXPECT_EQ(disc.VolumeID(), "");
  EXPECT_EQ(disc.BootImage(), "");
  EXPECT_TRUE(disc.Device.CloseFH);
  EXPECT_EQ(disc.ComponentStatus(), kStatusIdle);
  EXPECT_EQ(disc.NotificationHandle(), -1);
  EXPECT_EQ(disc.Version().rfind("Orvex ", 0), 0u);
  // No root until ClearAll: every insertion fails.
  EXPECT_EQ(disc.CreateDir("\\", "Docs"), nullptr);
  disc.ClearAll();
  EXPECT_NE(disc.CreateDir("\\", "Docs"), nullptr);
}

// Every file system option changes the image: a layout made before is stale.
TEST(Component, FileSystemOptionsMakeTheLayoutStale) {
  TOrvex disc(nullptr);
  disc.ClearAll();
  const std::pair<const char*, void (TOrvex::*)(bool)> options[] = {
      {"Joliet", &TOrvex::SetJolietFileSystem}, {"1999", &TOrvex::SetISO9660v1999FS},
      {"UDF", &TOrvex::SetUDFBridge},           {"Rock Ridge", &TOrvex::SetRockRidge},
      {"rational", &TOrvex::SetRockRidgeRational},
  };
  for (const auto& [name, set] : options) {
    for (const bool value : {true, false}) {
      (disc.*set)(!value);
      disc.Prepare();
      ASSERT_TRUE(disc.CDFiles.Prepared) << name;
      (disc.*set)(value);
      EXPECT_FALSE(disc.CDFiles.Prepared) << name << " " << value;
    }
  }
}

TEST(Component, CacheSizeRule) {
  TOrvex disc(nullptr);
  const std::pair<uint32_t, uint32_t> cases[] = {
      {0, 2}, {1, 2}, {2, 2}, {3, 3}, {2047, 2047}, {2048, 2}, {4096, 2}, {5000, 904}};
  for (const auto& [set, read] : cases) {
    disc.SetCacheSize(set);
    EXPECT_EQ(disc.CacheSize(), read) << set;
  }
}

TEST(Component, VolumeLabelsAreCutTo31Characters) {
  TOrvex disc(nullptr);
  disc.SetVolumeID("Holiday 2026");
  EXPECT_EQ(disc.VolumeIDW(), u"Holiday 2026");
  disc.SetVolumeID(std::string(40, 'x'));
  EXPECT_EQ(disc.VolumeID(), std::string(31, 'x'));
  EXPECT_EQ(disc.VolumeIDW(), std::u16string(31, u'x'));
  disc.SetVolumeIDW(u"\u00DCberblick \u00FCber alles und noch viel mehr dazu");
  EXPECT_EQ(disc.VolumeIDW().size(), 31u);
  EXPECT_LE(disc.VolumeID().size(), 31u);
  EXPECT_EQ(Utf8ToUtf16(disc.VolumeID()), disc.VolumeIDW().substr(0, Utf8ToUtf16(disc.VolumeID()).size()));
}

TEST(Component, BootImageRules) {
  TempDir dir;
  const std::string floppy = dir.Write("floppy.img", std::string(1'474'560, '\0'));
  const std::string odd = dir.Write("odd.img", std::string(4096, '\0'));
  const std::string sector = dir.Write("boot.bin", std::string(2048, 'B'));
  TOrvex disc(nullptr);
  disc.ClearAll();
  disc.SetBootImage(odd);
  EXPECT_EQ(disc.BootImage(), "");
  disc.SetBootImage(floppy);
  EXPECT_EQ(disc.BootImage(), floppy);
  EXPECT_EQ(disc.CDFiles.BootImageSize, 1'474'560);
  disc.SetBootImage(odd);  // ignored: the boot image stays
  EXPECT_EQ(disc.BootImage(), floppy);
  disc.SetBootImage(dir / "missing.img");
  EXPECT_EQ(disc.BootImage(), floppy);
  disc.SetBootImage("");
  EXPECT_EQ(disc.BootImage(), floppy);
  disc.SetBootImage(sector);
  EXPECT_EQ(disc.BootImage(), sector);
  disc.ClearAll();
  EXPECT_EQ(disc.BootImage(), "");

  // While settings load the setter does not pre-check: an unusable file then
  // clears the boot image.
  disc.SetBootImage(floppy);
  disc.BeginLoading();
  disc.SetBootImage(odd);
  EXPECT_EQ(disc.BootImage(), "");
  disc.Loaded();
}

TEST(Component, ErrorReadsTakeThePendingError) {
  TOrvex disc(nullptr);
  disc.AbortOperation();
  EXPECT_EQ(disc.ComponentStatus(), kStatusAborting);
  EXPECT_TRUE(disc.CDFiles.Aborted);
  EXPECT_EQ(disc.ErrorNumber(), 4u);
  EXPECT_EQ(disc.ErrorNumber(), 0u);
  EXPECT_EQ(disc.ErrorString(), "Unknown/No Error!");
  EXPECT_EQ(disc.ErrorStringW(), u"Unknown/No Error!");

  // A job error hides a drive error until the next read.
  disc.CDFiles.ErrorNumber = 2;
  disc.Device.DeviceError = 0x3A02;
  EXPECT_EQ(disc.ErrorNumber(), 2u);
  EXPECT_EQ(disc.ErrorString(), "Hardware Error 14850");
  EXPECT_EQ(disc.ErrorNumber(), 0u);

  disc.Device.DeviceError = 0x2100;
  EXPECT_EQ(disc.ErrorStringW(), u"Hardware Error \\'8448");
  EXPECT_EQ(disc.Device.ErrStrW, u"Hardware Error \\'8448");
}

TEST(Component, TextsOfEveryErrorNumber) {
  struct Case {
    uint32_t number;
    const char* name;
    const char* text;
    const char16_t* wide;
  };
  const Case cases[] = {
      {0, "", "Unknown/No Error!", u"Unknown/No Error!"},
      {1, "", "Data not prepared ", u"Data not prepared"},
      {2, "C:\\a.txt", "Error opening file \\C:\\a.txt\\", u"Error opening file \\'C:\\a.txt\\'"},
      {2, "", "Error opening file", u"Error opening file \\'\\'"},
      {3, "/tmp/out.iso", "Error creating file \\/tmp/out.iso\\", u"Error creating file \\'/tmp/out.iso\\'"},
      {3, "", "Error creating file", u"Error creating file"},
      {4, "x", "Aborted by user", u"Aborted by user"},
      {5, "/src/f.bin", "Error reading file \\/src/f.bin\\", u"Error reading file \\'/src/f.bin\\'"},
      {5, "", "Error reading file", u"Error reading file"},
      {6, "/o.iso", "Error writing file \\/o.iso\\", u"Error writing file \\'/o.iso\\'"},
      {6, "", "Error writing file", u"Error writing file"},
      {14850, "", "Hardware Error 14850", u"Hardware Error \\'14850"},
      {22, "/dev/sr1", "Drive /dev/sr1 is in use by another program", u"Drive /dev/sr1 is in use by another program"},
      {22, "", "Drive is in use by another program", u"Drive is in use by another program"},
      {23, "/dev/sr3", "No permission to write to the drive /dev/sr3", u"No permission to write to the drive /dev/sr3"},
  };
  TOrvex disc(nullptr);
  for (const Case& c : cases) {
    disc.CDFiles.FileName.Set(Utf8ToUtf16(c.name));
    disc.CDFiles.ErrorNumber = c.number;
    EXPECT_EQ(disc.ErrorString(), c.text) << c.number;
    disc.CDFiles.ErrorNumber = c.number;
    EXPECT_EQ(disc.ErrorStringW(), c.wide) << c.number;
  }
}

// The record of the drive command a job's error comes from, taken with the
// error (only a job's), and its text as a person reads it.
TEST(Component, TheFailedCommandIsTakenWithTheJobError) {
  struct Case {
    TCommandFailure failure;
    const char* command;
    const char* text;
  };
  const Case cases[] = {
      {{true, 0x2A, true, 123456, 0x03, 0x0C, 0x00, 0}, "WRITE (10)",
       "write error at block 123456: medium error, 03/0C/00"},
      {{true, 0x28, true, 17, 0x03, 0x11, 0x05, 0}, "READ (10)", "read error at block 17: medium error, 03/11/05"},
      {{true, 0xA1, false, 0, 0x05, 0x24, 0x00, 0}, "BLANK", "BLANK failed: illegal request, 05/24/00"},
      {{true, 0x2A, true, 64, 0, 0, 0, ENODEV}, "WRITE (10)", "write error at block 64: No such device"},
      {{true, 0xEE, false, 0, 0x0C, 0x01, 0x02, 0}, "command EEh", "command EEh failed: sense key Ch, 0C/01/02"},
  };
  TOrvex disc(nullptr);
  for (const Case& c : cases) {
    disc.CDFiles.PendingError().Set({kErrorDriveFailed, {}, c.failure.system_error, c.failure});
    const TOrvex::TErrorInfo error = disc.TakeError();
    EXPECT_TRUE(error.Drive.Failed);
    EXPECT_EQ(error.Drive.Opcode, c.failure.opcode);
    EXPECT_EQ(error.Drive.Command, c.command);
    EXPECT_EQ(error.Drive.HasBlock, c.failure.has_block);
    EXPECT_EQ(error.Drive.Block, c.failure.block);
    EXPECT_EQ(error.Drive.SenseKey, c.failure.sense_key);
    EXPECT_EQ(error.Drive.Asc, c.failure.asc);
    EXPECT_EQ(error.Drive.Ascq, c.failure.ascq);
    EXPECT_EQ(error.Drive.Text, c.text);
    EXPECT_EQ(error.Text, "Drive did not answer") << "the component's own text stays";
  }
  // A drive error taken outside a job names no command.
  disc.Device.DeviceError = 0x3A00;
  EXPECT_FALSE(disc.TakeError().Drive.Failed);
}

TEST(Component, LongFileNamesAreCutToTheTextBuffers) {
  TOrvex disc(nullptr);
  disc.CDFiles.FileName.Set(std::u16string(300, u'\u00E9'));
  disc.CDFiles.ErrorNumber = 2;
  const std::string text = disc.ErrorString();
  EXPECT_LE(text.size(), 256u);
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);  // no character cut in half
  disc.CDFiles.ErrorNumber = 2;
  EXPECT_EQ(disc.ErrorStringW().size(), 258u);
}

TEST(Component, ContentMethodsAndQueries) {
  TempDir dir;
  const std::string file = dir.Write("Notes about things.txt", "hello");
  TOrvex disc(nullptr);
  disc.ClearAll();
  ASSERT_NE(disc.CreateDir("\\", "Docs"), nullptr);
  const pFileEntry entry = disc.InsertFile("\\Docs", file);
  ASSERT_NE(entry, nullptr);
  EXPECT_FALSE(entry->Unicode);
  EXPECT_TRUE(disc.InsertFileW(u"\\", Utf8ToUtf16(file))->Unicode);
  EXPECT_EQ(disc.InsertFile("\\", dir.path()), nullptr);  // a directory

  EXPECT_EQ(disc.FilesCount(), 3u);
  EXPECT_EQ(disc.DirsCount(), 2u);
  EXPECT_EQ(disc.FileCount(), 3u);
  EXPECT_EQ(disc.FindFile("\\Docs", "Notes about things.txt"), 1);
  EXPECT_EQ(disc.FindFile("\\Docs", "notes about things.txt"), -1);  // names are exact
  EXPECT_EQ(disc.SourcePath(1), Utf8ToUtf16(file));
  EXPECT_EQ(disc.DestinationPath(1), disc.SourcePath(1));
  EXPECT_EQ(disc.FileName(1), u"Notes about things.txt");
  EXPECT_EQ(disc.ShortFileName(1), "NOTESA~1.TXT");
  EXPECT_EQ(disc.FileSize(1), 5);
  EXPECT_TRUE(disc.IsDirectory(0));
  EXPECT_FALSE(disc.IsDirectory(1));
  EXPECT_EQ(disc.DirName(0), u"");
  EXPECT_EQ(disc.DirName(1), u"Docs");
  entry->Address = 3'000'000;  // beyond 4 GiB as a byte offset
  EXPECT_EQ(disc.FileAddress(1), int64_t{3'000'000} * 2048);

  // Out of range: the documented empty values.
  const int32_t n = static_cast<int32_t>(disc.FilesCount());
  EXPECT_EQ(disc.FileName(n), u"");
  EXPECT_EQ(disc.SourcePath(n), u"");
  EXPECT_EQ(disc.ShortFileName(n), "");
  EXPECT_EQ(disc.FileSize(n), -1);
  EXPECT_EQ(disc.FileAddress(n), -1);
  EXPECT_EQ(disc.FileAddress(-1), -1);
  EXPECT_FALSE(disc.IsDirectory(n));
  EXPECT_EQ(disc.DirName(2), u"");
}

TEST(Component, EightBitArgumentsMustFitTheirBuffers) {
  TOrvex disc(nullptr);
  disc.ClearAll();
  EXPECT_EQ(disc.CreateDir("\\", std::string(255, 'd')), nullptr);  // 255 units + terminator
  EXPECT_NE(disc.CreateDir("\\", std::string(200, 'd')), nullptr);
  EXPECT_EQ(disc.InsertFile(std::string(512, '\\'), "/etc/hostname"), nullptr);
  EXPECT_EQ(disc.FindFile(std::string(2048, 'x'), "a"), -1);

  WIN32_FIND_DATAA fd;
  fd.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
  fd.nFileSizeLow = 70'000;
  std::snprintf(fd.cFileName, sizeof fd.cFileName, "%s", "memory \xC3\xA9.bin");
  std::snprintf(fd.cAlternateFileName, sizeof fd.cAlternateFileName, "%s", "MEMORY~1.BIN");
  const pFileEntry memory = disc.InsertMemoryFile("\\", fd, nullptr);
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(memory->LongName, u"memory \u00E9.bin");
  EXPECT_EQ(memory->FileSize, 70'000);
  EXPECT_STREQ(memory->ShortName, "MEMORY~1.BIN");
  EXPECT_TRUE(memory->Unicode);
}

TEST(Component, InsertionsCopyTheAddFileHandlerButCreateDirDoesNot) {
  TOrvex disc(nullptr);
  disc.ClearAll();
  int calls = 0;
  disc.SetOnAddFile([&](TObject*, const char16_t*, WIN32_FIND_DATAW&, bool&) { ++calls; });
  disc.CreateDir("\\", "before");  // no insertion has copied the handler yet
  EXPECT_EQ(calls, 0);
  WIN32_FIND_DATAW fd;
  SetFindName(fd, u"m.bin");
  disc.InsertMemoryFileW(u"\\", fd, nullptr);
  EXPECT_EQ(calls, 1);
  disc.CreateDir("\\", "after");  // uses the copy the insertion made
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace orvex
