#include "gateway/wctp/wctp_document.h"

#include <algorithm>
#include <vector>

#include "platform/base/ascii_text.h"
#include "platform/base/text_lines.h"

namespace vltg {
namespace {

// Appends one byte, a Latin-1 character from 0x80 up as its two UTF-8 bytes.
void AppendUtf8(std::string& out, char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte < 0x80) {
    out += c;
  } else {
    out += static_cast<char>(0xC0 | (byte >> 6));
    out += static_cast<char>(0x80 | (byte & 0x3F));
  }
}

// Element text: "&", "<" and ">" as references.
std::string Text(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: AppendUtf8(out, c);
    }
  }
  return out;
}

// An attribute value between double quotes: the double quote as well.
std::string AttrValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    if (c == '"') {
      out += "&quot;";
    } else {
      out += Text(std::string_view(&c, 1));
    }
  }
  return out;
}

// The DTD system identifier between double quotes: a URI, which holds no
// references, so a double quote goes in percent-encoded.
std::string SystemLiteral(std::string_view value) {
  std::string out;
  for (char c : value) {
    if (c == '"') {
      out += "%22";
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

class DocumentWriter {
 public:
  void Line(int blanks, std::string_view text) {
    out_.append(static_cast<size_t>(blanks), ' ');
    out_ += text;
    out_ += "\r\n";
  }
  // name="value"
  void Attr(int blanks, std::string_view name, std::string_view value, std::string_view after = "") {
    Line(blanks, std::string(name) + "=\"" + AttrValue(value) + "\"" + std::string(after));
  }
  void AttrIfSet(int blanks, std::string_view name, std::string_view value) {
    if (!value.empty()) Attr(blanks, name, value);
  }
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

// The response choices, or nothing when the request names no source.
bool Choices(const TInetPageRequest& request, std::vector<std::string>& choices) {
  std::string source;
  if (request.ChoiceText) {
    source = *request.ChoiceText;
  } else if (request.ChoiceList) {
    for (const std::string& entry : *request.ChoiceList) source += entry + "\r\n";
  } else {
    return false;
  }
  for (std::string_view line : platform::SplitLines(source)) choices.emplace_back(line);
  return true;
}

}  // namespace

std::string WctpVersion(std::string_view docType) {
  if (docType.empty()) return "wctp-dtd-v1r1";
  std::string name(docType);
  if (size_t at = name.find("//"); at != std::string::npos) name.erase(0, at + 2);
  name += '\\';
  std::replace(name.begin(), name.end(), '/', '\\');
  name.pop_back();
  if (size_t at = name.rfind('\\'); at != std::string::npos) name.erase(0, at + 1);
  std::transform(name.begin(), name.end(), name.begin(), platform::AsciiLower);
  if (size_t at = name.find('v'); at != std::string::npos) name.erase(0, at + 1);

  std::string major;
  if (size_t at = name.find('r'); at != std::string::npos) {
    major = name.substr(0, at);
    name.erase(0, at + 1);
  }
  if (size_t at = name.find('-'); at != std::string::npos) {
    major = name.substr(0, at);
    name.erase(0, at + 1);
  }
  const size_t dot = name.find('.');
  const std::string minor = dot == std::string::npos ? std::string() : name.substr(0, dot);
  return "wctp-dtd-v" + major + "r" + minor;
}

std::string WriteSubmitDocument(const TInetPageRequest& r, std::string_view text, std::string_view timestamp) {
  const bool client = !r.UseSubmitRequest;
  DocumentWriter doc;
  doc.Line(0, "<?xml version=\"1.0\"?>");
  doc.Line(0, "<!DOCTYPE wctp-Operation SYSTEM \"" + SystemLiteral(r.DocType) + "\">");
  doc.Line(0, "<wctp-Operation wctpVersion=\"" + AttrValue(WctpVersion(r.DocType)) + "\">");
  doc.Line(2, client ? "<wctp-SubmitClientMessage>" : "<wctp-SubmitRequest>");
  doc.Line(5, client ? "<wctp-SubmitClientHeader" : "<wctp-SubmitHeader");
  doc.Attr(9, "submitTimestamp", timestamp, ">");

  doc.Line(9, client ? "<wctp-ClientOriginator" : "<wctp-Originator");
  doc.Attr(12, "senderID", r.SenderID);
  if (client) {
    // One miscInfo: the security code when there is one.
    doc.AttrIfSet(12, "miscInfo", r.SecurityCode.empty() ? r.MiscInfo.str() : r.SecurityCode.str());
  } else {
    doc.AttrIfSet(12, "securityCode", r.SecurityCode);
    doc.AttrIfSet(12, "miscInfo", r.MiscInfo);
  }
  doc.Line(9, "/>");

  if (client) {
    doc.Line(9, "<wctp-ClientMessageControl");
  } else {
    doc.Line(9, "<wctp-MessageControl");
    doc.AttrIfSet(12, "messageID", r.MessageID);
    doc.AttrIfSet(12, "transactionID", r.TransactionID);
  }
  if (r.NotifyWhenQueued) doc.Line(14, "notifyWhenQueued=\"true\"");
  if (r.NotifyWhenDelivered) doc.Line(14, "notifyWhenDelivered=\"true\"");
  if (r.NotifyWhenRead) doc.Line(14, "notifyWhenRead=\"true\"");
  doc.AttrIfSet(14, "sendResponsesToID", r.SendResponsesToID);
  doc.AttrIfSet(14, "deliveryAfter", r.DeliveryAfter);
  doc.AttrIfSet(14, "deliveryBefore", r.DeliveryBefore);
  if (r.AllowResponse) doc.Line(14, "allowResponse=\"true\"");
  if (r.Priority == 2) {
    doc.Line(14, "deliveryPriority=\"LOW\"");
  } else if (r.Priority != 1) {
    doc.Line(14, "deliveryPriority=\"HIGH\"");
  }
  if (r.Preformatted) doc.Line(14, "preformatted=\"true\"");
  doc.Line(9, "/>");

  doc.Line(9, "<wctp-Recipient");
  doc.Attr(13, "recipientID", r.RecipientID);
  doc.Line(9, "/>");
  doc.Line(5, client ? "</wctp-SubmitClientHeader>" : "</wctp-SubmitHeader>");

  doc.Line(5, "<wctp-Payload>");
  std::vector<std::string> choices;
  if (Choices(r, choices) && (!choices.empty() || r.ForceMCR)) {
    doc.Line(9, "<wctp-MCR>");
    doc.Line(11, "<wctp-MessageText>" + Text(text) + "</wctp-MessageText>");
    for (const std::string& choice : choices) doc.Line(11, "<wctp-Choice>" + Text(choice) + "</wctp-Choice>");
    doc.Line(9, "</wctp-MCR>");
  } else {
    doc.Line(9, "<wctp-Alphanumeric>" + Text(text) + "</wctp-Alphanumeric>");
  }
  doc.Line(5, "</wctp-Payload>");
  doc.Line(2, client ? "</wctp-SubmitClientMessage>" : "</wctp-SubmitRequest>");
  doc.Line(0, "</wctp-Operation>");
  return doc.Take();
}

}  // namespace vltg
