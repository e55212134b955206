// SPDX-License-Identifier: Apache-2.0
// Builds an ISO 9660 image of a folder with the Orvex library and says
// what went in:
//
//   consumer FOLDER IMAGE
//
// The component has an owner, so its completion events wait in a queue
// until the program asks for them (here: a poll on the queue's handle).
#include <poll.h>

#include <cstdio>

#include "component/orvex.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: consumer FOLDER IMAGE\n");
    return 2;
  }
  orvex::TComponent owner(nullptr);
  orvex::TOrvex disc(&owner);
  disc.ClearAll();
  disc.SetVolumeID("CONSUMER");
  if (disc.InsertDir("\\", argv[1], "*", true, false) == nullptr) {
    std::fprintf(stderr, "consumer: cannot add %s: %s\n", argv[1], disc.ErrorString().c_str());
    return 1;
  }
  disc.Prepare();
  bool done = false, failed = false;
  disc.SetOnWriteDone([&](orvex::TObject*, uint8_t, bool write_failed) { done = true, failed = write_failed; });
  if (!disc.BuildISOImage(argv[2])) {
    std::fprintf(stderr, "consumer: %s\n", disc.ErrorString().c_str());
    return 1;
  }
  while (!done) {
    pollfd queue = {disc.NotificationHandle(), POLLIN, 0};
    poll(&queue, 1, 1000);
    disc.ProcessMessages();
  }
  if (failed) {
    std::fprintf(stderr, "consumer: %s\n", disc.ErrorString().c_str());
    return 1;
  }
  std::printf("%s: %s, %u files and directories, %u blocks\n", argv[2], disc.Version().c_str(), disc.FilesCount(),
              disc.ImageSize());
  return 0;
}
