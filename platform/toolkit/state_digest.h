// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A digest of the state an idle step reads: the instrument's memory, the
// controls, the canvas and the devices. Two states that differ give the same
// digest with odds of 2^-128 (XXH3, 128 bits), so an equal digest is taken
// as an unchanged state. Small values are gathered and hashed in blocks.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace platform {

struct Digest128 {
  std::uint64_t low = 0, high = 0;
  bool operator==(const Digest128&) const = default;
};

class StateDigest {
 public:
  StateDigest();
  ~StateDigest();
  StateDigest(const StateDigest&) = delete;
  StateDigest& operator=(const StateDigest&) = delete;

  void Reset();
  // A block of memory as it is, bytes between members included.
  void AddBytes(const void* p, std::size_t n);
  template <class T>
    requires std::is_trivially_copyable_v<T>
  void Add(const T& v) {
    Gather(&v, sizeof v);
  }
  void Add(std::string_view s) {
    Add(s.size());
    Gather(s.data(), s.size());
  }
  void Add(const std::string& s) { Add(std::string_view(s)); }
  void Add(const std::vector<std::string>& items) {
    Add(items.size());
    for (const auto& s : items) Add(s);
  }
  Digest128 Value();

 private:
  void Gather(const void* p, std::size_t n);
  void Flush();

  struct State;
  std::unique_ptr<State> state_;
  static constexpr std::size_t kBlock = 512;
  unsigned char pending_[kBlock];
  std::size_t pending_size_ = 0;
};

}  // namespace platform
