// The line notifications as both line components receive them: sorted by
// kind, and the idle and connected call states both handle alike.
#include "engines/tapi_line_core.h"

#include <exception>

#include "platform/telephony/line_api.h"
#include "platform/telephony/tapi_constants.h"

namespace vltg {

void TTapiLineCore::DispatchLineMessage(uint32_t hDevice, uint32_t dwMessage, uint32_t dwParam1, uint32_t dwParam2) {
  switch (dwMessage) {
    case platform::LINE_CALLSTATE:
      HandleCallState(hDevice, dwParam1, dwParam2);
      break;
    case platform::LINE_CLOSE:
      HandleLineClose();
      break;
    case platform::LINE_LINEDEVSTATE:
      HandleLineDevState(dwParam1);
      break;
    case platform::LINE_REPLY:
      HandleLineReply(static_cast<int32_t>(dwParam1), static_cast<int32_t>(dwParam2));
      break;
    default:
      break;
  }
}

bool TTapiLineCore::FreeIdleCall() {
  if (FCallHandle != 0 && platform::lineDeallocateCall(FCallHandle) < 0) return false;
  FCallHandle = 0;
  CloseCommHandle();
  return true;
}

TTapiLineCore::TConnectStep TTapiLineCore::ConnectCall(std::string& Failure) {
  if (FDropping || FDevIdToInitialize == kNoDevice || CommAttached()) return TConnectStep::kIgnored;
  try {
    AttachCommHandle();
  } catch (const std::exception&) {
    return TConnectStep::kAttachFailed;
  }
  if (DirectAccess() && !FDirectAccessScript.empty()) {
    try {
      RunDirectAccessScript();
    } catch (const std::exception& e) {
      // A failure other than a modem's answer has no script text of its own.
      Failure = FScriptError.empty() ? e.what() : FScriptError;
      return TConnectStep::kScriptFailed;
    }
  }
  return TConnectStep::kConnected;
}

}  // namespace vltg
