// SPDX-License-Identifier: Apache-2.0
// One user backstore's UIO device, mapped and served by a thread of its
// own: each time the kernel signals new entries, the ring is answered and
// the kernel told.
#ifndef ORVEX_VBURNER_TCMU_UIO_H_
#define ORVEX_VBURNER_TCMU_UIO_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "vburner/tcmu_configfs.h"
#include "vburner/tcmu_ring.h"

namespace orvex::vburner {

class UioServer {
 public:
  // Opens and maps the device and starts serving it; `ended` is called
  // on the serving thread when the device goes away (its backstore was
  // removed) or the ring turns out corrupt.  Null with `error` when the
  // device cannot be opened, also when another process serves it (the
  // kernel lets only one open it).
  static std::unique_ptr<UioServer> Start(const UioDevice& device, RingHandler handler, std::function<void()> ended,
                                          std::string& error);
  ~UioServer();  // stops serving, unmaps, closes
  UioServer(const UioServer&) = delete;
  UioServer& operator=(const UioServer&) = delete;

 private:
  UioServer() = default;
  void Serve();

  int fd_ = -1;
  int stop_ = -1;  // eventfd that ends the thread's wait
  void* map_ = nullptr;
  size_t size_ = 0;
  std::string name_;
  RingHandler handler_;
  std::function<void()> ended_;
  std::thread thread_;
};

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_TCMU_UIO_H_
