#pragma once
// Reads every part of a text into plain records the tests compare.
#include <string>
#include <vector>

#include "gateway/wctp/xml_parser.h"

namespace vltg::testing::xml {

struct Part {
  int kind;
  std::string name;
  std::string content;
  std::string attrs;  // name=value pairs joined by "|", in list order

  bool operator==(const Part&) const = default;
};

inline std::string AttrsOf(const TAttrList& list) {
  std::string out;
  for (int i = 0; i < list.Count(); ++i) {
    if (i > 0) out += '|';
    out += list.NameAt(i) + "=" + list.ValueAt(i);
  }
  return out;
}

inline Part Current(const TXmlParser& parser) {
  return {parser.GetPartKind(), parser.GetPartName(), parser.GetPartContent(), AttrsOf(parser.GetPartAttrs())};
}

// Every part from the current position on; stops after `limit` parts so a
// parser that never ends fails instead of hanging the test.
inline std::vector<Part> Parts(TXmlParser& parser, size_t limit = 100000) {
  std::vector<Part> parts;
  while (parts.size() < limit && parser.NextPart()) parts.push_back(Current(parser));
  return parts;
}

inline std::vector<Part> PartsOf(const std::string& text) {
  TXmlParser parser;
  parser.SetBufferText(text);
  return Parts(parser);
}

// The parts of one kind, by content.
inline std::vector<std::string> Texts(const std::vector<Part>& parts, int kind = pkText) {
  std::vector<std::string> out;
  for (const Part& part : parts) {
    if (part.kind == kind) out.push_back(part.content);
  }
  return out;
}

}  // namespace vltg::testing::xml
