#include "manager/model/tnpp_settings.h"

#include <array>

#include "manager/model/serial_lists.h"

namespace vltg::manager {

namespace {

constexpr std::array<std::string_view, 2> kCharFormats{"8,N,1", "7,E,1"};
constexpr std::array<std::string_view, 4> kHandshakes{"RTS/CTS", "Xon/Xoff", "Both", "None"};

// In the order the keys are written; the edits are also checked in this order.
const std::array<SettingsField, 17> kTnppFields{{
    {"SourceAddr", &kTnppSourceAddr, "Source Address:", "", {}, "Source Address Can Not Be Blank!"},
    {"BusyRtyTO", &kTnppBusyRtyTO, "Busy Rsp. T.O.:", "Busy Response Time Out", {},
     "Busy Rsp. T.O. Can Not Be Blank!", true},
    {"IdelTO", &kTnppIdelTO, "Idel Rsp. T.O.:", "Idle Response Time Out", {}, "Idle T.O. Can Not Be Blank!", true},
    {"RetryCount", &kTnppRetryCount, "Retry Count:", "Retry Count", {}, "Retry Coun Can Not Be Blank!", true},
    {"KeepAliveTO", &kTnppKeepAliveTO, "Keep Alive T.O.:", "Keep Alive Time Out", {},
     "Keep Alive T.O. Can Not Be Blank!", true},
    {"IntCharTime", &kTnppIntCharTime, "Inter Char. Time:", "Inter Character Time", {},
     "Inter Char Time Can Not Be Blank!", true},
    {"RSHoldRetry", &kTnppRSHoldRetry, "RS Hold Retry:", "RS Hold Retry", {}, "RS Hold Retry Can Not Be Blank!",
     true},
    {"RSHoldTime", &kTnppRSHoldTime, "RS Hold Time:", "RS Hold Time", {}, "RS Hold Time Can Not Be Blank!", true},
    {"ENQRetries", &kTnppENQRetries, "ENQ Retries:", "ENQ Retries", {}, "ENQ Retries Can Not Be Blank!", true},
    {"ENQTO", &kTnppENQTO, "ENQ Rsp. T.O.:", "ENQ Response Time Out", {}, "ENQ T.O. Can Not Be Blank!", true},
    {"UseCom", &kTnppUseCom, "Com Port:", "", ComPortTexts()},
    {"ComSettings", &kTnppComSettings, "Settings:", "", kCharFormats},
    {"HandShake", &kTnppHandShake, "Handshake:", "", kHandshakes},
    {"ComSpeed", &kTnppComSpeed, "Speed:", "", ComSpeedTexts()},
    {"STXInit", &kTnppSTXInit, "Send STX In Initiation", "Send STX In Initiation"},
    {"TRSPCRC", &kTnppTransparentCRC, "Transparent CRC", ""},
    {"EnableSNPP", &kTnppEnableTNPP, "Enable TNPP", ""},
}};

}  // namespace

TnppSettings::TnppSettings(PageHost& host) : SettingsPage(host, kTnppSection, kTnppFields) {}

}  // namespace vltg::manager
