// SPDX-License-Identifier: Apache-2.0
#include "vburner/tcmu_uio.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>

namespace orvex::vburner {

std::unique_ptr<UioServer> UioServer::Start(const UioDevice& device, RingHandler handler, std::function<void()> ended,
                                            std::string& error) {
  std::unique_ptr<UioServer> server(new UioServer);
  server->name_ = device.file.string();
  server->fd_ = ::open(device.file.c_str(), O_RDWR | O_CLOEXEC);
  if (server->fd_ < 0) {
    error = "cannot open " + server->name_ + ": " + std::strerror(errno) +
            (errno == EBUSY ? " (another process serves it)" : "");
    return nullptr;
  }
  server->map_ = ::mmap(nullptr, device.map_size, PROT_READ | PROT_WRITE, MAP_SHARED, server->fd_, 0);
  if (server->map_ == MAP_FAILED) {
    server->map_ = nullptr;
    error = "cannot map " + server->name_ + ": " + std::strerror(errno);
    return nullptr;
  }
  server->size_ = device.map_size;
  server->stop_ = ::eventfd(0, EFD_CLOEXEC);
  if (server->stop_ < 0) {
    error = std::string("cannot make an eventfd: ") + std::strerror(errno);
    return nullptr;
  }
  server->handler_ = std::move(handler);
  server->ended_ = std::move(ended);
  server->thread_ = std::thread([s = server.get()] { s->Serve(); });
  return server;
}

UioServer::~UioServer() {
  if (thread_.joinable()) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(stop_, &one, sizeof one);
    thread_.join();
  }
  if (map_ != nullptr) ::munmap(map_, size_);
  if (stop_ >= 0) ::close(stop_);
  if (fd_ >= 0) ::close(fd_);
}

void UioServer::Serve() {
  const std::span<uint8_t> area(static_cast<uint8_t*>(map_), size_);
  while (true) {
    // Entries may wait from before the device was opened (a killed
    // server's), so the ring is looked at before the first wait.
    try {
      if (ServeRing(area, handler_) > 0) {
        const uint32_t one = 1;
        if (::write(fd_, &one, sizeof one) != sizeof one) break;
      }
    } catch (const RingError& e) {
      std::fprintf(stderr, "orvex-vburner: %s: %s\n", name_.c_str(), e.what());
      break;
    }
    pollfd waits[2] = {{fd_, POLLIN, 0}, {stop_, POLLIN, 0}};
    if (::poll(waits, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (waits[1].revents != 0) return;  // asked to stop: nobody needs telling
    // The interrupt count; reading fails once the device is unregistered.
    uint32_t count = 0;
    if (::read(fd_, &count, sizeof count) != sizeof count && errno != EINTR) break;
  }
  if (ended_) ended_();
}

}  // namespace orvex::vburner
