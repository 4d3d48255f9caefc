#pragma once
// The controller's handlers of the TAP engines' and the TNPP link's events:
// each posts one log line, from whatever thread raises the event.
#include "gateway/gateway_log.h"

namespace vltg {

class TKYRTap;
class TKYRTNPP;

// Every logging event of a port's engine (all but OnMsgReceived, which routes
// the page); the lines name the engine's PortName.
void BindTapLogHandlers(TKYRTap& tap, const LogPoster& log);
// Every logging event of the link but OnPortOpened, which starts the sender.
void BindTnppLogHandlers(TKYRTNPP& link, const LogPoster& log);

}  // namespace vltg
