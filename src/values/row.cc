#include "values/row.h"

#include "values/value_text.h"

namespace quill {

Row::Row(const Row& other) : columns_(other.columns_), options_(other.options_), failures_(other.failures_) {
  other.MakeAllTexts();
  texts_ = other.texts_;
}

Row::Row(Row&& other) noexcept : columns_(other.columns_), options_(other.options_) {
  other.MakeAllTexts();
  texts_ = std::move(other.texts_);
  failures_ = std::move(other.failures_);
}

Row& Row::operator=(Row&& other) noexcept {
  if (this != &other) {
    other.MakeAllTexts();
    columns_ = other.columns_;
    texts_ = std::move(other.texts_);
    deferred_.clear();
    waiting_ = 0;
    options_ = other.options_;
    failures_ = std::move(other.failures_);
  }
  return *this;
}

Row& Row::operator=(const Row& other) {
  if (this != &other) {
    other.MakeAllTexts();
    columns_ = other.columns_;
    texts_ = other.texts_;
    deferred_.clear();
    waiting_ = 0;
    options_ = other.options_;
    failures_ = other.failures_;
  }
  return *this;
}

void Row::DeferText(size_t i, std::span<const uint8_t> bytes, const TypeInfo& info,
                    const ValueDecodeOptions& options) {
  if (deferred_.empty()) deferred_.resize(texts_.size());
  Deferred& deferred = deferred_[i];
  if (!deferred.waiting && deferred.shared == nullptr) ++waiting_;
  deferred.waiting = true;
  deferred.shared = nullptr;
  deferred.bytes = bytes;
  deferred.info = info;
  options_ = &options;
}

void Row::ShareText(size_t i, const std::string& text) {
  if (deferred_.empty()) deferred_.resize(texts_.size());
  Deferred& deferred = deferred_[i];
  if (!deferred.waiting && deferred.shared == nullptr) ++waiting_;
  deferred.waiting = false;
  deferred.shared = &text;
}

void Row::ClearDeferred() {
  if (waiting_ == 0) return;
  for (Deferred& deferred : deferred_) {
    deferred.waiting = false;
    deferred.shared = nullptr;
  }
  waiting_ = 0;
}

void Row::MakeText(size_t i) const {
  Deferred& deferred = deferred_[i];
  deferred.waiting = false;
  --waiting_;
  texts_[i] = DecodeValue(deferred.info, (*columns_)[i], deferred.bytes, *options_);
}

void Row::MakeAllTexts() const {
  for (size_t i = 0; waiting_ > 0 && i < deferred_.size(); ++i) {
    Deferred& deferred = deferred_[i];
    if (deferred.waiting) {
      MakeText(i);
    } else if (deferred.shared != nullptr) {
      texts_[i] = *deferred.shared;
      deferred.shared = nullptr;
      --waiting_;
    }
  }
}

}  // namespace quill
