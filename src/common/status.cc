#include "common/status.h"

namespace quill {

std::string Place::Text() const {
  std::string text;
  const auto add = [&text](const std::string& part) {
    if (!text.empty()) text += ", ";
    text += part;
  };
  if (pageId >= 0) {
    add("page " + std::to_string(fileId >= 0 ? fileId : 1) + ":" + std::to_string(pageId));
  } else if (fileId >= 0) {
    add("file " + std::to_string(fileId));
  }
  if (slot >= 0) add("slot " + std::to_string(slot));
  if (offset >= 0) add("offset " + std::to_string(offset));
  if (field != nullptr) add(std::string("field ") + field);
  return text;
}

std::string Status::Text() const {
  if (place_.empty()) return message_;
  return place_.Text() + ": " + message_;
}

}  // namespace quill
