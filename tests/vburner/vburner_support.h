// SPDX-License-Identifier: Apache-2.0
// Test support for the virtual burner: the library opened with dlopen,
// request blocks packed by hand, a scratch folder for media files.
#ifndef ORVEX_TESTS_VBURNER_VBURNER_SUPPORT_H_
#define ORVEX_TESTS_VBURNER_VBURNER_SUPPORT_H_

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "drive/srb.h"
#include "vburner/vburner.h"

namespace vbtest {

using Bytes = std::vector<uint8_t>;

// The control functions, for declaring and for looking them up.
#define VB_CONTROL_FUNCTIONS(X)                                                                   \
  X(vb_last_error) X(vb_configure) X(vb_medium_create) X(vb_medium_from_image) X(vb_medium_export) \
  X(vb_medium_describe) X(vb_insert) X(vb_remove) X(vb_tray) X(vb_set_time_scale)                 \
  X(vb_advance_time) X(vb_now) X(vb_fault_fail) X(vb_fault_busy) X(vb_fault_write_error)         \
  X(vb_fault_remove_medium) X(vb_fault_stall) X(vb_fault_clear) X(vb_fault_short_transfer)        \
  X(vb_fault_length) X(vb_fault_profile) X(vb_fault_wrong_profile) X(vb_fault_empty_sense)        \
  X(vb_fault_delay) X(vb_trace) X(vb_trace_count) X(vb_trace_get)

// The library's entry points and control functions, looked up by name.
struct Library {
  orvex::GetASPI32SupportInfoFn support_info;
  orvex::SendASPI32CommandFn send;
#define VB_DECLARE(name) decltype(&::name) name;
  VB_CONTROL_FUNCTIONS(VB_DECLARE)
#undef VB_DECLARE
  void* handle;
};

// Opened once per process and never closed, so the library's media are
// saved by its own destructors at exit.
Library& Lib();

struct Result {
  uint32_t returned = 0;  // what SendASPI32Command returned
  uint8_t status = 0;
  uint8_t host_status = 0;
  uint8_t target_status = 0;
  std::array<uint8_t, 32> sense{};
  Bytes data;  // data in

  uint32_t buffer_length = 0;  // SRB_BufLen as the drive left it

  bool ok() const { return status == orvex::kSrbStatusDone; }
  uint8_t key() const { return sense[2] & 0x0F; }
  uint8_t asc() const { return sense[12]; }
  uint8_t ascq() const { return sense[13]; }
};

std::string SenseText(const Result& r);  // "KK/AA/QQ"
std::string SenseOf(uint8_t key, uint8_t asc, uint8_t ascq);

// One drive, addressed as ha:target:lun.
class Drive {
 public:
  explicit Drive(vb_address address = {0, 0, 0}) : address_(address) {}
  vb_address address() const { return address_; }

  // Sends a CDB with the post event and waits (a bounded time) for it.
  Result Run(std::initializer_list<uint8_t> cdb, uint32_t in_length = 0);
  Result RunOut(std::initializer_list<uint8_t> cdb, const Bytes& out);
  Result Send(const Bytes& cdb, uint8_t flags, uint8_t* buffer, uint32_t length);

  // Common commands.
  Result TestUnitReady() { return Run({0x00, 0, 0, 0, 0, 0}); }
  Result Read(uint32_t lba, uint16_t count);
  Result Write(uint32_t lba, uint16_t count, uint8_t fill);
  Result Write(uint32_t lba, const Bytes& blocks);
  Result DiscInfo() { return Run({0x51, 0, 0, 0, 0, 0, 0, 0, 34, 0}, 34); }
  Result TrackInfo(uint8_t track) { return Run({0x52, 0x01, 0, 0, 0, track, 0, 0, 48, 0}, 48); }
  Result Close(uint8_t function, uint16_t track, bool immediate = false);
  Result SynchronizeCache() { return Run({0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0}); }
  Result ModeSense(uint8_t page_and_control, uint16_t length = 255);
  // Sets page 05h fields: write type, test write, multi-session.
  // `fixed_packet`, when not 0, asks for fixed packets of that many blocks.
  Result SetWriteParameters(uint8_t write_type, bool test_write, uint8_t multi_session, uint32_t fixed_packet = 0);
  Result Format(const Bytes& parameter_list);
  Result Blank(uint8_t type, bool immediate = true) {
    return Run({0xA1, static_cast<uint8_t>((immediate ? 0x10 : 0) | type), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  }
  Result Reserve(uint32_t blocks);

  // Fields of the last READ DISC INFORMATION / READ TRACK INFORMATION.
  uint8_t DiscStatus();
  uint32_t NextWritable(uint8_t track);

 private:
  vb_address address_;
};

// A fresh folder under the test temporary directory, removed afterwards.
class Scratch {
 public:
  Scratch();
  ~Scratch();
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

// Configures the emulator with `description` (plus timescale=0, so that
// time moves only when a test moves it); fails the test on error.
void Configure(const std::string& description);
std::string Create(const Scratch& scratch, const std::string& name, const std::string& profile, uint32_t blocks = 0,
                   bool formatted = false);

// A zeroed request block for one command: its opcode, CDB length, 24
// bytes of sense and, when given, a buffer for `length` bytes of data in.
orvex::TSRB_ExecSCSICmd RequestBlock(uint8_t opcode, uint8_t cdb_length = 6, uint8_t* data_in = nullptr,
                                     uint32_t length = 0);
// Waits up to `timeout_ms` for the post event and consumes it (the read is
// what orders the drive's writes to the block before the caller's reads).
bool Signalled(int event, int timeout_ms);

// The drive's command trace since vb_trace(address, 1).
std::vector<vb_trace_entry> Trace(vb_address address);
// The opcodes of a trace in hex, "2a 5b 51", a failed command marked "5b!".
std::string Opcodes(const std::vector<vb_trace_entry>& trace);

uint32_t Be32(const Bytes& b, size_t at);
uint16_t Be16(const Bytes& b, size_t at);
Bytes Slice(const Bytes& b, size_t at, size_t n);
void WriteFile(const std::string& path, const Bytes& data);

// A minimal ISO 9660 image with one file, /HELLO.TXT, holding `text`.
Bytes MinimalIso(const std::string& text);

std::string ReadFile(const std::string& path);
// Runs a command line; returns its exit status and fills `output` with its stdout.
int RunCommand(const std::string& command, std::string* output = nullptr);
// Runs orvex-vburner with `arguments`, expecting `expected_status`; returns
// what it printed on standard output and error.
std::string Tool(const std::string& arguments, int expected_status = 0);

// Drive 0:0:0 (a bd-writer unless `options` say otherwise) with a fresh
// medium, in a scratch folder, with modelled time standing still.
class MediumTest : public testing::Test {
 protected:
  static constexpr uint64_t kSecond = 1000000;

  void Load(const std::string& profile, bool formatted = false, const std::string& options = "");
  uint16_t CurrentProfile();  // from GET CONFIGURATION
  uint8_t SessionCount() { return drive_.DiscInfo().data[4]; }
  Bytes Block(uint32_t lba) { return drive_.Read(lba, 1).data; }
  // Runs until the drive is ready again, one modelled second at a time,
  // expecting 02/04/`expected_ascq` meanwhile; returns the seconds waited.
  int WaitReady(uint8_t expected_ascq);

  Scratch scratch_;
  std::string disc_;
  Drive drive_;
};

}  // namespace vbtest

// A failed command with this fixed-format sense (key/ASC/ASCQ).
#define EXPECT_SENSE(result, k, a, q)                                 \
  do {                                                               \
    const ::vbtest::Result& r_ = (result);                           \
    EXPECT_EQ(r_.status, ::orvex::kSrbStatusError);                  \
    EXPECT_EQ(::vbtest::SenseText(r_), ::vbtest::SenseOf(k, a, q));  \
  } while (0)

#endif  // ORVEX_TESTS_VBURNER_VBURNER_SUPPORT_H_
