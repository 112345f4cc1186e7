// Failures as values: what went wrong, in a short factual message, and
// where in the data it was found. Readers of damaged files meet failures
// all the time; they return them instead of throwing, and the caller
// decides whether one is worth a line of output.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace quill {

// Where a failure was found. Every part is optional (-1 or null when not
// known): the file's id in the database's file set, the page id, the slot
// on that page, a byte offset (within the page when a page is named,
// within the file otherwise) and the name of the field read there.
struct Place {
  int32_t fileId = -1;
  int64_t pageId = -1;
  int32_t slot = -1;
  int64_t offset = -1;
  const char* field = nullptr;  // a static name; never owned

  bool empty() const { return fileId < 0 && pageId < 0 && slot < 0 && offset < 0 && field == nullptr; }
  // "page 1:42, slot 3, offset 120, field column count", as much as is known.
  std::string Text() const;
};

// Success, or a failure with its message and place. A success holds no
// text, so returning one costs nothing.
class Status {
 public:
  Status() = default;
  static Status Ok() { return {}; }
  static Status Failure(std::string message, Place place = {}) {
    Status status;
    status.message_ = message.empty() ? std::string("failed") : std::move(message);
    status.place_ = place;
    return status;
  }

  bool ok() const { return message_.empty(); }
  const std::string& message() const { return message_; }
  const Place& place() const { return place_; }
  // "page 1:42, slot 3: empty slot": the place, when one is known, then
  // the message.
  std::string Text() const;

 private:
  std::string message_;
  Place place_;
};

// A value or the failure that prevented it.
template <typename T>
class Result {
 public:
  Result(T value) : state_(std::move(value)) {}  // NOLINT: implicit by design
  Result(Status failure) : state_(std::move(failure)) {}  // NOLINT

  bool ok() const { return std::holds_alternative<T>(state_); }
  explicit operator bool() const { return ok(); }
  T& value() { return std::get<T>(state_); }
  const T& value() const { return std::get<T>(state_); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  // The failure; a success status when there is a value.
  Status status() const { return ok() ? Status::Ok() : std::get<Status>(state_); }

 private:
  std::variant<T, Status> state_;
};

}  // namespace quill
