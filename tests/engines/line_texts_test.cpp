#include <gtest/gtest.h>

#include <string>

#include "engines/line_texts.h"
#include "engines/tapi_line.h"
#include "platform/base/exception.h"
#include "platform/telephony/tapi_constants.h"

namespace vltg {
namespace {

using namespace vltg::platform;

std::string RaisedText(std::int32_t result) {
  try {
    CheckLineResult(result, true);
  } catch (const Exception& e) {
    return e.what();
  }
  return "(nothing raised)";
}

TEST(LineTexts, CheckLineResultPassesSuccessAndRequestIds) {
  for (std::int32_t result : {0, 1, 0x7FFFFFFF}) {
    EXPECT_FALSE(CheckLineResult(result, true)) << result;
    std::string buffer = "untouched";
    EXPECT_FALSE(CheckLineResult(result, false, &buffer)) << result;
    EXPECT_EQ(buffer, "untouched");
  }
}

TEST(LineTexts, CheckLineResultNamesErrors) {
  const struct {
    std::uint32_t bits;
    const char* text;
  } cases[] = {
      {0x80000001, "TAPI Line: LINEERR_ALLOCATED"},
      {0x80000003, "TAPI Line: LINEERR_BEARERMODEUNAVAIL"},
      {0x80000004, "Unknown Error - -2147483644"},
      {0x80000005, "TAPI Line: LINEERR_CALLUNAVAIL"},
      {0x8000000C, "TAPI Line: LINEERR_INCOMPATIBLEAPIVERSION"},
      {0x8000000E, "TAPI Line: LINEERR_INIFILECORRUPT"},
      {0x80000020, "TAPI Line: LINEERR_INVALCONFCALLHANDLE"},
      {0x80000030, "TAPI Line: LINEERR_INVALMESSAGEID"},
      {0x80000031, "Unknown Error - -2147483599"},
      {0x80000032, "TAPI Line: LINEERR_INVALPARAM"},
      {0x80000039, "TAPI Line: LINEERR_INVALTERMINALID"},
      {0x80000051, "TAPI Line: LINEERR_USERUSERINFOTOOBIG"},
      {0x80000052, "TAPI Line: LINEERR_REINIT"},
      {0x8000005C, "TAPI Line: LINEERR_DIALVOICEDETECT"},
      {0x8000005D, "Unknown Error - -2147483555"},
      {0x80000000, "Unknown Error - -2147483648"},
      {0xFFFFFFFF, "Unknown Error - -1"},
  };
  for (const auto& c : cases) {
    const auto result = static_cast<std::int32_t>(c.bits);
    EXPECT_EQ(RaisedText(result), c.text);
    std::string buffer;
    EXPECT_TRUE(CheckLineResult(result, false, &buffer));
    EXPECT_EQ(buffer, c.text);
    EXPECT_TRUE(CheckLineResult(result, false));
  }
  // Every value in the list's range is named except its two gaps.
  int named = 0;
  for (std::uint32_t bits = 0x80000001; bits <= 0x8000005C; ++bits) {
    std::string buffer;
    CheckLineResult(static_cast<std::int32_t>(bits), false, &buffer);
    if (buffer.starts_with("TAPI Line: LINEERR_")) ++named;
  }
  EXPECT_EQ(named, 90);
  EXPECT_EQ(LINEERR_NOMEM, static_cast<std::int32_t>(0x80000044));
}

TEST(LineTexts, CallStateTexts) {
  EXPECT_EQ(CallStateText(LINECALLSTATE_IDLE), "IDLE");
  EXPECT_EQ(CallStateText(LINECALLSTATE_OFFERING), "OFFERING");
  EXPECT_EQ(CallStateText(LINECALLSTATE_ONHOLDPENDTRANSFER), "ONHOLDPENDTRANSFER");
  EXPECT_EQ(CallStateText(LINECALLSTATE_UNKNOWN), "UNKNOWN");
  EXPECT_EQ(CallStateText(3), "Unknown (3)");
  EXPECT_EQ(CallStateText(0x10000), "Unknown (65536)");
  EXPECT_EQ(CallStateText(0), "Unknown (0)");

  const struct {
    std::uint32_t state, mode;
    const char* text;
  } details[] = {
      {LINECALLSTATE_BUSY, 0, "Command complete"},
      {LINECALLSTATE_CONNECTED, 0, "Command complete"},
      {LINECALLSTATE_CONNECTED, 5, "Undefined (5)"},
      {LINECALLSTATE_DIALTONE, 0x1, "Dialtone normal"},
      {LINECALLSTATE_DIALTONE, 0x20, "UNAVAIL"},
      {LINECALLSTATE_DIALTONE, 0x40, "Undefined (64)"},
      {LINECALLSTATE_BUSY, 0x2, "TRUNK"},
      {LINECALLSTATE_BUSY, 0x10, "Undefined (16)"},
      {LINECALLSTATE_DISCONNECTED, 0x20, "BUSY"},
      {LINECALLSTATE_DISCONNECTED, 0x1000, "NODIALTONE"},
      {LINECALLSTATE_DISCONNECTED, 0x3, "Undefined (3)"},
      {LINECALLSTATE_OFFERING, 0x1, "Undefined (1)"},
      {LINECALLSTATE_IDLE, 0xFFFFFFFF, "Undefined (4294967295)"},
  };
  for (const auto& d : details) {
    EXPECT_EQ(CallStateDetailText(d.state, d.mode), d.text) << d.state << "/" << d.mode;
  }
}

TEST(LineTexts, CommErrorTextsSingleFlagsOnly) {
  EXPECT_EQ(CommErrorText(0x0002), "A character-buffer overrun has occurred. The next character is lost.");
  EXPECT_EQ(CommErrorText(0x0008), "The hardware detected a framing error.");
  EXPECT_EQ(CommErrorText(0x1000), "Windows 95 only: A parallel device signaled that it is out of paper.");
  EXPECT_EQ(CommErrorText(0x0001),
            "An input buffer overflow has occurred. There is either no room in the input buffer, or a "
            "character was received after the end-of-file (EOF) character.");
  for (std::uint32_t errors : {0x0000u, 0x000Au, 0x0020u, 0x8001u, 0xFFFFFFFFu}) {
    EXPECT_EQ(CommErrorText(errors), "") << errors;
  }
}

}  // namespace
}  // namespace vltg
