#include "gateway/wctp/xml_external_id.h"

#include "gateway/wctp/xml_text.h"

namespace vltg {

namespace {

// Looks for a quote before the end of the text, ">" or "["; reads the quoted
// text into `out` and moves p past it. False when there is no quote.
bool ReadQuoted(const char*& p, std::string& out) {
  while (*p != '\0' && *p != '>' && *p != '[' && *p != '"' && *p != '\'') ++p;
  if (*p != '"' && *p != '\'') return false;
  const char quote = *p++;
  const char* start = p;
  while (*p != '\0' && *p != quote) ++p;
  out.assign(start, p);
  if (*p != '\0') ++p;
  return true;
}

}  // namespace

TExternalID::TExternalID(const char* p) : Stop(p) {
  if (xml::StartsWith(p, "SYSTEM")) {
    p += 6;
    ReadQuoted(p, SystemId);
  } else if (xml::StartsWith(p, "PUBLIC")) {
    p += 6;
    if (ReadQuoted(p, PublicId)) ReadQuoted(p, SystemId);
  }
  Stop = p;
}

}  // namespace vltg
