#pragma once
// TInetPageRequest: one page for the WCTP client, as page routing fills it,
// and the result lines of its last submission.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/wctp/short_text.h"

namespace vltg {

// The system identifier of the published WCTP v1r1 document type definition.
inline constexpr std::string_view kWctpDtdSystemId = "http://dtd.wctp.org/wctp-dtd-v1r1.dtd";

struct TInetPageRequest {
  bool NotifyWhenQueued = false;
  bool NotifyWhenDelivered = false;
  bool NotifyWhenRead = false;
  // DTD system identifier; its file name also gives the wctpVersion.
  TShortText<255> DocType = kWctpDtdSystemId;
  // Longest part before the message is split; 0 (or less): no splitting.
  int32_t MaxPartLen = 999;
  // The message; replaced by each part in turn while sending.
  std::string Message;
  TShortText<100> RecipientID;
  TShortText<100> SenderID;
  TShortText<35> SecurityCode;
  TShortText<100> SendResponsesToID;
  bool AllowResponse = false;
  bool Preformatted = false;
  // With a choice source, write the multiple-choice payload even without a choice.
  bool ForceMCR = false;
  // 1 normal, 2 low, any other value high.
  uint8_t Priority = 1;
  TShortText<50> DeliveryBefore;
  TShortText<50> DeliveryAfter;
  TShortText<100> MiscInfo;
  // Response choices, one per entry (not owned); `ChoiceText` wins over it.
  const std::vector<std::string>* ChoiceList = nullptr;
  // Response choices, one per line.
  std::optional<std::string> ChoiceText;
  // Output: the result lines of the last submission, each "name=value" CR LF.
  std::string ReplyText;
  // Server port for plain HTTP; also the proxy port.
  uint16_t HttpPort = 80;
  // Refuse a server certificate whose status is not "OK".
  bool StrictSSL = true;
  // wctp-SubmitRequest instead of wctp-SubmitClientMessage.
  bool UseSubmitRequest = false;
  TShortText<25> MessageID;
  TShortText<35> TransactionID;
  // "http://..." or "https://...".
  TShortText<255> URL;
  // Empty: no proxy.
  TShortText<255> ProxyServer;
  TShortText<50> ProxyUser;
  TShortText<50> ProxyPassword;
};

// A request with the defaults above and every text empty.
std::unique_ptr<TInetPageRequest> NewInetPageRequest();

}  // namespace vltg
