// SPDX-License-Identifier: Apache-2.0
// Orvex: the burner component, the one object through which an application
// uses the library.
//
//   orvex::TOrvex disc(nullptr);
//   disc.ClearAll();                                   // creates the root
//   disc.InsertDir("\\", "/home/me/photos", "*", true, false);
//   disc.SetVolumeID("PHOTOS");
//
// Every method runs on the thread that created the component.  Operations
// return a Boolean, a count or an entry (null for failure, kEntryRefused for
// an entry refused without an error) and never throw; the detail of a job's
// failure is a pending error number that each read of ErrorNumber,
// ErrorString or ErrorStringW takes and clears.
//
// Text comes in two forms: std::string holds UTF-8 (this platform's 8-bit
// code page) and std::u16string UTF-16; the methods ending in W take UTF-16.
// 8-bit arguments are converted into fixed buffers first and a text that
// does not fit fails the call.
//
// Completion events: a component created with an owner queues the records
// its workers post; ProcessMessages() raises the events, in posting order, on
// the calling thread, with Sender = the component and DeviceId = 0.
// NotificationHandle() is a file descriptor that is readable while records
// wait.  Without an owner, events run on the worker threads.
//
// Front ends (the command line, the desktop program) use this header alone:
// besides the methods of the component it offers what they need to show a
// tree and its errors (WalkTree, TakeError, OnInsertIssue, LastImport,
// ChangedFiles), the text conversions of platform/text_conversion.h
// (Utf8ToUtf16, Utf16ToUtf8) and the user's folders of platform/user_paths.h
// (UserStateDirectory, HomeDirectory), and the signal watch of
// platform/signal_watch.h (TSignalWatch: Ctrl-C, SIGTERM, SIGHUP read
// instead of handled), which are part of its interface.
#ifndef ORVEX_COMPONENT_ORVEX_H_
#define ORVEX_COMPONENT_ORVEX_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <functional>
#include <vector>

#include "component/error_text.h"
#include "drive/device_enumeration.h"
#include "drive/medium.h"
#include "drive/scsi_device.h"
#include "drive/track_list.h"
#include "pipeline/cd_files.h"
#include "pipeline/job_events.h"
#include "platform/completion_queue.h"
#include "platform/find_data.h"
#include "platform/object.h"
#include "platform/signal_watch.h"
#include "platform/text_conversion.h"
#include "platform/user_paths.h"
#include "services/import_report.h"
#include "tree/entries.h"
#include "tree/insert_issues.h"

namespace orvex {

class TOrvex : public TComponent {
 public:
  explicit TOrvex(TComponent* AOwner);
  ~TOrvex() override;

  // The two records the component works on.  Applications use the methods
  // below; the records are open for the library's own jobs and for tools
  // that inspect a layout.
  TCDFiles CDFiles;
  TSCSIDevice Device;

  // --- Published properties -------------------------------------------------

  bool BurnProof() const { return Device.BurnProof; }
  void SetBurnProof(bool value) { Device.BurnProof = value; }
  bool TestWrite() const { return Device.TestWrite; }
  void SetTestWrite(bool value) { Device.TestWrite = value; }
  bool FinalizeDisc() const { return Device.FinalizeDisc; }
  void SetFinalizeDisc(bool value) { Device.FinalizeDisc = value; }
  // Whether an entry given a name its directory holds (exactly: names that
  // differ only in case are two entries) replaces that entry.
  bool ReplaceFile() const { return CDFiles.ReplaceFile; }
  void SetReplaceFile(bool value) { CDFiles.ReplaceFile = value; }
  // The file systems of the image.  Changing one makes the layout stale: a
  // new Prepare must come before the next build.
  bool JolietFileSystem() const { return CDFiles.JolietFS; }
  void SetJolietFileSystem(bool value) { SetTreeOption(CDFiles.JolietFS, value); }
  bool ISO9660v1999FS() const { return CDFiles.ISO9660v1999FS; }
  void SetISO9660v1999FS(bool value) { SetTreeOption(CDFiles.ISO9660v1999FS, value); }
  bool UDFBridge() const { return CDFiles.UDFBridge; }
  void SetUDFBridge(bool value) { SetTreeOption(CDFiles.UDFBridge, value); }
  // Rock Ridge records in the primary tree: each entry's exact name, mode,
  // owner, times and a symbolic link's target for POSIX readers.  Off by
  // default.  With RockRidgeRational every entry is owned by root and its
  // mode is made readable by all (execute for all where anyone may
  // execute, no write bits).
  bool RockRidge() const { return CDFiles.RockRidge; }
  void SetRockRidge(bool value) { SetTreeOption(CDFiles.RockRidge, value); }
  bool RockRidgeRational() const { return CDFiles.RockRidgeRational; }
  void SetRockRidgeRational(bool value) { SetTreeOption(CDFiles.RockRidgeRational, value); }
  // Whether InsertDir stores the symbolic links it meets as links (only
  // Rock Ridge readers see them as such; the other trees hold empty files)
  // rather than what they lead to.  Off by default.
  bool KeepLinks() const { return CDFiles.KeepLinks; }
  void SetKeepLinks(bool value) { CDFiles.KeepLinks = value; }

  // Whether the insertions leave out source files this process may not read
  // (telling OnInsertIssue), instead of taking them and failing the image
  // job when they cannot be opened.  Off by default.
  bool SkipUnreadableSources() const { return CDFiles.ReadableSourcesOnly; }
  void SetSkipUnreadableSources(bool value) { CDFiles.ReadableSourcesOnly = value; }

  // The volume label, at most 31 characters (longer texts are cut).  The
  // primary descriptor carries the 8-bit form upper-cased, Joliet the UTF-16.
  std::string VolumeID() const { return CDFiles.VolumeLabel; }
  void SetVolumeID(const std::string& value);
  std::u16string VolumeIDW() const { return CDFiles.VolumeLabelW; }
  void SetVolumeIDW(const std::u16string& value);

  // The packet ring size in MiB.  The byte size is value x 2^20 computed in
  // 32 bits; below 2 MiB (as a signed number) 2 MiB is stored instead, so 0
  // and 1 read back 2, and values from 2048 on wrap or fall back to 2.
  uint32_t CacheSize() const { return CDFiles.CacheSize >> 20; }
  void SetCacheSize(uint32_t mebibytes);

  // The El Torito boot image.  Empty changes nothing (ClearAll clears it); a
  // file that cannot be opened or whose size is not 2048, 1,228,800,
  // 1,474,560 or 2,949,120 bytes is ignored.  A change makes the layout
  // stale.
  std::string BootImage() const { return CDFiles.BootImage; }
  void SetBootImage(const std::string& path);

  std::string Version() const;

  const TAddFileEvent& OnAddFile() const { return on_add_file_; }
  void SetOnAddFile(TAddFileEvent handler) { on_add_file_ = std::move(handler); }
  const TEraseDoneEvent& OnEraseDone() const { return on_erase_done_; }
  void SetOnEraseDone(TEraseDoneEvent handler) { on_erase_done_ = std::move(handler); }
  const TSmartRefGenDoneEvent& OnGenerateSmartReferencesDone() const {
    return on_smart_references_done_;
  }
  void SetOnGenerateSmartReferencesDone(TSmartRefGenDoneEvent handler) {
    on_smart_references_done_ = std::move(handler);
  }
  const TWriteDoneEvent& OnWriteDone() const { return on_write_done_; }
  void SetOnWriteDone(TWriteDoneEvent handler) { on_write_done_ = std::move(handler); }
  const TVerifyDoneEvent& OnVerifyDone() const { return on_verify_done_; }
  void SetOnVerifyDone(TVerifyDoneEvent handler) { on_verify_done_ = std::move(handler); }

  // Told, while an insertion runs, of every source entry it leaves out and
  // why (unreadable, special, a name that is taken or too long, a full
  // table).  Each insertion method takes the handler set when it is called.
  const TInsertIssueEvent& OnInsertIssue() const { return on_insert_issue_; }
  void SetOnInsertIssue(TInsertIssueEvent handler) { on_insert_issue_ = std::move(handler); }

  // --- Errors, status and progress -------------------------------------------

  // Each read takes the pending error: the job error when there is one (the
  // drive error then waits for the next read), else the drive error.
  uint32_t ErrorNumber();
  std::string ErrorString();
  std::u16string ErrorStringW();

  // The drive command a job's error comes from, for a front end to say
  // what failed in a person's words beside the component's text ("Hardware
  // Error 3072"): the command, the block where it failed, the drive's sense
  // key, code and qualifier, and the system's reason when the drive gave no
  // sense at all.  Failed is false when the error comes from no command (a
  // file, an abort, a refusal before the drive was used).
  struct TDriveFailure {
    bool Failed = false;
    uint8_t Opcode = 0;
    std::string Command;   // the command's name ("WRITE (10)"), else "command 5Eh"
    bool HasBlock = false;
    uint32_t Block = 0;    // the block the failure applies to, when HasBlock
    uint8_t SenseKey = 0, Asc = 0, Ascq = 0;
    int SystemError = 0;   // errno when the command failed without sense, else 0
    // "write error at block 123456: medium error, 03/0C/00"; a command that
    // neither reads nor writes blocks is named ("BLANK failed: ...").  Empty
    // when not Failed.
    std::string Text;
  };

  // The pending error taken whole: its number and 8-bit text (as
  // ErrorString gives them), the file or device it names, the system's
  // reason (errno, 0 when none is known), and the drive command it comes
  // from.
  struct TErrorInfo {
    uint32_t Number = 0;
    std::string Text;
    std::u16string FileName;
    int SystemError = 0;
    TDriveFailure Drive;
  };
  TErrorInfo TakeError();

  uint16_t ComponentStatus() const { return CDFiles.ComponentStatus; }

  uint32_t FileCount() const { return FilesCount(); }
  uint32_t DirCount() const { return DirsCount(); }
  uint32_t CachePosition() const { return static_cast<uint32_t>(CDFiles.PacketCount) * 65536u; }
  uint32_t ImageSize() const { return CDFiles.TotalImageSize; }
  uint32_t BlocksWritten() const { return CDFiles.BlocksWritten; }
  int32_t ReadingFile() const { return CDFiles.ReadingFile; }
  int32_t WritingFile() const { return CDFiles.WritingFile; }
  uint32_t VerifySize() const { return CDFiles.VerifySize; }
  uint32_t VerifyProgress() const { return CDFiles.VerifyProgress; }
  uint32_t SmartReferencesSize() const { return CDFiles.SmartReferencesSize; }
  uint32_t SmartReferencesProgress() const { return CDFiles.SmartReferencesProgress; }

  // --- Content tree ------------------------------------------------------------

  // Empties the tree and creates the root; call it before the first insertion.
  void ClearAll();

  // Sets error 4, status 7 and the abort flag; running workers stop.  A
  // burn that closes the disc goes on closing so that the disc stays
  // readable; called again while it closes, it halts the closing at once
  // (error 21): the disc is left as the drive has it.
  void AbortOperation();

  pDirEntry CreateDir(const std::string& DestPath, const std::string& DirName);
  pDirEntry CreateDirW(const std::u16string& DestPath, const std::u16string& DirName);
  pFileEntry InsertFile(const std::string& DestPath, const std::string& FileName);
  pFileEntry InsertFileW(const std::u16string& DestPath, const std::u16string& FileName);
  pFileEntry InsertFileWithName(const std::string& DestPath, const std::string& FileName,
                                const std::string& LongNameOnDisc,
                                const std::string& ShortNameOnDisc);
  pFileEntry InsertFileWithNameW(const std::u16string& DestPath, const std::u16string& FileName,
                                 const std::u16string& LongNameOnDisc,
                                 const std::u16string& ShortNameOnDisc);
  pFileEntry InsertMemoryFile(const std::string& DestPath, const WIN32_FIND_DATAA& FindFileData,
                              TGetDataEvent OnGetData);
  pFileEntry InsertMemoryFileW(const std::u16string& DestPath,
                               const WIN32_FIND_DATAW& FindFileData, TGetDataEvent OnGetData);
  pDirEntry InsertDir(const std::string& DestPath, const std::string& DirPath,
                      const std::string& FileSpecs, bool Recursive, bool SavePath);
  pDirEntry InsertDirW(const std::u16string& DestPath, const std::u16string& DirPath,
                       const std::u16string& FileSpecs, bool Recursive, bool SavePath);

  // --- Jobs ---------------------------------------------------------------------
  //
  // One job runs at a time: while one runs, starting another returns false
  // and changes nothing, and the tree stays as it is (insertions, ClearAll and
  // Prepare do nothing).  A started job ends with exactly one event.

  // Lays the tree out; returns the blocks the image needs (0 while a job runs).
  uint32_t Prepare();

  // Builds the image file `FileName` from the prepared layout.  False when
  // nothing is written: no current Prepare (error 1), a job runs (no error),
  // the file cannot be created (error 3, no event), or the run stopped while
  // the queue filled (OnWriteDone has then reported the failure).  Blocks
  // until the packet queue is full; the outcome arrives through OnWriteDone.
  bool BuildISOImage(const std::string& FileName);
  bool BuildISOImageW(const std::u16string& FileName);

  // Burns the prepared layout to the disc in the selected drive, as a new
  // session after those on it (TestWrite, BurnProof, FinalizeDisc and the
  // speeds apply).  False when nothing is written: no current Prepare
  // (error 1), a job runs (no error), no disc that can be written (9), too
  // little room on it (8), or the run stopped while the queue filled
  // (OnWriteDone has then reported the failure).  The outcome arrives
  // through OnWriteDone; the disc is closed however the burn ends.
  bool Burn();
  // Burns an existing ISO 9660 or UDF image file from block 0 of a blank or
  // rewritable disc.  False as for Burn, and when the image cannot be
  // opened (2), holds no volume (7), or the disc already holds a session
  // that cannot be overwritten (10).
  bool BurnISOImage(const std::string& FileName);
  bool BurnISOImageW(const std::u16string& FileName);

  // Erases the rewritable disc in the selected drive: Quick blanks the
  // disc's start (CD-RW, DVD-RW) or formats quickly (DVD+RW, DVD-RAM,
  // BD-RE), otherwise the whole disc is blanked or formatted and, where a
  // format leaves the data, overwritten.  Ends with OnEraseDone; false
  // (nothing started) only while another job runs.
  bool EraseDisc(bool Quick);

  // Reads every file of the last layout that came from a file on disk back
  // from the disc and compares its MD5 digest with its source's; then reads
  // the disc's last session through its file system, which must show every
  // file of the tree where the layout put it and nothing else (a burn whose
  // new session no reader finds fails here, error 20).  OnVerifyDone comes
  // for each file (FireVerifyEventOnAllFiles false: for failed files only),
  // then once with FileId -1 and the run's outcome.  StopOnMismatch ends the
  // run at the first failed file.  A file whose blocks cannot be read fails
  // with error 19 pending at the end; an abort (error 4) fails no file.
  // False (nothing started) only while another job runs.
  bool VerifyDisc(bool StopOnMismatch, bool FireVerifyEventOnAllFiles);

  // Compares the tree with session SessionNo (0: the last complete one) of
  // the disc in the selected drive, whatever layout the disc was burned
  // with: the session's own file tree is read, and each file of the tree is
  // matched by path (Joliet names where the session has them, else its
  // primary tree's) and read where the session records it.  Files the
  // session lacks or holds beyond the tree fail the run (error 20 when
  // nothing worse is pending); events and errors otherwise as VerifyDisc.
  bool VerifyDiscSession(uint8_t SessionNo, bool StopOnMismatch, bool FireVerifyEventOnAllFiles);

  // What the last verification found besides its events: the files that
  // differ, could not be read from the disc or from their source, and the
  // paths the session lacks or holds beyond the tree.  Complete once its
  // final OnVerifyDone has come.
  TVerifyReport LastVerify() const { return CDFiles.VerifyFindings.Get(); }

  // Adds the tree of a session of the disc in the selected drive (0: the
  // last) under DestPath (the root when it does not exist), as imported
  // entries that keep their addresses, so that a new session carries them.
  // Returns the session number read, 0 when none could be.  LastImport
  // then tells which tree was read and what was left out; when a tree was
  // found but not read whole, error 18 is pending too, and a session burned
  // from this tree would not show the missing part.
  int32_t ImportSession(uint8_t SessionNo, const std::string& DestPath);
  int32_t ImportSessionW(uint8_t SessionNo, const std::u16string& DestPath);

  // Finds where the prepared layout lies on the disc in the selected drive,
  // for verifying a disc burned earlier: the last session's track on
  // sequential media; on media written in place (DVD+RW, DVD-RW, DVD-RAM,
  // BD-RE) the layout's size back from the end of the volume at the disc's
  // start.  Sets FirstWritableSector; false when no session or volume could
  // hold the layout there.
  bool LocateLastImage();

  // The volume label of a session of the disc (0: the last); empty when
  // there is none.  `unanswered`, when given, names the command the drive
  // refused and what it said ("read error at block 16: medium error,
  // 03/11/00") when that is why the label is empty (else "").
  std::u16string ReadVolumeLabelOfDisc(uint8_t SessionNo, std::string* unanswered = nullptr);

  // Finds identical files so that their data is written once; ends with
  // OnGenerateSmartReferencesDone.  Run it after inserting and before
  // Prepare.  False (nothing started) only while another job runs.
  bool GenerateSmartReferences();

  // Adds the tree of the image file to the root, as imported entries.  False
  // when the image cannot be read as an ISO 9660 volume, or a job runs.
  // LastImport then tells which tree was read and what was left out.
  // SessionStart: the block a later session of a multi-session disc's image
  // starts at (its volume descriptors follow it).
  bool MountISOImage(const std::string& ISOFileName, uint32_t SessionStart = 0);
  const TImportReport& LastImport() const { return last_import_; }

  // The sources that the last image job found changed since they were added
  // (FileIds); the image holds what was read.
  std::vector<int32_t> ChangedFiles() const { return CDFiles.ChangedFiles.Get(); }

  bool JobRunning() const { return CDFiles.Job.Running(); }
  // Whether the running burn closes the disc (see AbortOperation).
  bool JobClosing() const { return CDFiles.Job.Running() && CDFiles.Job.Closing(); }

  // --- Drive control -------------------------------------------------------------
  //
  // The drives are found by InitializeASPI: the optical drives of the kernel
  // (/dev/sr0 to /dev/sr23 as the letters C to Z) unless NoInternalASPI, and
  // when there are none, those of the driver library ASPIDLLPath (empty: the
  // default, the virtual burner's library on the library search path or
  // beside the program; kNoDriverLibrary: the kernel's drives only).  A
  // non-empty Reserved1 names a debug log file.  Every method that asks the
  // drive something does nothing (false, 0) while a job runs: the job's
  // threads use the drive then.

  bool InitializeASPI(bool NoInternalASPI, const std::string& ASPIDLLPath, const std::string& Reserved1);
  uint16_t DeviceCount() const { return Device.NoOfDevices; }
  uint8_t SelectedDevice() const { return Device.SelectedDevice; }
  // The INQUIRY identification of the selected drive.
  std::string DeviceVendor() const { return Device.Vendor; }
  std::string DeviceProduct() const { return Device.ProductID; }
  std::string GetDeviceName(uint8_t DeviceIndex) const;
  // The index of the drive with the SCSI address "H:T:L", or of the kernel
  // drive a device node stands for (/dev/sr0, its /dev/sg name); -1 for
  // none.
  int FindDevice(const std::string& AddressOrPath) const;
  // The kernel's node of the drive ("/dev/sr0"); empty for a library's.
  std::string GetDevicePath(uint8_t DeviceIndex) const;
  bool SelectDevice(uint8_t DeviceIndex);
  bool SelectDeviceByLetter(char DriveLetter);

  // A capability flag of the selected drive (ids 1 to 14 read, 21 to 32
  // write, 41 test write, 42 underrun protection); 72 opens the debug log
  // orvexp.elg in the user's state directory, 73 closes it.
  bool DeviceCan(uint8_t DeviceCapabilityID);
  bool LockMedium();
  bool UnlockMedium();
  bool UnlockDrive();  // always true
  bool LoadMedium(bool Immediate);
  bool EjectMedium(bool Immediate);
  bool FlushCache();
  bool TestUnitReady();
  bool Erasable();
  bool Writable();
  bool DeviceIsBurner() const;
  TMedium DiscIs();
  int32_t SessionsOnDisc();
  void SetDeviceSpeed(uint16_t ReadSpeed, uint16_t WriteSpeed);

  // Speeds in KB/s (1000 bytes) as the drive reports them, each read
  // refreshing the capabilities first.
  uint16_t DeviceMaxReadSpeed();
  uint16_t DeviceMaxWriteSpeed();
  uint16_t ReadSpeed();
  uint16_t WriteSpeed();
  uint16_t MaxWriteSpeed();
  uint32_t DeviceBufferSize() const { return Device.DeviceBufferSize; }
  // Bytes waiting in the drive's buffer (0 when it is empty).
  uint32_t DeviceBufferPosition() const;
  uint32_t FreeBlocksOnDisc();
  uint32_t TotalBlocksOnDisc();

  // For front ends that show a drive: the disc status of READ DISC
  // INFORMATION (0 empty, 1 incomplete, 2 complete, 3 other; -1 when the
  // drive gives none), and a fresh reading of the drive's buffer into
  // DeviceBufferSize and DeviceBufferPosition.
  int DiscStatus();
  bool ReadDeviceBuffer();
  // For front ends that follow what the drive holds: whether the medium
  // may have changed since the last call, by the drive's media events
  // (true: describe it afresh; false: no event changed it).  Empty when the
  // drive keeps no media events (it refuses to report them), when no drive
  // is selected, and while a job runs: the front end cannot tell then.  One
  // short command while nothing happens; the look leaves no error pending.
  std::optional<bool> MediumChanged();

  // The sessions and tracks of the disc in the selected drive: the disc's
  // status and session count, and each track's number, session, start,
  // size, next writable address, state and whether its session is closed
  // (see drive/track_list.h).  Empty while a job runs, and when the drive
  // gives no disc information (no disc, among others; TakeError then
  // carries the drive's sense).  A track the drive will not describe ends
  // the list.
  std::optional<TDiscLayout> DiscLayout();

  // Measured transfer rates, KiB/s: each call returns the rate measured at
  // the one before.
  uint16_t BMWriteSpeed();
  uint16_t BMReadSpeed();
  uint16_t BMAvgWriteSpeed() const { return Device.bmAvgWriteSpeed; }
  uint16_t BMAvgReadSpeed() const { return Device.bmAvgReadSpeed; }

  // Why the last InitializeASPI found no driver library (empty when it did).
  const std::string& DriverLibraryProblem() const { return driver_problem_; }
  // The kernel's drives (/dev/srN) the last InitializeASPI found but could
  // not open for want of permission, each with the group that owns it.
  const std::vector<TDeviceAccessProblem>& DriveAccessProblems() const { return Device.AccessProblems; }

  // --- Queries (ids out of range give the empty value) ------------------------

  uint32_t FilesCount() const { return static_cast<uint32_t>(CDFiles.FileCounter()); }
  uint32_t DirsCount() const { return static_cast<uint32_t>(CDFiles.DirCounter()); }
  std::u16string SourcePath(int32_t FileId) const;
  std::u16string DestinationPath(int32_t FileId) const { return SourcePath(FileId); }
  std::u16string FileName(int32_t FileId) const;
  std::string ShortFileName(int32_t FileId) const;
  int64_t FileSize(int32_t FileId) const;          // -1 out of range
  std::u16string DirName(int32_t DirId) const;      // empty for the root
  bool IsDirectory(int32_t FileId) const;
  // The id of the entry of that exact name in that directory; -1 when none.
  int64_t FindFile(const std::string& Directory, const std::string& FileToFind) const;
  int64_t FileAddress(int32_t FileId) const;        // byte offset of the data; -1 out of range

  // One entry of the tree as WalkTree shows it.
  struct TTreeItem {
    int32_t FileId = 0;
    bool IsDirectory = false;
    int64_t Size = 0;        // bytes; 0 for a directory
    uint32_t Address = 0;    // the data's block (absolute when imported); for an
                             // imported directory where its records lie
    std::u16string Path;     // in the image: "/Docs/a.txt"
  };
  // Shows every entry once, depth first, each directory's entries in the
  // order of its list (after Prepare, the image's order).
  void WalkTree(const std::function<void(const TTreeItem&)>& visit) const;

  // --- Completion events --------------------------------------------------------

  // Raises the events of the records that wait at the time of the call, in
  // posting order; returns how many.  Does nothing without an owner.
  size_t ProcessMessages();

  // Readable while records wait; -1 without an owner.
  int NotificationHandle() const;

 private:
  // Takes the pending error; `from_job` tells whether it was the job's.
  uint32_t TakePendingError(bool* from_job = nullptr);
  // Joins the threads of the job that ran last; false when one still runs.
  bool ReadyForJob();
  // The capabilities page, read afresh unless a job runs.
  const TModePage2A& FreshCapabilities();
  // Copies the handlers an insertion consults; false while a job runs.
  bool ReadyToInsert();
  void SetTreeOption(bool& option, bool value);
  const TFileEntry* FileAt(int32_t FileId) const;
  void Dispatch(const TCompletionRecord& record);

  std::unique_ptr<TCompletionQueue> notifications_;
  TAddFileEvent on_add_file_;
  TEraseDoneEvent on_erase_done_;
  TSmartRefGenDoneEvent on_smart_references_done_;
  TWriteDoneEvent on_write_done_;
  TVerifyDoneEvent on_verify_done_;
  TInsertIssueEvent on_insert_issue_;
  TImportReport last_import_;
  std::string driver_problem_;
};

}  // namespace orvex

#endif  // ORVEX_COMPONENT_ORVEX_H_
