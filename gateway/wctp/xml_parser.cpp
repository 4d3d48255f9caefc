#include "gateway/wctp/xml_parser.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <utility>
#include <vector>

#include "gateway/wctp/xml_text.h"

namespace vltg {

using xml::IsWhite;
using xml::StartsWith;

namespace {

// The character a predefined entity stands for, or 0.
char PredefinedEntity(std::string_view name) {
  if (name == "lt") return '<';
  if (name == "gt") return '>';
  if (name == "amp") return '&';
  if (name == "apos") return '\'';
  if (name == "quot") return '"';
  return '\0';
}

// The last character of the first `delim` at or after p; without one, the
// last character of the text (p is never the text's first character).
const char* PartEndAt(const char* p, std::string_view delim) {
  const char* found = xml::Find(p, delim);
  return found ? found + delim.size() - 1 : xml::EndOfText(p) - 1;
}

}  // namespace

TXmlParser::TXmlParser() { Clear(); }

TXmlParser::~TXmlParser() { Clear(); }

void TXmlParser::Clear() {
  ResetScan();
  FBuffer.reset();
  FBufferSize = 0;
  FSourceName.clear();
  FXmlDeclVersion.clear();
  FXmlDeclEncoding.clear();
  FXmlDeclStandalone = false;
  FDoctypeName.clear();
  FDtdStartPos = nullptr;
  FDtdEndPos = nullptr;
  FNormalizeText = true;
  FActiveEncoding = "UTF-8";
  FElementDefs.Clear();
  FGeneralEntities.Clear();
  FParameterEntities.Clear();
  FNotationDefs.Clear();
}

void TXmlParser::SetBufferText(std::string_view text) {
  Clear();
  try {
    TakeText(text.substr(0, text.find('\0')));
    FSourceName = "<MEM>";
  } catch (const std::bad_alloc&) {
    Clear();
  }
}

void TXmlParser::TakeText(std::string_view text) {
  auto buffer = std::make_unique<char[]>(text.size() + 1);
  std::copy(text.begin(), text.end(), buffer.get());
  buffer[text.size()] = '\0';
  FBuffer = std::move(buffer);
  FBufferSize = static_cast<int32_t>(text.size() + 1);
}

void TXmlParser::LoadFile(const std::string& fileName) {
  Clear();
  try {
    std::error_code error;
    if (!std::filesystem::is_regular_file(fileName, error)) return;
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return;
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad() || text.size() >= static_cast<size_t>(INT32_MAX)) return;
    TakeText(text);
    FSourceName = fileName;
  } catch (const std::exception&) {
    Clear();
  }
}

void TXmlParser::ResetScan() {
  FPartKind = pkNone;
  FPartName.clear();
  FPartContent.clear();
  FPartStart = nullptr;
  FPartEnd = nullptr;
  FPartAttrs.Clear();
  FEntityStack.Clear();
  FNext = nullptr;
  FSemiFrom = FSemiTo = nullptr;
}

bool TXmlParser::NextPart() {
  for (;;) {
    FEntityStack.ReleaseKept();  // the last part's positions are done with
    const char* p = FNext;
    if (p == nullptr) {
      p = GetBuffer();
      FBudget = kMaxExpansion;
      FDeclsInForce = false;
      FActiveEncoding = "UTF-8";
    }
    // The end of an entity's text: resume in the text around it, however
    // many entity texts end here together.
    while (*p == '\0') {
      if (FEntityStack.Count() == 0) {
        FNext = nullptr;
        FPartStart = FPartEnd = nullptr;
        return false;
      }
      p = Leave();
    }
    FPartStart = FPartEnd = p;
    if (StartsWith(p, "<?xml")) {
      ScanXmlDecl();
    } else if (StartsWith(p, "<?")) {
      ScanPI();
    } else if (StartsWith(p, "<!--")) {
      ScanComment();
    } else if (StartsWith(p, "<!DOCTYPE")) {
      ScanDoctype();
    } else if (StartsWith(p, "<![CDATA[")) {
      ScanCData();
    } else if (*p == '<') {
      ScanTag();
    } else {
      if (!ScanText()) continue;
      return true;  // the text part set FNext itself
    }
    FNext = FPartEnd + 1;
    return true;
  }
}

// ---- Parts ----

void TXmlParser::ScanXmlDecl() {
  FPartKind = pkXmlDecl;
  FPartName.clear();
  FPartContent.clear();
  const char* stop = ParseAttrs(FPartStart + 5, FPartAttrs);
  FPartEnd = PartEndAt(stop, "?>");
  if (FEntityStack.Count() == 0) {
    FXmlDeclVersion = FPartAttrs.Value("version");
    FXmlDeclEncoding = FPartAttrs.Value("encoding");
    FXmlDeclStandalone = FPartAttrs.Value("standalone") == "yes";
  }
  const std::string encoding = FPartAttrs.Value("encoding");
  FActiveEncoding = encoding.empty() ? "UTF-8" : encoding;
}

void TXmlParser::ScanComment() {
  FPartKind = pkComment;
  FPartEnd = PartEndAt(FPartStart + 4, "-->");
}

void TXmlParser::ScanPI() {
  FPartKind = pkPI;
  FPartEnd = ReadPI(FPartStart, FPartName, FPartContent, FPartAttrs);
}

// From "<?": the target, the text after it up to "?>" (its leading blank
// included), that text parsed as attributes; returns the part's end.
const char* TXmlParser::ReadPI(const char* p, std::string& target, std::string& content, TAttrList& attrs) {
  const char* name = p + 2;
  const char* q = name;
  while (*q != '\0' && !IsWhite(*q) && *q != '?' && *q != '>') ++q;
  target.assign(name, q);
  const char* close = xml::Find(q, "?>");
  const char* contentEnd = close ? close : xml::EndOfText(q);
  content.assign(q, contentEnd);
  ParseAttrs(content.c_str(), attrs);
  return close ? close + 1 : contentEnd - 1;
}

void TXmlParser::ScanCData() {
  FPartKind = pkCData;
  FPartName.clear();
  const char* start = FPartStart + 9;
  const char* close = xml::Find(start, "]]>");
  const char* end = close ? close : xml::EndOfText(start);
  FPartContent = DecodeText(std::string(start, end));
  FPartEnd = close ? close + 2 : end - 1;
}

void TXmlParser::ScanDoctype() {
  FPartKind = pkDoctype;
  FPartName.clear();
  FPartContent.clear();
  if (FDtdEndPos != nullptr && FPartStart == FDtdStartPos) {
    FPartEnd = FDtdEndPos;  // a rescan: the declarations are already read
    FDeclsInForce = true;
    return;
  }
  if (FDtdEndPos != nullptr || FEntityStack.Count() > 0) {
    // A second declaration in one text is passed over to its ">".
    FPartEnd = PartEndAt(FPartStart + 9, ">");
    return;
  }
  FDtdStartPos = FPartStart;
  const size_t scanBudget = FBudget;
  FBudget = kMaxExpansion;
  FDeclsInForce = true;
  FPartEnd = ReadDoctype(FPartStart + 9);
  FBudget = scanBudget;
  FDtdEndPos = FPartEnd;
}

void TXmlParser::ScanTag() {
  const char* p = FPartStart + 1;
  FPartKind = pkStartTag;
  if (*p == '/') {
    FPartKind = pkEndTag;
    ++p;
  }
  const char* name = p;
  while (*p != '\0' && !IsWhite(*p) && *p != '/' && *p != '>') ++p;
  FPartName.assign(name, p);
  p = ParseAttrs(p, FPartAttrs);
  if (*p == '/') FPartKind = pkEmptyTag;
  FPartEnd = PartEndAt(p, ">");
  if (FPartKind != pkEndTag) CompleteAttrs();
}

// Declared defaults and #FIXED values, then references, white space by the
// declared type and decoding of every attribute of a start or empty tag.
void TXmlParser::CompleteAttrs() {
  if (const TElemDef* elem = FDeclsInForce ? FElementDefs.Find(FPartName) : nullptr) {
    for (int i = 0; i < elem->Count(); ++i) {
      const TAttrDef* def = elem->Items(i);
      if (!def->Value.empty() && FPartAttrs.IndexOf(def->Name) < 0) {
        FPartAttrs.Add(std::make_unique<TAttr>(def->Name, def->Value, vkDefault));
      }
    }
    for (int i = 0; i < FPartAttrs.Count(); ++i) {
      TAttr* attr = FPartAttrs.Items(i);
      const TAttrDef* def = elem->Find(attr->Name);
      if (def == nullptr) continue;
      if (def->DefaultKind == dkImplied) {
        attr->ValueKind = vkImplied;
      } else if (def->DefaultKind == dkFixed) {
        attr->ValueKind = vkFixed;
        attr->Value = def->Value;
      }
      attr->AttrType = def->AttrType;
    }
  }
  for (int i = 0; i < FPartAttrs.Count(); ++i) {
    TAttr* attr = FPartAttrs.Items(i);
    const std::string value = xml::ReplaceCharRefs(ExpandGeneralRefs(attr->Value, 0));
    const bool cdata = attr->AttrType == atUnknown || attr->AttrType == atCData;
    attr->Value = DecodeText(cdata ? xml::WhiteToBlanks(value) : xml::Collapse(value));
  }
}

// From p: white space, a name, everything up to "=", everything up to a
// quote, the value up to the same quote, again and again until a character
// that cannot start a name. A name without "=" and a quoted value makes the
// reader pass over whatever follows, ">" included, up to the next "=" and
// quote. Returns where it stopped.
const char* TXmlParser::ParseAttrs(const char* p, TAttrList& list) {
  std::vector<std::unique_ptr<TAttr>> found;
  for (;;) {
    while (IsWhite(*p)) ++p;
    if (!xml::IsNameStart(*p)) break;
    const char* name = p;
    while (*p != '\0' && *p != '=' && *p != '/' && *p != '>') ++p;
    auto attr = std::make_unique<TAttr>(std::string(name, p), std::string());
    while (*p != '\0' && *p != '=') ++p;
    while (*p != '\0' && *p != '"' && *p != '\'') ++p;
    if (*p != '\0') {
      const char quote = *p++;
      const char* value = p;
      while (*p != '\0' && *p != quote) ++p;
      attr->Value.assign(value, p);
      if (*p != '\0') ++p;
    }
    found.push_back(std::move(attr));
  }
  list.Assign(std::move(found));
  return p;
}

bool TXmlParser::ScanText() {
  FPartKind = pkText;
  FPartContent.clear();
  const char* p = FPartStart;
  const char* last = FPartStart;  // the last character the part has read
  for (;;) {
    const char* run = p;
    while (*p != '\0' && *p != '<' && *p != '&') ++p;
    if (p != run) {
      FPartContent += DecodeText(std::string(run, p));
      last = p - 1;
    }
    if (*p == '&') {
      p = TextReference(p, last);
    } else if (*p == '\0' && FEntityStack.Count() > 0) {
      p = Leave(FPartStart, last);
    } else {
      break;
    }
  }
  FNext = p;
  FPartEnd = last;
  if (!FNormalizeText) return true;
  FPartContent = xml::Collapse(FPartContent);
  return !FPartContent.empty();
}

// ---- References ----

// A reference in text, at its "&": appends what it stands for, or enters an
// entity's text; returns where reading goes on.
const char* TXmlParser::TextReference(const char* amp, const char*& last) {
  const char* semi = FindSemicolon(amp + 1);
  if (semi == nullptr) {
    last = amp;
    return amp + 1;  // no ";": the "&" is dropped
  }
  last = semi;
  const char* after = semi + 1;
  const std::string_view name(amp + 1, static_cast<size_t>(semi - amp - 1));
  if (!name.empty() && name[0] == '#') {
    FPartContent += xml::CharRefChar(name.substr(1));
    return after;
  }
  if (const char c = PredefinedEntity(name)) {
    FPartContent += c;
    return after;
  }
  const TEntityDef* entity = FDeclsInForce ? FGeneralEntities.Find(name) : nullptr;
  if (entity == nullptr) {
    FPartContent.append(name);
    return after;
  }
  if (FEntityStack.Count() >= kMaxEntityDepth) return after;
  if (!entity->IsExternal()) {
    return Charge(entity->Value.size()) ? EnterText(entity->Value, after) : after;
  }
  std::unique_ptr<TXmlParser> parser =
      OpenExternalEntity(entity->SystemId, entity->PublicId, entity->NotationName);
  const size_t size = parser ? std::string_view(parser->GetBuffer()).size() : 0;
  return Charge(size) ? EnterParser(std::move(parser), after) : after;
}

const char* TXmlParser::FindSemicolon(const char* from) {
  const std::less_equal<const char*> le;
  if (FSemiFrom == nullptr || !le(FSemiFrom, from) || !le(from, FSemiTo)) {
    const char* q = from;
    while (*q != '\0' && *q != ';') ++q;
    FSemiFrom = from;
    FSemiTo = q;
  }
  return *FSemiTo == ';' ? FSemiTo : nullptr;
}

// General entity references in an attribute value, replaced in place; the
// predefined ones, and declared ones by their expanded text. Undeclared ones
// and "&#" references stay as written.
std::string TXmlParser::ExpandGeneralRefs(const std::string& value, int depth) {
  std::string out;
  size_t from = 0;
  for (;;) {
    const size_t amp = value.find('&', from);
    const size_t semi = amp == std::string::npos ? amp : value.find(';', amp + 1);
    if (semi == std::string::npos) break;
    out.append(value, from, amp - from);
    from = semi + 1;
    const std::string_view name(value.data() + amp + 1, semi - amp - 1);
    const TEntityDef* entity = nullptr;
    if (const char c = PredefinedEntity(name)) {
      out += c;
    } else if (name.empty() || name[0] == '#' || !FDeclsInForce ||
               (entity = FGeneralEntities.Find(name)) == nullptr) {
      out.append(value, amp, semi + 1 - amp);
    } else if (depth < kMaxEntityDepth) {
      std::string text = entity->Value;
      if (entity->IsExternal()) {
        std::unique_ptr<TXmlParser> parser =
            OpenExternalEntity(entity->SystemId, entity->PublicId, entity->NotationName);
        text = parser ? parser->GetBuffer() : "";
      }
      if (Charge(text.size())) out += ExpandGeneralRefs(text, depth + 1);
    }
  }
  out.append(value, from, std::string::npos);
  return out;
}

// Parameter entity references "%" name ";" in a declaration's value, each
// replaced by the entity's value expanded again; undeclared ones stay.
std::string TXmlParser::ExpandParamRefs(const std::string& value, int depth) {
  std::string out;
  size_t from = 0;
  size_t at = 0;
  while ((at = value.find('%', at)) != std::string::npos) {
    size_t end = at + 1;
    while (end < value.size() && xml::IsRefNameChar(value[end])) ++end;
    if (end >= value.size() || value[end] != ';') {
      ++at;
      continue;
    }
    const TEntityDef* entity = FParameterEntities.Find(std::string_view(value.data() + at + 1, end - at - 1));
    if (entity != nullptr) {
      out.append(value, from, at - from);
      if (depth < kMaxEntityDepth && Charge(entity->Value.size())) {
        out += ExpandParamRefs(entity->Value, depth + 1);
      }
      from = end + 1;
    }
    at = end + 1;
  }
  out.append(value, from, std::string::npos);
  return out;
}

// Counts entity text against the pass's budget; once it is spent, no
// reference expands any more.
bool TXmlParser::Charge(size_t size) {
  size = std::max<size_t>(size, 1);  // an empty entity still costs its visit
  if (size > FBudget) {
    FBudget = 0;
    return false;
  }
  FBudget -= size;
  return true;
}

const char* TXmlParser::EnterText(const std::string& text, const char* resume) {
  FSemiFrom = FSemiTo = nullptr;
  return FEntityStack.Push(text, resume);
}

const char* TXmlParser::EnterParser(std::unique_ptr<TXmlParser> parser, const char* resume) {
  FSemiFrom = FSemiTo = nullptr;
  return FEntityStack.Push(std::move(parser), resume);
}

const char* TXmlParser::Leave(const char* inUse1, const char* inUse2) {
  FSemiFrom = FSemiTo = nullptr;
  return FEntityStack.Pop(inUse1, inUse2);
}

// ---- Virtual operations ----

std::unique_ptr<TXmlParser> TXmlParser::OpenExternalEntity(const std::string& systemId, const std::string&,
                                                           const std::string&) {
  auto parser = std::make_unique<TXmlParser>();
  if (FSourceName.empty() || FSourceName[0] == '<') return parser;
  std::string path = systemId;
  std::replace(path.begin(), path.end(), '\\', '/');
  if (path.empty() || path[0] != '/') {
    const size_t slash = FSourceName.rfind('/');
    if (slash != std::string::npos) path.insert(0, FSourceName, 0, slash + 1);
  }
  parser->LoadFile(path);
  return parser;
}

std::string TXmlParser::DecodeText(const std::string& text) {
  if (FActiveEncoding != "UTF-8") return text;
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if ((c & 0xF0) == 0xC0 && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[++i]);
      const auto joined = static_cast<unsigned char>((c * 64 + (next & 0x3F)) & 0xFF);
      out += joined == 0 ? ' ' : static_cast<char>(joined);  // a zero would cut the text short
    } else {
      out += '\x80';  // also a lead byte cut off at the end of the text
    }
  }
  return out;
}

void TXmlParser::ReportDtdItem(const TDtdItem&) {}

}  // namespace vltg
