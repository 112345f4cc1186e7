// SHA-256 of a byte stream fed in pieces, for the checksums of extracted
// documents. A thin wrapper over nettle's sha256, which every Debian system
// with GnuTLS already carries (much lighter than libssl for one hash).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace quill {

class Sha256Digest {
 public:
  Sha256Digest();
  ~Sha256Digest();
  Sha256Digest(const Sha256Digest&) = delete;
  Sha256Digest& operator=(const Sha256Digest&) = delete;

  void Update(std::span<const uint8_t> bytes);
  // The digest of everything fed so far as 64 lower-case hex digits; the
  // digest starts over afterwards.
  std::string FinishHex();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace quill
