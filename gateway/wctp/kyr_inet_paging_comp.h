#pragma once
// TKYRInetPagingComp: the WCTP client. It delivers one page to a paging
// carrier: splits the message into parts, writes each part as a WCTP submit
// document, posts it over HTTP or HTTPS, scans the reply and leaves a verdict
// and "name=value" result lines in the request.
//
// One component serves one post at a time (it keeps the last reply and error
// per post): its owner holds a lock around SendPage or gives each delivery a
// component of its own.
#include <chrono>
#include <functional>
#include <string>

#include "gateway/wctp/inet_page_request.h"
#include "gateway/wctp/nx_http.h"
#include "gateway/wctp/nxs_https.h"
#include "gateway/wctp/result_lines.h"
#include "gateway/wctp/xml_parser.h"

namespace vltg {

class TKYRInetPagingComp {
 public:
  // The time of the submit time stamp.
  using TWallClock = std::function<std::chrono::system_clock::time_point()>;
  // Lets the thread's messages through and pauses for that many milliseconds.
  using TSleep = std::function<void(int ms)>;

  // Pacing.
  static constexpr int kCutPauseMs = 10;
  static constexpr int kSubmitPauseMs = 5;
  static constexpr int kPartPauseMs = 1500;
  static constexpr int kReplyStepPauseMs = 1;
  // Seconds a post may take.
  static constexpr int kPostTimeout = 5;

  TKYRInetPagingComp();

  // Real time and platform::SleepPumping unless replaced.
  void SetClock(TWallClock clock) { FClock = std::move(clock); }
  void SetSleep(TSleep sleep) { FSleep = std::move(sleep); }

  // True when every part of the message was accepted. Afterwards the request's
  // Message holds the last part submitted and ReplyText the result lines of
  // the last submission.
  bool SendPage(TInetPageRequest& request);
  // The status of a server certificate that was not trusted but accepted
  // (StrictSSL off) during the last SendPage; empty when there was none.
  const std::string& GetAcceptedCertStatus() const { return FAcceptedCertStatus; }
  // Stores the part as the request's Message and submits it.
  bool SendPart(TInetPageRequest& request, const std::string& part);
  // One submission: validation, document, post, reply scan, result lines.
  bool SubmitMessage(TInetPageRequest& request);
  // Posts the document in `text`; on failure `text` becomes the error text.
  bool PostXml(const TInetPageRequest& request, std::string& text);
  // Whether the reply holds an element of that name (case aside); adds its
  // attributes and text as result lines.
  bool CollectElement(const std::string& elementName, TResultLines& result, TXmlParser& parser);

  // "YYYY-MM-DDTHH:MM:SS" in UTC.
  static std::string FormatTimestamp(std::chrono::system_clock::time_point time);

  // Handlers bound on each post's HTTP components.
  template <class Component>
  void HTTPError(Component& /*Sender*/, int /*ErrorCode*/, const std::string& Description) {
    FLastError = Description;
  }
  void HTTPSSSLServerAuthentication(TnxsHTTPS& Sender, const std::string& CertEncoded, const std::string& CertSubject,
                                    const std::string& CertIssuer, const std::string& Status, bool& Accept);

 private:
  void Sleep(int ms) {
    if (FSleep) FSleep(ms);
  }

  std::string FReplyBody;  // body of the last HTTP reply
  std::string FLastError;  // the last error an HTTP component reported
  bool FStrictSSL = true;
  std::string FAcceptedCertStatus;
  TWallClock FClock;
  TSleep FSleep;
};

}  // namespace vltg
