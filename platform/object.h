// SPDX-License-Identifier: Apache-2.0
// The host framework's object model: the root class and the component base.
//
// TOrvex, the worker thread classes and the MD5 stream derive from TObject,
// so that every event can name its sender as a TObject*.  TComponent adds
// the owner relation and the two state flags the component reads.
#ifndef ORVEX_PLATFORM_OBJECT_H_
#define ORVEX_PLATFORM_OBJECT_H_

#include <cstdint>

namespace orvex {

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

// Component state flags, combined in TComponent::ComponentState().
enum TComponentStateFlag : uint32_t {
  csLoading = 1u << 0,    // saved settings are being loaded into the component
  csDesigning = 1u << 1,  // the component lives in a design tool, not in a running program
};

class TComponent : public TObject {
 public:
  // The owner decides how completion events reach the application (see
  // TOrvex); it does not take over the component's lifetime.
  explicit TComponent(TComponent* AOwner) : owner_(AOwner) {}

  TComponent* Owner() const { return owner_; }
  uint32_t ComponentState() const { return state_; }

  // csLoading is set while settings are streamed in; Loaded() ends that.
  void BeginLoading() { state_ |= csLoading; }
  void Loaded() { state_ &= ~static_cast<uint32_t>(csLoading); }
  void SetDesigning(bool designing) {
    state_ = designing ? (state_ | csDesigning) : (state_ & ~static_cast<uint32_t>(csDesigning));
  }

 private:
  TComponent* owner_;
  uint32_t state_ = 0;
};

}  // namespace orvex

#endif  // ORVEX_PLATFORM_OBJECT_H_
