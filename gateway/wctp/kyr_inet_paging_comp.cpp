#include "gateway/wctp/kyr_inet_paging_comp.h"

#include <cstdio>
#include <ctime>
#include <exception>
#include <memory>

#include "gateway/wctp/page_splitter.h"
#include "gateway/wctp/wctp_document.h"
#include "platform/base/ascii_text.h"
#include "platform/base/text_lines.h"
#include "platform/messages/message_queue.h"

namespace vltg {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = platform::AsciiLower(c);
  return out;
}

// Checked in this order before anything is sent; empty when the request will do.
std::string ValidationError(const TInetPageRequest& r) {
  if (r.Message.empty()) return "No Message To Send!";
  if (r.RecipientID.empty()) return "PIN Required!";
  if (r.URL.empty()) return "No Server Specified!";
  const std::string url = Lower(r.URL.str());
  if (url.find("http://") == std::string::npos && url.find("https://") == std::string::npos) {
    return "http:// or https:// Required In URL!";
  }
  return {};
}

std::string WithoutAmpersandsAndPercents(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c != '&' && c != '%') out += c;
  }
  return out;
}

// The reply as lines, each ended by CR LF (the parser's text).
std::string ReplyAsLines(const std::string& body) {
  std::string text;
  for (std::string_view line : platform::SplitLines(body)) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace

TKYRInetPagingComp::TKYRInetPagingComp()
    : FClock([] { return std::chrono::system_clock::now(); }),
      FSleep([](int ms) { platform::SleepPumping(ms); }) {}

bool TKYRInetPagingComp::SendPage(TInetPageRequest& request) {
  FAcceptedCertStatus.clear();
  const std::vector<std::string> parts = SplitPage(request.Message, request.MaxPartLen);
  for (size_t i = 0; i < parts.size(); ++i) Sleep(kCutPauseMs);
  for (const std::string& part : parts) {
    if (!SendPart(request, part)) return false;
    if (parts.size() > 1) Sleep(kPartPauseMs);
  }
  return true;
}

bool TKYRInetPagingComp::SendPart(TInetPageRequest& request, const std::string& part) {
  request.Message = part;
  return SubmitMessage(request);
}

bool TKYRInetPagingComp::SubmitMessage(TInetPageRequest& request) {
  if (const std::string error = ValidationError(request); !error.empty()) {
    request.ReplyText = "errorText=" + error + "\r\n";
    return false;
  }
  Sleep(kSubmitPauseMs);
  const std::string text = WithoutAmpersandsAndPercents(request.Message);
  const auto now = FClock ? FClock() : std::chrono::system_clock::now();
  std::string post = WriteSubmitDocument(request, text, FormatTimestamp(now));

  TResultLines lines;
  const bool posted = PostXml(request, post);
  TXmlParser parser;
  parser.SetBufferText(ReplyAsLines(FReplyBody));
  if (!posted) lines.Add("errorText=" + post);

  bool result = false;
  const std::string success = request.UseSubmitRequest ? "wctp-Success" : "wctp-ClientSuccess";
  if (CollectElement(success, lines, parser)) {
    result = true;
    if (request.UseSubmitRequest) lines.Add("trackingNumber=" + request.MessageID.str());
  } else if (!CollectElement("wctp-Failure", lines, parser)) {
    CollectElement("wctp-Error", lines, parser);
  }
  request.ReplyText = lines.Text();
  return result;
}

bool TKYRInetPagingComp::PostXml(const TInetPageRequest& request, std::string& text) {
  FReplyBody.clear();
  FLastError.clear();
  FStrictSSL = request.StrictSSL;
  // Both live for this post alone and go in every case; a core that makes no
  // component fails the post like any other error.
  std::unique_ptr<TnxsHTTPS> https;
  std::unique_ptr<TnxHTTP> http;
  try {
    https = std::make_unique<TnxsHTTPS>();
    http = std::make_unique<TnxHTTP>();
  } catch (const std::exception& e) {
    text = e.what();
    return false;
  }
  http->OnError = [this](TnxHTTP& sender, int code, const std::string& description) {
    HTTPError(sender, code, description);
  };
  https->OnError = [this](TnxsHTTPS& sender, int code, const std::string& description) {
    HTTPError(sender, code, description);
  };
  https->OnSSLServerAuthentication = [this](TnxsHTTPS& sender, const std::string& cert, const std::string& subject,
                                            const std::string& issuer, const std::string& status, bool& accept) {
    HTTPSSSLServerAuthentication(sender, cert, subject, issuer, status, accept);
  };

  const std::string& url = request.URL;
  const bool secure = platform::EqualsIgnoreCase(std::string_view(url).substr(0, 5), "https");
  try {
    http->SetServerPort(request.HttpPort);
    http->SetURL(url);
    https->SetURL(url);
    https->ClearState();
    http->ClearState();
    http->SetTimeout(kPostTimeout);
    https->SetTimeout(kPostTimeout);
    if (!request.ProxyServer.empty()) {
      auto proxy = [&request](auto& component) {
        component.SetProxyServer(request.ProxyServer);
        component.SetProxyPassword(request.ProxyPassword);
        component.SetProxyUser(request.ProxyUser);
        component.SetProxyPort(request.HttpPort);
      };
      proxy(*http);
      proxy(*https);
    }
    auto prepare = [](auto& component) {
      component.SetPostContentType("text/xml");
      component.SetOption("MaxTransferredData=0");
      component.SetLocalFile("");
    };
    prepare(*http);
    prepare(*https);
    auto post = [&](auto& component) {
      component.SetPostBody(text);
      component.PostTo(url);
      FReplyBody = component.GetReplyBody();
    };
    if (secure) {
      post(*https);
    } else {
      post(*http);
    }
  } catch (const std::exception&) {
    text = FLastError.empty() ? "Error Connecting To Server!" : FLastError;
    return false;
  }
  return true;
}

bool TKYRInetPagingComp::CollectElement(const std::string& elementName, TResultLines& result, TXmlParser& parser) {
  bool found = false;
  parser.ResetScan();
  while (parser.NextPart()) {
    Sleep(kReplyStepPauseMs);
    // The element's tags, and the parts after them that keep its name and
    // attributes (its text, comments).
    if (!platform::EqualsIgnoreCase(parser.GetPartName(), elementName)) continue;
    found = true;
    const TAttrList& attrs = parser.GetPartAttrs();
    for (int i = 0; i < attrs.Count(); ++i) {
      Sleep(kReplyStepPauseMs);
      result.Add(attrs.NameAt(i) + "=" + attrs.ValueAt(i));
    }
    if (!parser.GetPartContent().empty()) {
      std::string content;
      for (char c : parser.GetPartContent()) {
        if (c == '\r') {
          content += ' ';
        } else if (c != '\n') {
          content += c;
        }
      }
      result.Add("Content=" + content);
    }
  }
  return found;
}

std::string TKYRInetPagingComp::FormatTimestamp(std::chrono::system_clock::time_point time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                utc.tm_hour, utc.tm_min, utc.tm_sec);
  return text;
}

void TKYRInetPagingComp::HTTPSSSLServerAuthentication(TnxsHTTPS& /*Sender*/, const std::string& /*CertEncoded*/,
                                                      const std::string& /*CertSubject*/,
                                                      const std::string& /*CertIssuer*/, const std::string& Status,
                                                      bool& Accept) {
  if (Status == "OK") return;
  FLastError = Status;
  Accept = !FStrictSSL;
  if (Accept && FAcceptedCertStatus.empty()) FAcceptedCertStatus = Status;
}

}  // namespace vltg
