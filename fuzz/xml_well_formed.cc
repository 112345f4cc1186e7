#include "xml_well_formed.h"

#include "fuzz_support.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quill::fuzz {
namespace {

bool IsNameChar(char c) {
  return c != '\0' && c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '<' && c != '>' && c != '/' &&
         c != '=' && c != '"' && c != '\'' && c != '&' && c != '?' && c != '!';
}

class Checker {
 public:
  explicit Checker(std::string_view text) : s_(text) {}

  const char* Run() {
    if (!IsValidUtf8(s_)) return "output is not valid UTF-8";
    while (p_ < s_.size()) {
      const char c = s_[p_];
      if (c == '<') {
        if (const char* problem = Markup()) return problem;
      } else if (c == '&') {
        if (const char* problem = Reference()) return problem;
      } else if (c == '>' && p_ >= 2 && s_.substr(p_ - 2, 3) == "]]>") {
        return "']]>' in text";
      } else {
        ++p_;
      }
    }
    if (!open_.empty()) return "element left open";
    return nullptr;
  }

 private:
  bool Starts(std::string_view what) const { return s_.substr(p_, what.size()) == what; }

  // Skips to just past `end`; false when it does not occur.
  bool SkipPast(std::string_view end) {
    const size_t at = s_.find(end, p_);
    if (at == std::string_view::npos) return false;
    p_ = at + end.size();
    return true;
  }

  const char* Reference() {
    const size_t end = s_.find(';', p_);
    if (end == std::string_view::npos || end == p_ + 1) return "'&' without a reference";
    std::string_view body = s_.substr(p_ + 1, end - p_ - 1);
    if (body[0] == '#') {
      if (body.size() < 2) return "empty character reference";
      const bool hex = body[1] == 'x';
      if (hex && body.size() < 3) return "empty character reference";
      for (size_t i = hex ? 2 : 1; i < body.size(); ++i) {
        const char d = body[i];
        const bool digit = d >= '0' && d <= '9';
        const bool hexdigit = (d >= 'a' && d <= 'f') || (d >= 'A' && d <= 'F');
        if (!digit && !(hex && hexdigit)) return "bad character reference";
      }
    } else {
      for (char d : body) {
        if (!IsNameChar(d)) return "bad entity reference";
      }
    }
    p_ = end + 1;
    return nullptr;
  }

  std::string_view Name() {
    const size_t start = p_;
    while (p_ < s_.size() && IsNameChar(s_[p_])) ++p_;
    return s_.substr(start, p_ - start);
  }

  void Blanks() {
    while (p_ < s_.size() && (s_[p_] == ' ' || s_[p_] == '\t' || s_[p_] == '\n' || s_[p_] == '\r')) ++p_;
  }

  const char* Markup() {
    if (Starts("<!--")) {
      p_ += 4;
      const size_t end = s_.find("--", p_);
      if (end == std::string_view::npos || s_.substr(end, 3) != "-->") return "comment not closed or holds '--'";
      p_ = end + 3;
      return nullptr;
    }
    if (Starts("<![CDATA[")) {
      p_ += 9;
      return SkipPast("]]>") ? nullptr : "CDATA section not closed";
    }
    if (Starts("<!DOCTYPE ")) {
      if (seenElement_) return "DOCTYPE after an element";
      p_ += 10;
      if (Name().empty()) return "DOCTYPE without a name";
      // Literals, then an optional internal subset, then '>'.
      while (p_ < s_.size() && s_[p_] != '[' && s_[p_] != '>') {
        const char c = s_[p_];
        if (c == '"' || c == '\'') {
          const size_t end = s_.find(c, p_ + 1);
          if (end == std::string_view::npos) return "DOCTYPE literal not closed";
          p_ = end + 1;
        } else {
          ++p_;
        }
      }
      if (p_ < s_.size() && s_[p_] == '[') return SkipPast("]>") ? nullptr : "DOCTYPE subset not closed";
      return SkipPast(">") ? nullptr : "DOCTYPE not closed";
    }
    if (Starts("<?")) {
      p_ += 2;
      if (Name().empty()) return "processing instruction without a target";
      return SkipPast("?>") ? nullptr : "processing instruction not closed";
    }
    if (Starts("</")) {
      p_ += 2;
      std::string_view name = Name();
      Blanks();
      if (p_ >= s_.size() || s_[p_] != '>') return "end tag not closed";
      ++p_;
      if (open_.empty()) return "end tag without a start tag";
      if (open_.back() != name) return "end tag does not match its start tag";
      open_.pop_back();
      return nullptr;
    }
    ++p_;
    std::string_view name = Name();
    if (name.empty()) return "start tag without a name";
    seenElement_ = true;
    std::vector<std::string_view> attributes;
    for (;;) {
      const size_t before = p_;
      Blanks();
      if (p_ >= s_.size()) return "start tag not closed";
      if (Starts("/>")) {
        p_ += 2;
        return nullptr;
      }
      if (s_[p_] == '>') {
        ++p_;
        open_.push_back(name);
        return nullptr;
      }
      if (p_ == before) return "attribute not separated by a blank";
      std::string_view attribute = Name();
      if (attribute.empty()) return "attribute without a name";
      for (std::string_view seen : attributes) {
        if (seen == attribute) return "attribute given twice";
      }
      attributes.push_back(attribute);
      if (p_ >= s_.size() || s_[p_] != '=') return "attribute without '='";
      ++p_;
      if (p_ >= s_.size() || (s_[p_] != '"' && s_[p_] != '\'')) return "attribute value not quoted";
      const char quote = s_[p_++];
      while (p_ < s_.size() && s_[p_] != quote) {
        if (s_[p_] == '<') return "'<' in an attribute value";
        if (s_[p_] == '&') {
          if (const char* problem = Reference()) return problem;
        } else {
          ++p_;
        }
      }
      if (p_ >= s_.size()) return "attribute value not closed";
      ++p_;
    }
  }

  std::string_view s_;
  size_t p_ = 0;
  std::vector<std::string_view> open_;
  bool seenElement_ = false;
};

}  // namespace

const char* XmlProblem(std::string_view text) { return Checker(text).Run(); }

}  // namespace quill::fuzz
