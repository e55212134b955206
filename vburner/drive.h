// SPDX-License-Identifier: Apache-2.0
// One emulated drive: its identity and capabilities, its tray and medium,
// the write buffer, operations running in the background, injected
// faults, the command trace, and the worker thread that executes the
// commands sent to it one at a time, as a real drive does.
//
// The command handlers are members of Drive, grouped by concern in the
// cmd_*.cpp files; drive.cpp holds the dispatch, the worker and the
// models of time that every command shares.
#ifndef ORVEX_VBURNER_DRIVE_H_
#define ORVEX_VBURNER_DRIVE_H_

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "drive/srb.h"
#include "vburner/bytes.h"
#include "vburner/clock.h"
#include "vburner/config.h"
#include "vburner/medium.h"
#include "vburner/model.h"
#include "vburner/sense.h"
#include "vburner/trace.h"
#include "vburner/vburner.h"

namespace orvex::vburner {

// A request the host adapter cannot carry: wrong data direction, a buffer
// that does not fit the transfer, a CDB shorter than the command.
struct TransportError {
  uint8_t host_status;
};

// One command as a handler sees it.
struct Command {
  const uint8_t* cdb;  // kSrbCdbSize bytes
  uint8_t cdb_length;
  uint8_t flags;
  uint8_t* buffer;
  uint32_t buffer_length;
  Bytes response;           // data in, already cut to the allocation length
  uint8_t* direct = nullptr;  // data in written straight into the buffer (READ)
  uint32_t data_in = 0;
  uint32_t most_in = UINT32_MAX;  // data in that reaches the host: fewer with a short-transfer fault
  const uint8_t* data_out = nullptr;
  uint32_t data_out_length = 0;

  // The `length` bytes of data out the command takes; throws
  // TransportError when the request does not carry them.
  const uint8_t* TakeDataOut(uint32_t length);
  // The caller's buffer for `length` bytes of data in (or, when fewer are
  // to reach the host, the response, which is cut); throws likewise.
  uint8_t* DataInBuffer(uint32_t length);
  void Respond(Bytes data, uint32_t allocation_length);
};

class Drive {
 public:
  Drive(DriveConfig config, Clock& clock, std::shared_ptr<TraceFile> trace_file);
  ~Drive();  // aborts queued commands, saves the medium, stops the worker
  Drive(const Drive&) = delete;
  Drive& operator=(const Drive&) = delete;

  const DriveConfig& config() const { return config_; }

  // Queues an execute-SCSI request whose fields the entry point checked.
  // Returns kSrbStatusPending when the request completes later (through
  // its post event, or by its status byte changing), else its status.
  // When `data_in` is given, the bytes of data in that reached the buffer
  // are stored there as the request completes (a transport that reports
  // residuals needs them: the request block has no field for them).
  uint8_t Submit(TSRB_ExecSCSICmd* srb, uint32_t* data_in = nullptr);

  // Tray and medium, run on the worker between two commands.
  bool Insert(std::unique_ptr<Medium> medium, std::string& error);
  bool Remove(std::string& error);
  bool SetTray(bool open, std::string& error);
  // Runs `task` on the medium at `medium_path` between two commands, its
  // state saved first, when this drive holds that medium; false (without
  // running it) when it does not.
  bool WithMedium(const std::string& medium_path, const std::function<bool(const Medium&)>& task);

  void FailNext(uint8_t opcode, uint32_t count, Sense sense);
  void ReportBusy(uint32_t count);
  void WriteErrorAt(uint32_t lba, Sense sense);
  void RemoveMediumAt(uint32_t lba);
  void Stall(bool stalled);
  // Gives up a request that is still queued (a stalled drive holds every
  // one): it completes as aborted.  False when it is not queued here.
  bool Abort(const TSRB_ExecSCSICmd* srb);
  // Bad answers to the next command with `opcode` (vburner.h explains each).
  void ShortTransfer(uint8_t opcode, uint32_t bytes);
  bool MisstateLength(uint8_t opcode, uint32_t length);  // false: its answer has no length field
  void MisstateProfile(uint16_t profile);
  // Every GET CONFIGURATION from now on names `profile` (vburner.h).
  void MistakeProfile(uint16_t profile);
  void EmptySense(uint8_t opcode);
  void Delay(uint8_t opcode, uint64_t microseconds);
  void ClearFaults();

  void SetTracing(bool on);
  size_t TraceSize();
  bool TraceAt(size_t index, vb_trace_entry& out);

  // Modelled time moved: look again at what waits for it.
  void Wake();

 private:
  struct Request {
    TSRB_ExecSCSICmd* srb;
    uint32_t* data_in = nullptr;  // where the bytes of data in go, if asked
    bool post = false;  // write the post event when done
    bool done = false;
    std::optional<uint64_t> release_at;  // a delay fault holds it back until then
  };
  struct BadAnswer {  // what the next command of one opcode answers wrongly
    std::optional<uint32_t> short_transfer;  // bytes of data in that arrive
    std::optional<uint32_t> length;          // what the answer's length field claims
    std::optional<uint16_t> profile;         // the current profile GET CONFIGURATION names
    bool empty_sense = false;
    uint64_t delay_us = 0;
  };
  struct Active {  // an operation the drive is busy with
    uint64_t start, end;
    Operation op;
  };
  struct Handler {
    void (Drive::*run)(Command&);
    uint8_t cdb_length;
    uint8_t traits = 0;
    uint8_t length_at = 0, length_width = 0;  // the answer's field that counts the bytes after it
  };

  // drive_queue.cpp: the queue and its worker.
  void Work();
  bool RunControl(std::function<bool(std::string&)> task, std::string& error);
  bool HeldBack(Request& request);
  // Whether the drive's time costs the caller no real time to speak of: it
  // stands still (tests move it), or runs at least kBlinkScale times as
  // fast as real time, so that its longest operation, an hour, passes in a
  // tenth of a second.  A posted command with nothing before it then runs
  // on the caller's thread; at slower scales it goes to the worker, so that
  // its caller can give it up while the drive takes its time.
  bool AnswersInABlink() const;
  static constexpr double kBlinkScale = 36'000;
  // Completes a request that will not run as aborted (lock held).
  void GiveUp(Request& request);
  // Runs a request on the calling thread, which holds `lock`.
  void ExecuteHere(Request& request, std::unique_lock<std::mutex>& lock);
  // drive.cpp: dispatch, time, medium access.
  void Execute(Request& request);
  void Dispatch(Command& c);
  void Deliver(TSRB_ExecSCSICmd& srb, Command& c);
  static const Handler* FindHandler(uint8_t opcode);
  void Record(const TSRB_ExecSCSICmd& srb, const Command& c, uint8_t status, const std::optional<CheckCondition>& check);
  void Settle();
  std::optional<uint64_t> NextDeadline() const;
  void Spend(uint64_t microseconds);
  void RunOperation(const Operation& op, bool immediate);
  bool ApplyOperation(const Operation& op, uint64_t at);
  std::optional<uint16_t> Progress() const;
  MediumState& RequireMedium();
  MediumState& RequireWritable();
  // Saves the medium's state; a failure is told on standard error.
  bool SaveMedium();
  // Saves it, or fails the command (write error, at `lba` when given).
  void SaveOrFail(std::optional<uint32_t> lba = std::nullopt);
  // After a WRITE recorded `blocks`: saves the state at the first write
  // since the last save (a track's first, which shows a reader that the
  // disc is no longer blank) and then every kSaveEveryBlocks, so that a
  // program killed mid-burn leaves a medium that shows what it recorded,
  // give or take the last few megabytes, without a save per command.
  void NoteRecorded(uint32_t lba, uint32_t blocks);
  static constexpr uint32_t kSaveEveryBlocks = 2048;
  void LoadMedium(std::unique_ptr<Medium> medium);
  void UnloadMedium();

  // faults.cpp
  void PlanConfiguredFaults();  // the faults the drive's description sets from the start
  bool TakeBusy();              // true: this command is answered BUSY
  std::optional<Sense> TakeFailure(uint8_t opcode);  // the sense a planned failure ends it with
  void Answered(uint8_t opcode);  // a stall planned after this opcode begins
  // The fault planned within a write of `count` blocks at `lba`: the blocks
  // written before it, its sense, and whether the medium is pulled there.
  struct WriteFault {
    uint32_t good;
    std::optional<Sense> sense;
    bool pulled = false;
  };
  WriteFault TakeWriteFault(uint32_t lba, uint32_t count);
  template <typename Change>
  void ChangeBadAnswer(uint8_t opcode, Change change);
  BadAnswer TakeBadAnswer(uint8_t opcode);
  void Misstate(Command& c, const BadAnswer& bad) const;

  // cmd_core.cpp
  void TestUnitReady(Command& c);
  void RezeroUnit(Command& c);
  void RequestSense(Command& c);
  void Inquiry(Command& c);
  void StartStopUnit(Command& c);
  void PreventAllowMediumRemoval(Command& c);
  // cmd_mode.cpp
  WriteMode CurrentWriteMode() const;  // what page 05h asks for
  void ModeSense10(Command& c);
  void ModeSelect10(Command& c);
  Bytes ModePage(uint8_t page, uint8_t control) const;  // empty when the drive has no such page
  Bytes CapabilitiesPage(uint8_t control) const;
  void ResetModePages();
  // cmd_config.cpp
  void GetConfiguration(Command& c);
  // cmd_disc.cpp
  void ReadCapacity(Command& c);
  void ReadFormatCapacities(Command& c);
  void ReadDiscInformation(Command& c);
  void ReadTrackInformation(Command& c);
  // cmd_toc.cpp
  void ReadTocPmaAtip(Command& c);
  // cmd_events.cpp
  void GetEventStatusNotification(Command& c);
  void PostMediaEvent(uint8_t event);  // one of the media event codes below
  // cmd_io.cpp: the write buffer, and the commands that move blocks.
  void DrainBuffer();
  void FillBuffer(uint64_t bytes);
  uint64_t BufferFlushTime();
  uint64_t BufferBytes() const { return uint64_t{config_.buffer_kib} * 1024; }
  void Read10(Command& c);
  void Write10(Command& c);
  void SynchronizeCache(Command& c);
  void ReadBufferCapacity(Command& c);
  // cmd_recording.cpp
  void FormatUnit(Command& c);
  void ReserveTrack(Command& c);
  void SendOpcInformation(Command& c);
  void CloseTrackSession(Command& c);
  void Blank(Command& c);
  // cmd_structure.cpp
  void ReadDiscStructure(Command& c);
  void SendDiscStructure(Command& c);
  // cmd_speed.cpp
  Family CurrentFamily() const;
  uint32_t MaxReadSpeed() const;
  uint32_t MaxWriteSpeed() const;
  std::vector<uint32_t> WriteSpeeds() const;
  uint32_t CurrentReadSpeed() const;
  uint32_t CurrentWriteSpeed() const;
  void SetCdSpeed(Command& c);
  void SetStreaming(Command& c);
  void GetPerformance(Command& c);
  void SelectSpeeds(uint32_t read, uint32_t write);

  const DriveConfig config_;
  Clock& clock_;
  const std::shared_ptr<TraceFile> trace_file_;

  std::mutex mutex_;
  std::condition_variable wake_;  // the worker: work queued, time moved, stop
  std::condition_variable done_;  // callers waiting for a synchronous request
  std::unique_lock<std::mutex>* held_ = nullptr;  // the lock of the thread that executes a command
  bool executing_ = false;  // a command runs, on the worker or on its caller's thread
  bool worker_parked_ = false;  // the worker waits for a command on a caller's thread to end
  bool worker_idle_ = false;  // the worker waits for work or for modelled time
  bool stop_ = false;
  std::deque<std::shared_ptr<Request>> queue_;
  std::deque<std::function<void()>> controls_;

  std::unique_ptr<Medium> medium_;
  // Blocks WRITE may record before the state is saved again; 0 after
  // every save and after a failed one, so that the next write saves.
  uint32_t save_due_in_ = 0;
  // An operation that ended in the background (Immed) but whose result
  // could not be saved: the next command reports it.
  std::optional<Sense> deferred_error_;
  bool tray_open_ = false;
  bool prevent_removal_ = false;
  std::optional<Sense> unit_attention_;
  std::array<uint8_t, 52> write_parameters_{};  // current page 05h
  std::array<uint8_t, 12> error_recovery_{};    // current page 01h
  uint32_t requested_read_ = 0xFFFF, requested_write_ = 0xFFFF;  // kB/s; FFFFh: the fastest
  uint64_t buffer_level_ = 0;  // bytes waiting to be written
  uint64_t buffer_time_ = 0;   // when buffer_level_ was last brought up to date
  std::optional<Active> active_;
  std::optional<std::pair<uint64_t, uint64_t>> background_;  // start and end of a background format
  std::deque<uint8_t> media_events_;  // for GET EVENT STATUS NOTIFICATION, oldest first
  static constexpr uint8_t kNewMedia = 2, kMediaRemoval = 3, kBackgroundFormatCompleted = 5;

  struct Failure {
    uint32_t count;
    Sense sense;
  };
  std::map<uint8_t, Failure> failures_;
  std::map<uint8_t, BadAnswer> bad_answers_;
  uint32_t busy_count_ = 0;
  std::optional<std::pair<uint32_t, Sense>> write_error_;
  std::optional<uint32_t> remove_at_;
  bool stalled_ = false;
  std::optional<uint16_t> mistaken_profile_;  // the current profile every GET CONFIGURATION names
  std::optional<uint16_t> stall_after_;       // the opcode the configured stall waits for

  bool tracing_ = false;
  std::deque<vb_trace_entry> trace_;

  std::thread worker_;  // last: starts when everything above exists
};

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_DRIVE_H_
