// SPDX-License-Identifier: Apache-2.0
// The C control interface (vburner.h) over the emulator, the media files
// and the drives.
#include <cstdio>
#include <cstring>
#include <string>

#include "vburner/emulator.h"
#include "vburner/media_files.h"
#include "vburner/vburner.h"

using namespace orvex::vburner;

namespace {

thread_local std::string last_error;

int Failed(const std::string& why) {
  last_error = why;
  return -1;
}

// Runs `body` (returning 0 or -1) so that no exception crosses into C.
template <typename Body>
int Guarded(Body body) {
  try {
    return body();
  } catch (const std::exception& e) {
    return Failed(std::string("internal failure: ") + e.what());
  } catch (...) {
    return Failed("internal failure");
  }
}

// Runs `body(drive)` on the drive at `a`.
template <typename Body>
int OnDrive(vb_address a, Body body) {
  return Guarded([&] {
    Emulator::Instance().EnsureConfigured();
    const std::shared_ptr<Drive> drive = Emulator::Instance().Find(a.ha, a.target, a.lun);
    if (!drive) return Failed("no drive at " + std::to_string(a.ha) + ":" + std::to_string(a.target) + ":" +
                              std::to_string(a.lun));
    return body(*drive);
  });
}

const ProfileInfo* Profile(const char* name) {
  const ProfileInfo* p = name != nullptr ? FindProfile(name) : nullptr;
  if (p == nullptr) last_error = std::string("unknown profile ") + (name != nullptr ? name : "(null)");
  return p;
}

bool NonNull(const char* text, const char* what) {
  if (text == nullptr) last_error = std::string(what) + " missing";
  return text != nullptr;
}

}  // namespace

extern "C" {

const char* vb_last_error(void) { return last_error.c_str(); }

int vb_configure(const char* description) {
  return Guarded([&] {
    std::string error;
    if (!NonNull(description, "description")) return -1;
    return Emulator::Instance().Configure(description, error) ? 0 : Failed(error);
  });
}

int vb_medium_create(const char* path, const char* profile, uint32_t blocks, int formatted) {
  return Guarded([&] {
    const ProfileInfo* p = Profile(profile);
    std::string error;
    if (p == nullptr || !NonNull(path, "path")) return -1;
    return Medium::Create(path, *p, blocks, formatted != 0, Existing::kReplace, error) ? 0 : Failed(error);
  });
}

int vb_medium_from_image(const char* path, const char* profile, const char* image) {
  return Guarded([&] {
    const ProfileInfo* p = Profile(profile);
    std::string error;
    if (p == nullptr || !NonNull(path, "path") || !NonNull(image, "image")) return -1;
    return ImportImage(path, *p, image, error) ? 0 : Failed(error);
  });
}

int vb_medium_export(const char* path, uint32_t session, const char* image) {
  return Guarded([&] {
    std::string error;
    if (!NonNull(path, "path") || !NonNull(image, "image")) return -1;
    // A drive of this library exports the medium it holds as it holds it.
    bool exported = false;
    const auto from_drive = [&](const Medium& held) { return exported = ExportImage(held, session, image, error); };
    if (Emulator::Instance().WithHeldMedium(path, from_drive)) return exported ? 0 : Failed(error);
    return ExportImage(path, session, image, error) ? 0 : Failed(error);
  });
}

long vb_medium_describe(const char* path, char* out, size_t size) {
  long length = -1;
  Guarded([&] {
    std::string error;
    if (!NonNull(path, "path")) return -1;
    const std::string text = DescribeMedium(path, error);
    if (text.empty()) return Failed(error);
    if (out != nullptr && size != 0) {
      const size_t n = std::min(size - 1, text.size());
      std::memcpy(out, text.data(), n);
      out[n] = '\0';
    }
    length = static_cast<long>(text.size());
    return 0;
  });
  return length;
}

int vb_insert(vb_address a, const char* medium_path) {
  return OnDrive(a, [&](Drive& drive) {
    std::string error;
    if (!NonNull(medium_path, "medium path")) return -1;
    // The drive lets go of its medium first: it may be this very file.
    if (!drive.Remove(error)) return Failed(error);
    std::unique_ptr<Medium> medium = Medium::Open(medium_path, BlockStore::Access::kDrive, error);
    if (!medium || !drive.Insert(std::move(medium), error)) return Failed(error);
    return 0;
  });
}

int vb_remove(vb_address a) {
  return OnDrive(a, [&](Drive& drive) {
    std::string error;
    return drive.Remove(error) ? 0 : Failed(error);
  });
}

int vb_tray(vb_address a, int open) {
  return OnDrive(a, [&](Drive& drive) {
    std::string error;
    return drive.SetTray(open != 0, error) ? 0 : Failed(error);
  });
}

void vb_set_time_scale(double scale) {
  Emulator::Instance().clock().SetScale(scale);
  Emulator::Instance().clock().Advance(0);  // waiting drives look at the clock again
}

void vb_advance_time(uint64_t microseconds) { Emulator::Instance().clock().Advance(microseconds); }

uint64_t vb_now(void) { return Emulator::Instance().clock().Now(); }

int vb_fault_fail(vb_address a, uint8_t opcode, uint32_t count, uint8_t key, uint8_t asc, uint8_t ascq) {
  return OnDrive(a, [&](Drive& drive) {
    drive.FailNext(opcode, count, Sense{key, asc, ascq});
    return 0;
  });
}

int vb_fault_busy(vb_address a, uint32_t count) {
  return OnDrive(a, [&](Drive& drive) {
    drive.ReportBusy(count);
    return 0;
  });
}

int vb_fault_write_error(vb_address a, uint32_t lba, uint8_t key, uint8_t asc, uint8_t ascq) {
  return OnDrive(a, [&](Drive& drive) {
    drive.WriteErrorAt(lba, Sense{key, asc, ascq});
    return 0;
  });
}

int vb_fault_remove_medium(vb_address a, uint32_t lba) {
  return OnDrive(a, [&](Drive& drive) {
    drive.RemoveMediumAt(lba);
    return 0;
  });
}

int vb_fault_stall(vb_address a, int stalled) {
  return OnDrive(a, [&](Drive& drive) {
    drive.Stall(stalled != 0);
    return 0;
  });
}

int vb_fault_short_transfer(vb_address a, uint8_t opcode, uint32_t bytes) {
  return OnDrive(a, [&](Drive& drive) {
    drive.ShortTransfer(opcode, bytes);
    return 0;
  });
}

int vb_fault_length(vb_address a, uint8_t opcode, uint32_t length) {
  return OnDrive(a, [&](Drive& drive) {
    if (drive.MisstateLength(opcode, length)) return 0;
    char code[8];
    std::snprintf(code, sizeof code, "%02Xh", opcode);
    return Failed(std::string("the answer to opcode ") + code + " has no length field");
  });
}

int vb_fault_profile(vb_address a, uint16_t profile) {
  return OnDrive(a, [&](Drive& drive) {
    drive.MisstateProfile(profile);
    return 0;
  });
}

int vb_fault_wrong_profile(vb_address a, uint16_t profile) {
  return OnDrive(a, [&](Drive& drive) {
    drive.MistakeProfile(profile);
    return 0;
  });
}

int vb_fault_empty_sense(vb_address a, uint8_t opcode) {
  return OnDrive(a, [&](Drive& drive) {
    drive.EmptySense(opcode);
    return 0;
  });
}

int vb_fault_delay(vb_address a, uint8_t opcode, uint64_t microseconds) {
  return OnDrive(a, [&](Drive& drive) {
    drive.Delay(opcode, microseconds);
    return 0;
  });
}

int vb_fault_clear(vb_address a) {
  return OnDrive(a, [&](Drive& drive) {
    drive.ClearFaults();
    return 0;
  });
}

int vb_trace(vb_address a, int on) {
  return OnDrive(a, [&](Drive& drive) {
    drive.SetTracing(on != 0);
    return 0;
  });
}

long vb_trace_count(vb_address a) {
  long count = -1;
  OnDrive(a, [&](Drive& drive) {
    count = static_cast<long>(drive.TraceSize());
    return 0;
  });
  return count;
}

int vb_trace_get(vb_address a, size_t index, vb_trace_entry* out) {
  return OnDrive(a, [&](Drive& drive) {
    if (out == nullptr) return Failed("no entry to fill");
    return drive.TraceAt(index, *out) ? 0 : Failed("no trace entry " + std::to_string(index));
  });
}

}  // extern "C"
