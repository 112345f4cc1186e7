// A small checker of the XML text the binary xml decoder writes: tags
// balanced and matching, names present, attribute values quoted without a
// raw '<' or quote in them, '&' only as a character or entity reference,
// comments, processing instructions and CDATA sections closed, and the
// text valid UTF-8. Fragments (several top-level elements, top-level text)
// pass, as xml values may hold them.
#pragma once

#include <string_view>

namespace quill::fuzz {

// Empty when `text` is well-formed by the rules above, else what is wrong.
const char* XmlProblem(std::string_view text);

}  // namespace quill::fuzz
