// SPDX-License-Identifier: Apache-2.0
#include "vburner/vburner_support.h"

#include <dlfcn.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace vbtest {

Library& Lib() {
  static Library lib = [] {
    Library l{};
    l.handle = dlopen(VBURNER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (l.handle == nullptr) {
      std::fprintf(stderr, "dlopen %s: %s\n", VBURNER_LIBRARY, dlerror());
      std::abort();
    }
    const auto find = [&](const char* name) {
      void* p = dlsym(l.handle, name);
      if (p == nullptr) {
        std::fprintf(stderr, "dlsym %s: %s\n", name, dlerror());
        std::abort();
      }
      return p;
    };
    l.support_info = reinterpret_cast<orvex::GetASPI32SupportInfoFn>(find("GetASPI32SupportInfo"));
    l.send = reinterpret_cast<orvex::SendASPI32CommandFn>(find("SendASPI32Command"));
#define VB_FIND(name) l.name = reinterpret_cast<decltype(l.name)>(find(#name));
    VB_CONTROL_FUNCTIONS(VB_FIND)
#undef VB_FIND
    return l;
  }();
  return lib;
}

std::string SenseOf(uint8_t key, uint8_t asc, uint8_t ascq) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X/%02X/%02X", key, asc, ascq);
  return text;
}

std::string SenseText(const Result& r) { return SenseOf(r.key(), r.asc(), r.ascq()); }

Result Drive::Send(const Bytes& cdb, uint8_t flags, uint8_t* buffer, uint32_t length) {
  orvex::TSRB_ExecSCSICmd srb{};
  srb.SRB_Cmd = orvex::kSrbExecSCSICmd;
  srb.SRB_HaId = address_.ha;
  srb.SRB_Target = address_.target;
  srb.SRB_Lun = address_.lun;
  srb.SRB_Flags = flags | orvex::kSrbPostEvent;
  srb.SRB_BufLen = length;
  srb.SRB_BufPointer = buffer;
  srb.SRB_SenseLen = 24;
  srb.SRB_CDBLen = static_cast<uint8_t>(cdb.size());
  std::memcpy(srb.CDBByte, cdb.data(), std::min<size_t>(cdb.size(), sizeof srb.CDBByte));
  const int event = eventfd(0, EFD_CLOEXEC);
  srb.SRB_PostProc = event;
  Result r;
  r.returned = Lib().send(&srb);
  if (r.returned == orvex::kSrbStatusPending) {
    pollfd p{event, POLLIN, 0};
    if (poll(&p, 1, 20000) != 1) {
      ADD_FAILURE() << "command " << std::hex << int{cdb[0]} << " never completed";
      // The drive still owns the block: wait for it rather than leave it a dangling pointer.
      Lib().vb_fault_clear(address_);
      poll(&p, 1, -1);
    }
    uint64_t count;
    EXPECT_EQ(read(event, &count, sizeof count), 8);
  }
  close(event);
  r.status = srb.SRB_Status;
  r.host_status = srb.SRB_HaStat;
  r.target_status = srb.SRB_TargStat;
  r.buffer_length = srb.SRB_BufLen;
  std::memcpy(r.sense.data(), srb.SenseArea, r.sense.size());
  return r;
}

Result Drive::Run(std::initializer_list<uint8_t> cdb, uint32_t in_length) {
  Bytes buffer(in_length);
  Result r = Send(Bytes(cdb), in_length != 0 ? orvex::kSrbDataIn : 0, buffer.data(), in_length);
  r.data = std::move(buffer);
  return r;
}

Result Drive::RunOut(std::initializer_list<uint8_t> cdb, const Bytes& out) {
  Bytes buffer = out;
  return Send(Bytes(cdb), orvex::kSrbDataOut, buffer.data(), static_cast<uint32_t>(buffer.size()));
}

Result Drive::Read(uint32_t lba, uint16_t count) {
  return Run({0x28, 0, static_cast<uint8_t>(lba >> 24), static_cast<uint8_t>(lba >> 16), static_cast<uint8_t>(lba >> 8),
              static_cast<uint8_t>(lba), 0, static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count), 0},
             uint32_t{count} * 2048);
}

Result Drive::Write(uint32_t lba, const Bytes& blocks) {
  const auto count = static_cast<uint16_t>(blocks.size() / 2048);
  return RunOut({0x2A, 0, static_cast<uint8_t>(lba >> 24), static_cast<uint8_t>(lba >> 16),
                 static_cast<uint8_t>(lba >> 8), static_cast<uint8_t>(lba), 0, static_cast<uint8_t>(count >> 8),
                 static_cast<uint8_t>(count), 0},
                blocks);
}

Result Drive::Write(uint32_t lba, uint16_t count, uint8_t fill) { return Write(lba, Bytes(size_t{count} * 2048, fill)); }

Result Drive::Close(uint8_t function, uint16_t track, bool immediate) {
  return Run({0x5B, static_cast<uint8_t>(immediate ? 1 : 0), function, 0, static_cast<uint8_t>(track >> 8),
              static_cast<uint8_t>(track), 0, 0, 0, 0});
}

Result Drive::ModeSense(uint8_t page_and_control, uint16_t length) {
  return Run({0x5A, 0, page_and_control, 0, 0, 0, 0, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0},
             length);
}

Result Drive::SetWriteParameters(uint8_t write_type, bool test_write, uint8_t multi_session, uint32_t fixed_packet) {
  Result sense = ModeSense(0x05);
  if (!sense.ok()) return sense;
  const size_t page = 8 + Be16(sense.data, 6);
  Bytes list(sense.data.begin(), sense.data.begin() + static_cast<long>(page + 52));
  list[page + 2] = static_cast<uint8_t>((list[page + 2] & 0xE0) | (test_write ? 0x10 : 0) | write_type);
  list[page + 3] = static_cast<uint8_t>((list[page + 3] & 0x1F) | multi_session << 6 | (fixed_packet ? 0x20 : 0));
  for (int i = 0; i < 4; ++i) list[page + 10 + i] = static_cast<uint8_t>(fixed_packet >> (24 - 8 * i));
  const auto length = static_cast<uint8_t>(list.size());
  return RunOut({0x55, 0x10, 0, 0, 0, 0, 0, 0, length, 0}, list);
}

Result Drive::Format(const Bytes& parameter_list) { return RunOut({0x04, 0x11, 0, 0, 0, 0}, parameter_list); }

Result Drive::Reserve(uint32_t blocks) {
  return Run({0x53, 0, 0, 0, 0, static_cast<uint8_t>(blocks >> 24), static_cast<uint8_t>(blocks >> 16),
              static_cast<uint8_t>(blocks >> 8), static_cast<uint8_t>(blocks), 0});
}

uint8_t Drive::DiscStatus() {
  const Result r = DiscInfo();
  EXPECT_TRUE(r.ok()) << SenseText(r);
  return r.data[2] & 0x03;
}

uint32_t Drive::NextWritable(uint8_t track) {
  const Result r = TrackInfo(track);
  EXPECT_TRUE(r.ok()) << SenseText(r);
  EXPECT_EQ(r.data[7] & 0x01, 1) << "next writable address not valid";
  return Be32(r.data, 12);
}

Scratch::Scratch() {
  std::string pattern = testing::TempDir() + "vburner-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  dir_ = pattern;
}

Scratch::~Scratch() {
  // The drives let go of the media before their files go.
  Lib().vb_configure("");
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void Configure(const std::string& description) {
  ASSERT_EQ(Lib().vb_configure((description + ";timescale=0").c_str()), 0) << Lib().vb_last_error();
}

std::string Create(const Scratch& scratch, const std::string& name, const std::string& profile, uint32_t blocks,
                   bool formatted) {
  const std::string path = scratch.Path(name);
  EXPECT_EQ(Lib().vb_medium_create(path.c_str(), profile.c_str(), blocks, formatted ? 1 : 0), 0) << Lib().vb_last_error();
  return path;
}

orvex::TSRB_ExecSCSICmd RequestBlock(uint8_t opcode, uint8_t cdb_length, uint8_t* data_in, uint32_t length) {
  orvex::TSRB_ExecSCSICmd srb{};
  srb.SRB_Cmd = orvex::kSrbExecSCSICmd;
  srb.SRB_SenseLen = 24;
  srb.SRB_CDBLen = cdb_length;
  srb.CDBByte[0] = opcode;
  if (data_in != nullptr) {
    srb.SRB_Flags = orvex::kSrbDataIn;
    srb.SRB_BufLen = length;
    srb.SRB_BufPointer = data_in;
  }
  return srb;
}

bool Signalled(int event, int timeout_ms) {
  pollfd p{event, POLLIN, 0};
  if (poll(&p, 1, timeout_ms) != 1) return false;
  uint64_t count;
  return read(event, &count, sizeof count) == sizeof count;
}

std::vector<vb_trace_entry> Trace(vb_address address) {
  std::vector<vb_trace_entry> trace(static_cast<size_t>(std::max(0L, Lib().vb_trace_count(address))));
  for (size_t i = 0; i < trace.size(); ++i) EXPECT_EQ(Lib().vb_trace_get(address, i, &trace[i]), 0);
  return trace;
}

std::string Opcodes(const std::vector<vb_trace_entry>& trace) {
  std::string text;
  for (const vb_trace_entry& e : trace) {
    char code[8];
    std::snprintf(code, sizeof code, "%s%02x%s", text.empty() ? "" : " ", e.cdb[0],
                  e.status == orvex::kSrbStatusDone ? "" : "!");
    text += code;
  }
  return text;
}

uint32_t Be32(const Bytes& b, size_t at) {
  return uint32_t{b.at(at)} << 24 | uint32_t{b.at(at + 1)} << 16 | uint32_t{b.at(at + 2)} << 8 | b.at(at + 3);
}

uint16_t Be16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b.at(at) << 8 | b.at(at + 1)); }

Bytes Slice(const Bytes& b, size_t at, size_t n) {
  return Bytes(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + n));
}

void WriteFile(const std::string& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

void MediumTest::Load(const std::string& profile, bool formatted, const std::string& options) {
  Lib().vb_configure("");  // the drives let go of an earlier medium of this name
  disc_ = Create(scratch_, profile + ".vmed", profile, 0, formatted);
  Configure("0:0:0,medium=" + disc_ + options);
}

uint16_t MediumTest::CurrentProfile() { return Be16(drive_.Run({0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0}, 8).data, 6); }

int MediumTest::WaitReady(uint8_t expected_ascq) {
  int seconds = 0;
  for (Result r = drive_.TestUnitReady(); !r.ok(); r = drive_.TestUnitReady(), ++seconds) {
    EXPECT_SENSE(r, 0x02, 0x04, expected_ascq);
    if (seconds > 100000) return -1;
    Lib().vb_advance_time(kSecond);
  }
  return seconds;
}

namespace {

void Both16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

void Both32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    p[i] = static_cast<uint8_t>(v >> (8 * i));
    p[7 - i] = static_cast<uint8_t>(v >> (8 * i));
  }
}

void DirectoryRecord(uint8_t* r, uint32_t extent, uint32_t size, bool directory, const std::string& name) {
  r[0] = static_cast<uint8_t>(33 + name.size() + (name.size() % 2 == 0 ? 1 : 0));
  Both32(&r[2], extent);
  Both32(&r[10], size);
  r[18] = 126;  // 2026
  r[19] = 12;
  r[20] = 8;
  r[25] = directory ? 0x02 : 0x00;
  Both16(&r[28], 1);
  r[32] = static_cast<uint8_t>(name.size());
  std::memcpy(&r[33], name.data(), name.size());
}

}  // namespace

Bytes MinimalIso(const std::string& text) {
  constexpr uint32_t kSectors = 23, kRoot = 18, kPathL = 20, kPathM = 21, kFile = 22;
  Bytes iso(size_t{kSectors} * 2048, 0);
  uint8_t* pvd = &iso[16 * 2048];
  pvd[0] = 1;
  std::memcpy(&pvd[1], "CD001", 5);
  pvd[6] = 1;
  std::memset(&pvd[8], ' ', 64);
  std::memcpy(&pvd[40], "VBURNERTEST", 11);
  Both32(&pvd[80], kSectors);
  Both16(&pvd[120], 1);
  Both16(&pvd[124], 1);
  Both16(&pvd[128], 2048);
  Both32(&pvd[132], 10);
  pvd[140] = kPathL;
  pvd[151] = kPathM;
  DirectoryRecord(&pvd[156], kRoot, 2048, true, std::string(1, '\0'));
  std::memset(&pvd[190], ' ', 623);
  for (int at : {813, 830, 847, 864}) std::memcpy(&pvd[at], at == 847 ? "0000000000000000" : "2026120800000000", 16);
  pvd[881] = 1;
  uint8_t* terminator = &iso[17 * 2048];
  terminator[0] = 255;
  std::memcpy(&terminator[1], "CD001", 5);
  terminator[6] = 1;
  uint8_t* root = &iso[kRoot * 2048];
  DirectoryRecord(root, kRoot, 2048, true, std::string(1, '\0'));
  DirectoryRecord(root + 34, kRoot, 2048, true, std::string(1, '\1'));
  DirectoryRecord(root + 68, kFile, static_cast<uint32_t>(text.size()), false, "HELLO.TXT;1");
  for (uint32_t table : {kPathL, kPathM}) {
    uint8_t* p = &iso[table * 2048];
    p[0] = 1;
    if (table == kPathL) {
      p[2] = kRoot;
      p[6] = 1;
    } else {
      p[5] = kRoot;
      p[7] = 1;
    }
  }
  std::memcpy(&iso[kFile * 2048], text.data(), std::min<size_t>(text.size(), 2048));
  return iso;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

int RunCommand(const std::string& command, std::string* output) {
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return -1;
  std::string text;
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, p)) > 0) text.append(chunk, n);
  const int status = pclose(p);
  if (output != nullptr) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Tool(const std::string& arguments, int expected_status) {
  std::string out;
  EXPECT_EQ(RunCommand(VBURNER_TOOL " " + arguments + " 2>&1", &out), expected_status) << arguments << ": " << out;
  return out;
}

}  // namespace vbtest
