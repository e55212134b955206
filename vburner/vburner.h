/* SPDX-License-Identifier: Apache-2.0 */
/* The control interface of the virtual MMC burner library, for tests and
 * tools.  The library also exports GetASPI32SupportInfo and
 * SendASPI32Command (drive/srb.h), through which the drives it emulates are
 * reached like real ones.  Installed, this header is
 * <orvex/vburner/vburner.h> and the library lib/TRIPLET/orvex/
 * liborvex-vburner.so (CONTROL INTERFACE in orvex-vburner(1)).
 *
 * Functions returning int give 0 on success and -1 on failure;
 * vb_last_error then describes the failure (per thread, valid until the
 * next failing call on that thread).  Drives are named by their address.
 * Every function is safe to call from any thread.
 */
#ifndef ORVEX_VBURNER_VBURNER_H_
#define ORVEX_VBURNER_VBURNER_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vb_address {
  uint8_t ha;
  uint8_t target;
  uint8_t lun;
} vb_address;

const char* vb_last_error(void);

/* Replaces every drive by the ones the description names, spelt as the
 * ORVEX_VBURNER variable spells it (DRIVE DESCRIPTION in orvex-vburner(1)
 * names every key):
 *
 *   description = entry { ";" entry }
 *   entry       = drive | setting
 *   drive       = HA ":" TARGET ":" LUN { "," KEY "=" VALUE }
 *   setting     = "timescale=" NUMBER | "trace=" PATH
 *
 * for example "0:1:0,class=dvd-writer,medium=/tmp/a.vmed;timescale=0".
 * Media of the old drives are saved first.  Fails, changing nothing, when the
 * description is malformed; fails after setting up the drives when a
 * medium file cannot be loaded (that drive's tray is then empty).
 * Without a call the library configures itself from ORVEX_VBURNER at
 * first use. */
int vb_configure(const char* description);

/* Media files.  profile is a name such as "cd-r", "dvd+rw" or "bd-re";
 * blocks 0 means the usual capacity; formatted applies to media that are
 * formatted (DVD+RW, DVD-RAM, BD-RE).  Creating a medium replaces the one
 * at path, but never one that a drive holds, and never writes through a
 * symbolic link at its blocks file. */
int vb_medium_create(const char* path, const char* profile, uint32_t blocks, int formatted);

/* A medium holding an image file: a read-only profile refers to the image
 * in place; a recordable one gets a copy of its blocks as one track in one
 * closed session of a finalized disc (written from block 0 on
 * overwritable media). */
int vb_medium_from_image(const char* path, const char* profile, const char* image);

/* Writes the blocks of a session (1, 2, ...) or, with session 0, of the
 * whole recorded area from block 0 on, to an image file.  Blocks never
 * recorded read as zeros.  A medium that a drive of this library holds is
 * exported as that drive has it, between two commands; one that a drive
 * in another process holds is refused. */
int vb_medium_export(const char* path, uint32_t session, const char* image);

/* The medium's state as text (profile, status, sessions, tracks with their
 * addresses), as `orvex-vburner show` prints it.  Returns the length of
 * the text, which is cut to size - 1 bytes in out; -1 on failure. */
long vb_medium_describe(const char* path, char* out, size_t size);

/* Trays.  vb_insert puts a medium into the drive and closes the tray
 * (taking out the one it held); vb_remove takes the medium out, leaving
 * the tray closed and empty; vb_tray opens or closes it. */
int vb_insert(vb_address drive, const char* medium_path);
int vb_remove(vb_address drive);
int vb_tray(vb_address drive, int open);

/* Modelled time: scale 0 stops it, so that only
 * vb_advance_time and commands that take time move it. */
void vb_set_time_scale(double scale);
void vb_advance_time(uint64_t microseconds);
uint64_t vb_now(void);

/* Faults.  vb_fault_fail: the next count commands with this opcode end in
 * CHECK CONDITION with the given sense.  vb_fault_busy: the next count
 * commands get BUSY status.  vb_fault_write_error: the first write that
 * reaches lba records the blocks before it and fails there with the given
 * sense.  vb_fault_remove_medium: the same, but the medium is pulled out
 * and the tray left open.  vb_fault_stall: the drive stops answering;
 * commands stay pending until it is released with stalled 0.
 * vb_fault_clear removes every fault and releases the drive, and any
 * command that vb_fault_delay holds back. */
int vb_fault_fail(vb_address drive, uint8_t opcode, uint32_t count, uint8_t key, uint8_t asc, uint8_t ascq);
int vb_fault_busy(vb_address drive, uint32_t count);
int vb_fault_write_error(vb_address drive, uint32_t lba, uint8_t key, uint8_t asc, uint8_t ascq);
int vb_fault_remove_medium(vb_address drive, uint32_t lba);
int vb_fault_stall(vb_address drive, int stalled);
int vb_fault_clear(vb_address drive);

/* Bad answers, each to the next command with this opcode (a second call
 * of the same kind for the opcode replaces the first).
 * vb_fault_short_transfer: of the data in the command returns, only the
 * first `bytes` reach the buffer; when that is fewer than its answer (cut
 * to the buffer) holds, the request ends with status error, host status
 * data overrun/underrun, and SRB_BufLen lowered to the bytes that arrived,
 * so that the residue shows.  The answer's own length fields are not
 * changed.
 * vb_fault_length: the answer's length field, the one that counts the
 * bytes after it, claims `length` (the most the field holds, if it is
 * larger) while the data stay as they are: bytes 0-1 of READ TOC/PMA/ATIP,
 * READ DISC INFORMATION, READ TRACK INFORMATION, MODE SENSE(10), READ
 * BUFFER CAPACITY, GET EVENT STATUS NOTIFICATION and READ DISC STRUCTURE,
 * bytes 0-3 of GET CONFIGURATION and GET PERFORMANCE, byte 3 of READ FORMAT
 * CAPACITIES, byte 4 of INQUIRY, byte 7 of REQUEST SENSE.  Fails for any
 * other opcode.
 * vb_fault_profile: the next GET CONFIGURATION names `profile` as the
 * current one in its header; the profile list stays as it is.
 * vb_fault_wrong_profile: every GET CONFIGURATION from now on, until
 * vb_fault_clear, names `profile` as the current one in its header, as a
 * drive does that takes the medium for another kind; the profile list and
 * every other answer stay those of the medium.
 * vb_fault_empty_sense: the command is not executed and ends in CHECK
 * CONDITION with a sense area of zeros.
 * vb_fault_delay: the command waits until `microseconds` of modelled time
 * have passed before it is executed (0 removes the fault); meanwhile
 * SendASPI32Command returns pending for it and for the commands queued
 * behind it, also to a caller without a post event or on a synchronous
 * drive, who then sees the status byte change. */
int vb_fault_short_transfer(vb_address drive, uint8_t opcode, uint32_t bytes);
int vb_fault_length(vb_address drive, uint8_t opcode, uint32_t length);
int vb_fault_profile(vb_address drive, uint16_t profile);
int vb_fault_wrong_profile(vb_address drive, uint16_t profile);
int vb_fault_empty_sense(vb_address drive, uint8_t opcode);
int vb_fault_delay(vb_address drive, uint8_t opcode, uint64_t microseconds);

/* The command trace.  vb_trace(drive, 1) empties it and starts recording
 * every command (at most the latest VB_TRACE_LIMIT); 0 stops. */
#define VB_TRACE_DATA 256
#define VB_TRACE_LIMIT 200000

typedef struct vb_trace_entry {
  uint64_t time_us;          /* modelled time at completion */
  uint8_t cdb[16];
  uint8_t cdb_length;
  uint8_t flags;             /* request flags */
  uint8_t status;            /* request status */
  uint8_t host_status;
  uint8_t target_status;
  uint8_t sense_key;
  uint8_t asc;
  uint8_t ascq;
  uint32_t data_out_length;  /* bytes the drive took from the host */
  uint32_t data_in_length;   /* bytes it returned */
  uint32_t data_captured;    /* the first of them, in data */
  uint8_t data[VB_TRACE_DATA];
} vb_trace_entry;

int vb_trace(vb_address drive, int on);
long vb_trace_count(vb_address drive);
int vb_trace_get(vb_address drive, size_t index, vb_trace_entry* out);

#ifdef __cplusplus
}
#endif

#endif /* ORVEX_VBURNER_VBURNER_H_ */
