#include "export/sha256_digest.h"

#include <nettle/sha2.h>

#include <algorithm>

namespace quill {

struct Sha256Digest::State {
  sha256_ctx context;
};

Sha256Digest::Sha256Digest() : state_(std::make_unique<State>()) { sha256_init(&state_->context); }

Sha256Digest::~Sha256Digest() = default;

void Sha256Digest::Update(std::span<const uint8_t> bytes) {
  // nettle takes a size_t length; feed in pieces anyway so that no length
  // type on the way can overflow.
  constexpr size_t kPiece = size_t{1} << 30;
  while (!bytes.empty()) {
    const size_t n = std::min(bytes.size(), kPiece);
    sha256_update(&state_->context, n, bytes.data());
    bytes = bytes.subspan(n);
  }
}

std::string Sha256Digest::FinishHex() {
  uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&state_->context, SHA256_DIGEST_SIZE, digest);  // also resets the context
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * SHA256_DIGEST_SIZE);
  for (uint8_t byte : digest) {
    text.push_back(kHex[byte >> 4]);
    text.push_back(kHex[byte & 0x0F]);
  }
  return text;
}

}  // namespace quill
