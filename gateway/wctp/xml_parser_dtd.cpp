// TXmlParser: reading the document type declaration and its declarations.
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "gateway/wctp/xml_external_id.h"
#include "gateway/wctp/xml_parser.h"
#include "gateway/wctp/xml_text.h"

namespace vltg {

using xml::IsWhite;
using xml::StartsWith;

namespace {

const char* SkipWhite(const char* p) {
  while (IsWhite(*p)) ++p;
  return p;
}

// A name from p up to the first character that `stops` (the end of the text
// and ">" always stop it).
template <class Stops>
const char* ReadName(const char* p, std::string& name, Stops stops) {
  const char* start = p;
  while (*p != '\0' && *p != '>' && !stops(*p)) ++p;
  name.assign(start, p);
  return p;
}

// From a quote: the text up to the same quote (to the end of the text when it
// is missing); returns the position after it.
const char* ReadQuoted(const char* p, std::string& value) {
  const char quote = *p++;
  const char* start = p;
  while (*p != '\0' && *p != quote) ++p;
  value.assign(start, p);
  return *p != '\0' ? p + 1 : p;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

// The ">" that closes a declaration, or the zero byte at the end of the text.
const char* Closing(const char* p) {
  while (*p != '\0' && *p != '>') ++p;
  return p;
}

// The declaration's last character, and where reading goes on after it.
const char* LastOf(const char* close) { return *close != '\0' ? close : close - 1; }
const char* After(const char* close) { return *close != '\0' ? close + 1 : close; }

uint8_t AttrTypeOf(std::string_view word) {
  static constexpr std::string_view kTypes[] = {"CDATA",    "ID",      "IDREF",   "IDREFS",
                                                "ENTITY",   "ENTITIES", "NMTOKEN", "NMTOKENS"};
  for (size_t i = 0; i < std::size(kTypes); ++i) {
    if (word == kTypes[i]) return static_cast<uint8_t>(atCData + i);
  }
  return atUnknown;
}

}  // namespace

void TXmlParser::Report(uint8_t kind, const char* start, const char* end) {
  ReportDtdItem(TDtdItem(kind, start, end));
}

// From after "<!DOCTYPE"; returns the declaration's last character, always a
// position in the text that holds "<!DOCTYPE".
const char* TXmlParser::ReadDoctype(const char* p) {
  bool named = false;
  bool external = false;
  bool subset = false;
  const char* end = nullptr;
  while (end == nullptr) {
    p = SkipWhite(p);
    const char c = *p;
    if (c == '\0') {
      if (FEntityStack.Count() == 0) {
        end = p - 1;
      } else {
        p = Leave();
      }
    } else if (c == '%') {
      p = ParamReference(p);
    } else if (c == '>') {
      end = p;
    } else if (c == '[') {
      subset = true;
      p = ReadSubset(p + 1, 0);
    } else if (c == ']') {
      subset = true;
      ++p;
    } else if (!named && !subset && xml::IsNameStart(c)) {
      p = ReadName(p, FDoctypeName, [](char ch) { return IsWhite(ch) || ch == '['; });
      named = true;
    } else if (named && !external && !subset && (StartsWith(p, "SYSTEM") || StartsWith(p, "PUBLIC"))) {
      external = true;
      const TExternalID id(p);
      p = id.Stop;
      ReadExternalSubset(id.SystemId, id.PublicId);
    } else {
      if (subset) Report(dtError, p, p);
      ++p;
    }
  }
  if (FEntityStack.Count() > 0) {
    // It ended inside a parameter entity: the text goes on after the
    // outermost reference.
    Report(dtError, end, end);
    end = FEntityStack.BottomResume() - 1;
    while (FEntityStack.Count() > 0) Leave();
  }
  return end;
}

void TXmlParser::ReadExternalSubset(const std::string& systemId, const std::string& publicId) {
  std::unique_ptr<TXmlParser> parser = OpenExternalEntity(systemId, publicId, std::string());
  if (!parser) return;
  const char* start = xml::Find(parser->GetBuffer(), "<!");
  if (start == nullptr || !Charge(std::string_view(start).size())) return;
  const int base = FEntityStack.Count();
  ReadSubset(start, base);
  while (FEntityStack.Count() > base) Leave();
}

// Reads declarations from p until "]" or ">", or until the text ends with no
// more than `baseDepth` entity texts open; returns where it stopped.
const char* TXmlParser::ReadSubset(const char* p, int baseDepth) {
  for (;;) {
    const char c = *p;
    if (c == '\0') {
      if (FEntityStack.Count() <= baseDepth) return p;
      p = Leave();
    } else if (c == '%') {
      p = ParamReference(p);
    } else if (c == ']' || c == '>') {
      return p;
    } else if (c != '<') {
      ++p;
    } else if (StartsWith(p, "<!ELEMENT")) {
      p = ReadElementDecl(p);
    } else if (StartsWith(p, "<!ATTLIST")) {
      p = ReadAttlistDecl(p);
    } else if (StartsWith(p, "<!ENTITY")) {
      p = ReadEntityDecl(p);
    } else if (StartsWith(p, "<!NOTATION")) {
      p = ReadNotationDecl(p);
    } else if (StartsWith(p, "<?")) {
      p = ReadDtdPI(p);
    } else if (StartsWith(p, "<!--")) {
      p = ReadDtdComment(p);
    } else {
      Report(dtError, p, p);
      ++p;
    }
  }
}

// At "%": a declared parameter entity's text is read next; an undeclared
// reference is passed over; a "%" not followed by a name and ";" is a plain
// character.
const char* TXmlParser::ParamReference(const char* p) {
  const char* q = p + 1;
  while (xml::IsRefNameChar(*q)) ++q;
  if (*q != ';') return p + 1;
  const char* after = q + 1;
  const TEntityDef* entity = FParameterEntities.Find(std::string_view(p + 1, static_cast<size_t>(q - p - 1)));
  if (entity == nullptr || FEntityStack.Count() >= kMaxEntityDepth) return after;
  if (!Charge(entity->Value.size())) return after;
  return EnterText(entity->Value, after);
}

const char* TXmlParser::ReadElementDecl(const char* p) {
  const char* start = p;
  p = SkipWhite(p + 9);
  if (!xml::IsNameStart(*p)) {
    const char* close = Closing(p);
    Report(dtError, start, LastOf(close));
    return After(close);
  }
  std::string name;
  p = ReadName(p, name, IsWhite);
  const char* close = Closing(p);
  std::string model = xml::RemoveWhite(ExpandParamRefs(std::string(p, close), 0));
  uint8_t kind = ckAny;
  if (model == "EMPTY") {
    kind = ckEmpty;
  } else if (model.rfind("(#PCDATA", 0) == 0) {
    kind = ckMixed;
  } else if (model.rfind('(', 0) == 0) {
    kind = ckElements;
  }
  // An attribute-list declaration may come first; its definitions stay.
  TElemDef* elem = FElementDefs.Find(name);
  if (elem == nullptr) elem = FElementDefs.Add(std::make_unique<TElemDef>(name));
  elem->ContentKind = kind;
  elem->ContentModel = std::move(model);
  TDtdItem item(dtElement, start, LastOf(close));
  item.ElemDef = elem;
  ReportDtdItem(item);
  return After(close);
}

const char* TXmlParser::ReadAttlistDecl(const char* p) {
  const char* start = p;
  p += 9;
  enum { kElement, kName, kType, kDefault } state = kElement;
  TElemDef* elem = nullptr;
  std::unique_ptr<TAttrDef> def;
  const auto wordStops = [](char c) { return IsWhite(c) || IsQuote(c) || c == '#'; };
  const auto store = [&] {
    if (def && elem) elem->Replace(std::move(def));
    def.reset();
  };
  for (;;) {
    p = SkipWhite(p);
    if (*p == '\0' || *p == '>') break;
    std::string word;
    switch (state) {
      case kElement:
        p = ReadName(p, word, wordStops);
        if (word.empty()) {
          ++p;
          break;
        }
        elem = FElementDefs.Find(word);
        if (elem == nullptr) {
          elem = FElementDefs.Add(std::make_unique<TElemDef>(word));
          elem->ContentModel = "ANY";
        }
        state = kName;
        break;
      case kName:
        p = ReadName(p, word, wordStops);
        if (word.empty()) {
          ++p;
          break;
        }
        def = std::make_unique<TAttrDef>(word, std::string());
        state = kType;
        break;
      case kType:
        if (*p == '(') {
          const char* q = p;
          while (*q != '\0' && *q != '>' && *q != ')') ++q;
          if (*q == ')') ++q;
          def->TypeText = xml::RemoveWhite(ExpandParamRefs(std::string(p, q), 0));
          def->AttrType = atEnumeration;
          p = q;
        } else {
          p = ReadName(p, word, wordStops);  // none before a quote or "#": the default follows
          def->TypeText = word;
          def->AttrType = AttrTypeOf(word);
          if (word == "NOTATION") {
            def->AttrType = atNotation;
            p = SkipWhite(p);
            if (*p == '(') {
              const char* q = p;
              while (*q != '\0' && *q != '>' && *q != ')') ++q;
              if (*q == ')') ++q;
              def->NotationList = xml::RemoveWhite(std::string(p, q));
              p = q;
            }
          }
        }
        state = kDefault;
        break;
      case kDefault:
        if (StartsWith(p, "#REQUIRED")) {
          def->DefaultKind = dkRequired;
          p += 9;
        } else if (StartsWith(p, "#IMPLIED")) {
          def->DefaultKind = dkImplied;
          p += 8;
        } else if (StartsWith(p, "#FIXED")) {
          def->DefaultKind = dkFixed;
          p = SkipWhite(p + 6);
        }
        if (IsQuote(*p)) {
          std::string value;
          p = ReadQuoted(p, value);
          def->Value = xml::ReplaceCharRefs(ExpandParamRefs(value, 0));
        } else if (*p == '#' && def->DefaultKind == dkDefault) {
          ++p;  // an unknown keyword: its words are read as names
        }
        store();
        state = kName;
        break;
    }
  }
  store();
  const char* close = p;
  if (elem != nullptr) {
    TDtdItem item(dtAttList, start, LastOf(close));
    item.ElemDef = elem;
    ReportDtdItem(item);
  }
  return After(close);
}

const char* TXmlParser::ReadEntityDecl(const char* p) {
  const char* start = p;
  p = SkipWhite(p + 8);
  bool parameter = false;
  if (*p == '%') {
    parameter = true;
    p = SkipWhite(p + 1);
  }
  if (!xml::IsNameStart(*p)) {
    const char* close = Closing(p);
    Report(dtError, start, LastOf(close));
    return After(close);
  }
  std::string name;
  p = ReadName(p, name, [](char c) { return IsWhite(c) || IsQuote(c); });
  auto def = std::make_unique<TEntityDef>(name, std::string());
  p = SkipWhite(p);
  if (IsQuote(*p)) {
    std::string value;
    p = ReadQuoted(p, value);
    def->Value = xml::ReplaceCharRefs(parameter ? value : ExpandParamRefs(value, 0));
  } else if (StartsWith(p, "SYSTEM") || StartsWith(p, "PUBLIC")) {
    const TExternalID id(p);
    def->SystemId = id.SystemId;
    def->PublicId = id.PublicId;
    p = SkipWhite(id.Stop);
    if (StartsWith(p, "NDATA")) {
      p = SkipWhite(p + 5);
      if (xml::IsNameStart(*p)) p = ReadName(p, def->NotationName, [](char) { return false; });
    }
  }
  const char* close = Closing(p);
  TNvpList<TEntityDef>& list = parameter ? FParameterEntities : FGeneralEntities;
  TDtdItem item(dtEntity, start, LastOf(close));
  item.EntityDef = list.Replace(std::move(def));
  ReportDtdItem(item);
  return After(close);
}

const char* TXmlParser::ReadNotationDecl(const char* p) {
  const char* start = p;
  p = SkipWhite(p + 10);
  std::string name;
  p = ReadName(p, name, IsWhite);
  auto def = std::make_unique<TNotationDef>(name, std::string());
  p = SkipWhite(p);
  if (StartsWith(p, "SYSTEM") || StartsWith(p, "PUBLIC")) {
    const TExternalID id(p);
    def->Value = id.SystemId;
    def->PublicId = id.PublicId;
    p = id.Stop;
  }
  const char* close = Closing(p);
  TDtdItem item(dtNotation, start, LastOf(close));
  item.NotationDef = FNotationDefs.Add(std::move(def));
  ReportDtdItem(item);
  return After(close);
}

const char* TXmlParser::ReadDtdPI(const char* p) {
  TAttrList attrs;
  TDtdItem item(dtPI, p, p);
  item.End = ReadPI(p, item.Target, item.Content, attrs);
  item.Attrs = &attrs;
  ReportDtdItem(item);
  return item.End + 1;
}

const char* TXmlParser::ReadDtdComment(const char* p) {
  const char* close = xml::Find(p + 4, "-->");
  const char* end = close ? close + 2 : xml::EndOfText(p) - 1;
  Report(dtComment, p, end);
  return end + 1;
}

}  // namespace vltg
