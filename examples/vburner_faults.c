/* SPDX-License-Identifier: Apache-2.0
 *
 * vburner_faults MEDIUM: a project's own test as it drives the virtual
 * burner through its control header, built against an installed Orvex:
 *   cc vburner_faults.c -I/usr/include/orvex -L/usr/lib/TRIPLET/orvex \
 *      -lorvex-vburner -Wl,-rpath,/usr/lib/TRIPLET/orvex
 * It makes a blank DVD+R at MEDIUM, puts it into an emulated DVD writer
 * with stopped time, arms a write error and a failing command, and checks
 * that a fault the burner cannot set is refused with a reason.  Prints
 * "faults armed" and exits 0 when every call did what its contract says.
 */
#include <stdio.h>
#include <string.h>

#include "vburner/vburner.h"

static int failed(const char* call) {
  fprintf(stderr, "vburner_faults: %s: %s\n", call, vb_last_error());
  return 1;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: vburner_faults MEDIUM\n");
    return 2;
  }
  const vb_address drive = {0, 1, 0};
  char description[4096];
  snprintf(description, sizeof description, "0:1:0,class=dvd-writer,medium=%s;timescale=0", argv[1]);
  if (vb_medium_create(argv[1], "dvd+r", 0, 0) != 0) return failed("vb_medium_create");
  if (vb_configure(description) != 0) return failed("vb_configure");
  if (vb_fault_write_error(drive, 1000, 0x03, 0x0c, 0x00) != 0) return failed("vb_fault_write_error");
  if (vb_fault_fail(drive, 0x35, 1, 0x03, 0x0c, 0x00) != 0) return failed("vb_fault_fail");
  /* INQUIRY's length field is byte 4, TEST UNIT READY has none. */
  if (vb_fault_length(drive, 0x00, 8) == 0) {
    fprintf(stderr, "vburner_faults: a length fault on TEST UNIT READY was accepted\n");
    return 1;
  }
  if (strlen(vb_last_error()) == 0) {
    fprintf(stderr, "vburner_faults: a refused fault gave no reason\n");
    return 1;
  }
  vb_advance_time(1000000);
  if (vb_now() < 1000000) {
    fprintf(stderr, "vburner_faults: modelled time did not advance\n");
    return 1;
  }
  if (vb_fault_clear(drive) != 0) return failed("vb_fault_clear");
  char state[4096];
  if (vb_medium_describe(argv[1], state, sizeof state) < 0) return failed("vb_medium_describe");
  printf("faults armed\n");
  return 0;
}
