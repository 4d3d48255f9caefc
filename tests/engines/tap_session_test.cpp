#include "engines/tap_session.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engines/tap_chars.h"
#include "engines/tap_reads.h"
#include "platform/messages/clock.h"
#include "tests/support/fake_tap_port.h"

namespace vltg {
namespace {

using namespace tap;
using namespace std::string_literals;
using ::testing::Contains;

const std::string kCRLF{CR, LF};
const std::string kProcessing = "Processing - Please Wait"s + CR + ACK + CR;
const std::string kGoAhead = ESC + "[p"s + CR;
const std::string kAccepted = "Message Submitted For Processing"s + CR + ACK + CR;
const std::string kGoodBye = "Terminal Disconnect - Good Bye"s + CR + ESC + EOT;
const std::string kEotLine{EOT, CR};

struct Page {
  std::string pin, msg, hold, expire;
  bool operator==(const Page&) const = default;
};

// One engine on a scripted port, in auto-advancing virtual time.
struct TapRig {
  TapRig() {
    engine.SetWaitForCall(true);
    engine.OnTapiProgress = [this](TTapSession& sender, const std::string& msg) {
      EXPECT_EQ(&sender, &engine);
      progress.push_back(msg);
    };
  }
  // Pages go to `pages`; a PIN in `refused_pages` is not submitted.
  void CollectPages(std::string refused = "", std::string id = "") {
    engine.OnMsgReceived = [this, refused, id](TTapSession&, const std::string& pin, const std::string& msg,
                                               std::string& page_id, std::string& hold, std::string& expire,
                                               bool& submitted) {
      EXPECT_TRUE(submitted);
      EXPECT_EQ(page_id, "");
      pages.push_back({pin, msg, hold, expire});
      submitted = pin != refused;
      page_id = id;
    };
  }
  void RefusePin(std::string pin) {
    engine.OnAccountVerify = [pin](TTapSession&, const std::string& given, bool& accept) {
      EXPECT_TRUE(accept);
      accept = given != pin;
    };
  }
  // An automatic caller up to its logon line.
  FakeTapPort& LogOn(const std::string& password = "") { return port.Then({CR}).When("ID=", ESC + "PG1"s + password + CR); }
  void Run() {
    port.Connect(engine);
    port.AbortAfter(4 * 3600 * 1000);
    engine.RunTapSession();
  }
  void ExpectSent(const std::string& expected) const {
    EXPECT_EQ(Visible(port.Sent()), Visible(expected)) << port.Transcript();
  }

  platform::ScopedClock clock{std::make_shared<platform::ManualClock>(true)};
  FakeTapPort port;
  TTapSession engine{port};
  std::vector<std::string> progress;
  std::vector<Page> pages;
};

TEST(TapChecksum, GroupsTheByteSumIntoThreeCharacters) {
  EXPECT_EQ(TTapSession::TapChecksum(STX + "123"s + CR + "ABC" + CR + ETX), "17;");  // 0x17B
  EXPECT_EQ(TTapSession::TapChecksum(std::string(10, '\xFF') + '\xC6'), ":;<");      // 0xABC
  EXPECT_EQ(TTapSession::TapChecksum(std::string(13, '\xFF') + '\xFC'), "=>?");      // 0xDEF
  EXPECT_EQ(TTapSession::TapChecksum(std::string(26, '\xFF') + '\xD6'), ":;<");      // 0x1ABC: bit 12 dropped
  EXPECT_EQ(TTapSession::TapChecksum(""), "000");
  EXPECT_EQ(TTapSession::TapChecksum("A"s + '\0' + "B"), "041");  // sums up to a NUL
}

TEST(TapBlockComplete, RecognisesEveryKindOfBlockEnd) {
  EXPECT_TRUE(TapBlockComplete(CallerBlock("1234\rHi\r", ETX)));
  EXPECT_TRUE(TapBlockComplete(CallerBlock("1234\r", ETB)));
  EXPECT_TRUE(TapBlockComplete(CallerBlock("Hel", US)));
  EXPECT_TRUE(TapBlockComplete(kEotLine));
  EXPECT_TRUE(TapBlockComplete(ESC + kEotLine));
  EXPECT_FALSE(TapBlockComplete(STX + "1234"s + CR));  // a field, not yet a block
  EXPECT_FALSE(TapBlockComplete(STX + "12"s + ETB + "3" + CR));
  EXPECT_FALSE(TapBlockComplete(CallerBlock("1234\r", ETB).substr(0, 8)));
}

TEST(TapSession, AutomaticLogonAndOnePageAcceptedWithoutHandlers) {
  TapRig rig;
  rig.LogOn().When(kGoAhead, CallerBlock("1234\rHello\r", ETX)).When(kAccepted, kEotLine);
  rig.Run();
  rig.ExpectSent("ID=" + kProcessing + kGoAhead + kAccepted + kGoAhead + kGoodBye);
  EXPECT_EQ(rig.progress, (std::vector<std::string>{"Logon Accepted", "Verifing Account", "Block Received",
                                                    "Msg. Submitted For Processing - 1234,Hello",
                                                    "Disconnected - Transactions Completed"}));
  EXPECT_EQ(rig.port.Drops(), 1);
}

TEST(TapSession, PasswordLogonAcceptsTheStandardLineAndOneExtraLeadingCharacter) {
  for (const std::string& logon : {ESC + "PG1secret"s + CR, "x"s + ESC + "PG1secret" + CR}) {
    TapRig rig;
    rig.engine.SetTapPassword("secret");
    rig.CollectPages();
    rig.port.Then({CR}).When("ID=", logon).When(kGoAhead, CallerBlock("1234\rHello\r", ETX)).When(kAccepted, ESC + kEotLine);
    rig.Run();
    rig.ExpectSent("ID=" + kProcessing + kGoAhead + kAccepted + kGoAhead + kGoodBye);
    EXPECT_EQ(rig.pages, (std::vector<Page>{{"1234", "Hello", "", ""}}));
  }
}

TEST(TapSession, PageInThreeBlocksIsAnsweredPromptlyAndKeepsTheContinuedField) {
  TapRig rig;
  rig.CollectPages();
  rig.LogOn()
      .When(kGoAhead, CallerBlock("1234\r", ETB))
      .When(kAccepted, CallerBlock("Hello wo", US))
      .When(kAccepted, CallerBlock("rld\r", ETX))
      .When(kGoAhead, kEotLine);
  rig.Run();
  rig.ExpectSent("ID=" + kProcessing + kGoAhead + kAccepted + kAccepted + kAccepted + kGoAhead + kGoodBye);
  EXPECT_EQ(rig.pages, (std::vector<Page>{{"1234", "Hello world", "", ""}}));
  // Each answer follows its block within the poll, not after the 10 s window.
  for (size_t block = 2; block <= 4; ++block) {
    const int64_t delivered = rig.port.DeliveredAt(block);
    EXPECT_LT(rig.port.SentAt(kAccepted, delivered) - delivered, 50) << rig.port.Transcript();
  }
}

TEST(TapSession, NakAnswersForLogonPasswordFramingAndChecksumErrors) {
  TapRig rig;
  rig.engine.SetTapPassword("pw");
  rig.CollectPages();
  std::string bad_checksum = CallerBlock("1234\rHello\r", ETX);
  bad_checksum[bad_checksum.size() - 2] ^= 1;
  rig.port.Then({CR})
      .When("ID=", "xPG2\r")
      .When("Please Resend Login", ESC + "PG1nope\r"s)
      .When("Invalid Logon Password", ESC + "PG1pw\r"s)
      .When(kGoAhead, "garbage\r")
      .When(kGoAhead, bad_checksum)
      .When(kGoAhead, CallerBlock("1234\rHello\r", ETX))
      .When(kAccepted, kEotLine);
  rig.Run();
  rig.ExpectSent("ID=" + "Please Resend Login"s + CR + NAK + CR + "Invalid Logon Password" + CR + NAK + CR +
                 kProcessing + kGoAhead + "Message Rejected - STX or EOT Expected" + CR + NAK + CR + kGoAhead +
                 "Message Rejected - Checksum Error" + CR + NAK + CR + kGoAhead + kAccepted + kGoAhead + kGoodBye);
  EXPECT_EQ(rig.pages.size(), 1u);
  EXPECT_EQ(rig.progress.front(), "Envalid Password Entered! - nope");
}

TEST(TapSession, RsAnswersForRefusedPinRefusedPageAndOverlongMessage) {
  TapRig rig;
  rig.RefusePin("666");
  rig.CollectPages("5555");
  rig.engine.SetMaxMsgLength(5);
  rig.engine.SetTurncateMsgs(false);
  rig.LogOn()
      .When(kGoAhead, CallerBlock("666\rHi\r", ETX))
      .When(kGoAhead, CallerBlock("5555\rHi\r", ETX))
      .When(kGoAhead, CallerBlock("1234\rHello world\r", ETX))
      .When(kGoAhead, kEotLine);
  rig.Run();
  rig.ExpectSent("ID=" + kProcessing + kGoAhead + "Message Rejected - Not A Valid Pin On The System" + RS + CR +
                 kGoAhead + "Message Processing Error - Page Canceled!" + CR + RS + CR + kGoAhead +
                 "Massage Rejected - Message To Long!" + CR + RS + CR + kGoAhead + kGoodBye);
  EXPECT_EQ(rig.pages, (std::vector<Page>{{"5555", "Hi", "", ""}}));
  EXPECT_THAT(rig.progress, Contains("Envalid Pin Entered - 666"));
  EXPECT_THAT(rig.progress, Contains("Msg. Processing Error - 5555,Hi"));
  EXPECT_THAT(rig.progress, Contains("Msg. Message Rejected (To Long) - 1234,Hello world"));
}

TEST(TapSession, MaxMsgLengthZeroOrLessKeepsAllAndOtherwiseTruncates) {
  for (const int32_t limit : {0, -1, 5}) {
    TapRig rig;
    rig.CollectPages();
    rig.engine.SetMaxMsgLength(limit);
    rig.LogOn().When(kGoAhead, CallerBlock("1234\rHello world\r", ETX)).When(kAccepted, kEotLine);
    rig.Run();
    EXPECT_EQ(rig.pages.at(0).msg, limit > 0 ? "Hello" : "Hello world");
  }
}

TEST(TapSession, ThreeStrikesEndTheCall) {
  struct Case {
    std::string name, password;
    std::vector<std::string> lines;  // the caller's lines after "ID=", each after the gateway's answer
    std::string sent, report;
  };
  const std::string resend = "Please Resend Login"s + CR + NAK + CR;
  const std::string invalid = "Invalid Logon Password"s + CR + NAK + CR;
  const std::vector<Case> cases = {
      {"logon", "", {"xA\r", "xB\r", "xC\r"}, resend + resend + resend + "Terminal Disconnect - To Many Login Errors" + CR + ESC + EOT,
       "Disconnected - To Many Login Errors"},
      {"mixed", "pw", {"xA\r", "xPG1a\r", "xPG1b\r"},
       resend + invalid + invalid + "Terminal Disconnect - To Many Errors" + CR + ESC + EOT,
       "Disconnected - To Many Login Errors \"b\""},
      {"silent", "", {}, "Terminal Disconnect"s + CR + ESC + EOT, ""},
  };
  for (const Case& c : cases) {
    TapRig rig;
    rig.engine.SetTapPassword(c.password);
    rig.port.Then({CR});
    std::string after = "ID=";
    for (const std::string& line : c.lines) {
      rig.port.When(after, line);
      after = c.password.empty() || after == "ID=" ? "Please Resend" : "Invalid";
    }
    rig.Run();
    rig.ExpectSent("ID=" + c.sent);
    EXPECT_EQ(rig.progress.empty() ? "" : rig.progress.back(), c.report) << c.name;
    EXPECT_EQ(rig.port.Drops(), 1) << c.name;
  }
}

TEST(TapSession, ThreeEmptyBlockReadsAbortTheTransaction) {
  TapRig rig;
  rig.LogOn();
  rig.Run();
  rig.ExpectSent("ID=" + kProcessing + kGoAhead + kGoAhead + kGoAhead + "Transaction Aborted - To Many Errors" + CR +
                 ESC + EOT);
  EXPECT_EQ(rig.progress.back(), "Disconnected - To Many Errors");
}

TEST(TapSession, ManualHarkDialogue) {
  TapRig rig;
  rig.engine.SetTapPassword("pw");
  rig.engine.SetManualEntryHeader("VLTG");
  rig.RefusePin("9999");
  rig.CollectPages();
  const std::string password_prompt = kCRLF + "Enter System Password, then RETURN. ";
  const std::string pin_prompt = kCRLF + "Enter the Pager ID, then RETURN. ";
  rig.port.Then({CR})
      .When("ID=", "M\r")
      .When(password_prompt, "nope\r")
      .When(password_prompt, "pw\r")
      .When(pin_prompt, "1234\r")
      .When("Message, then RETURN. ", "Hello\r")
      .When(pin_prompt, "9999\r");
  rig.Run();
  rig.ExpectSent("ID=" + kCRLF + kCRLF + "VLTG" + kCRLF + kCRLF + password_prompt + kCRLF + "Invalid Logon Password" +
                 password_prompt + kCRLF + pin_prompt + kCRLF + "Enter the Message, then RETURN. " + kCRLF +
                 "Thank You. Page(s) Sent" + kCRLF + kCRLF + "Hangup now, or " + pin_prompt + kCRLF +
                 "Page Rejected - Not A Valid Pin On The System" + kCRLF + pin_prompt + kCRLF + "Terminal Disconnect");
  EXPECT_EQ(rig.pages, (std::vector<Page>{{"1234", "Hello", "", ""}}));
  EXPECT_EQ(rig.port.Drops(), 1);
}

TEST(TapSession, ManualGlenairDialogue) {
  TapRig rig;
  rig.engine.SetManualEntryType(metGlenair);
  rig.RefusePin("9999");
  rig.CollectPages("5555");
  const std::string pin_prompt = "Enter pager ID(s):" + kCRLF;
  const std::string msg_prompt = kCRLF + "Enter Alphanumeric Message:" + kCRLF;
  const std::string more = "More Pages?" + kCRLF;
  rig.port.Then({CR})
      .When("ID=", "m\r")
      .When(pin_prompt, "9999\r")
      .When(more, "y\r")
      .When(pin_prompt, "1234\r")
      .When(msg_prompt, "Hi\r")
      .When(more, "Y\r")
      .When(pin_prompt, "5555\r")
      .When(msg_prompt, "Yo\r")
      .When(more, "Y\r")
      .When(pin_prompt, "4321\r")
      .When(msg_prompt, "Ok\r")
      .When(more, "n\r");
  rig.Run();
  rig.ExpectSent("ID=" + kCRLF + pin_prompt + "Record not found for ID: 9999" + kCRLF + more + pin_prompt + msg_prompt +
                 kCRLF + more + pin_prompt + msg_prompt + kCRLF + "Record not found for ID: 5555" + kCRLF + more +
                 kCRLF + pin_prompt + msg_prompt + kCRLF + more + "Good Bye" + kCRLF);
  EXPECT_EQ(rig.pages.size(), 3u);
  EXPECT_EQ(rig.port.Drops(), 1);
}

TEST(TapSession, EtapOptions) {
  struct Case {
    bool etap, handlers;
    std::string message, answer, calls;
    std::vector<Page> pages;
  };
  const std::string ack{CR, ACK, CR}, rs{CR, RS, CR};
  const std::string no_replace = "Message replace failed - schedule option not allowed ";
  const std::vector<Case> cases = {
      {false, true, "Hello)#*&(V1234+", kAccepted, "", {{"1234", "Hello", "", ""}}},
      {true, true, "Hello)#*&(CV1234+S 0800-x", "Message 42" + ack, "", {{"1234", "Hello", " 0800-", "1234+"}}},
      {true, true, "Hello", "Message 42" + ack, "", {{"1234", "Hello", "", ""}}},
      {true, true, "x)#*&(D55", "Message 55 done" + ack, "Delete 1234 55 0;", {}},
      {true, false, "x)#*&(D55", "Message 55 " + rs, "", {}},
      {true, true, "x)#*&(Q7", "Message 7 done" + ack, "Confirm 1234 7 1;", {}},
      {true, false, "x)#*&(Q7", "Message 7 " + ack, "", {}},
      {true, true, "x)#*&(V 12+R123abc", "Message 123 done" + ack, "Replace 1234 123 x 12+  0 1;", {}},
      {true, false, "x)#*&(R123", no_replace + rs, "", {}},
      {true, true, "x)#*&(U9S5", "Message 9 done" + ack, "Update 1234 9 x  5 1 0;", {}},
      {true, false, "x)#*&(U9", no_replace + ack, "", {}},
  };
  for (const Case& c : cases) {
    TapRig rig;
    rig.engine.SetETAP(c.etap);
    rig.CollectPages("", "42");
    std::string calls;
    if (c.handlers) {
      auto data = [&calls](const char* name) {
        return [&calls, name](TTapSession&, std::string& pin, std::string& id, std::string& data, bool& completed) {
          calls += std::string(name) + " " + pin + " " + id + " " + std::to_string(completed) + ";";
          data = "done";
          completed = true;
        };
      };
      auto update = [&calls](const char* name) {
        return [&calls, name](TTapSession&, std::string& pin, std::string& id, std::string& rsp, std::string& msg,
                              std::string& valid, std::string& hold, bool& completed, bool replace) {
          calls += std::string(name) + " " + pin + " " + id + " " + msg + " " + valid + " " + hold + " " +
                   std::to_string(completed) + " " + std::to_string(replace) + ";";
          rsp = "done";
          completed = true;
        };
      };
      rig.engine.ETAPDelete = data("Delete");
      rig.engine.ETAPConfirm = data("Confirm");
      rig.engine.ETAPReplace = update("Replace");
      rig.engine.ETAPUpdate = update("Update");
    }
    rig.LogOn().When(kGoAhead, CallerBlock("1234\r" + c.message + "\r", ETX)).When(kGoAhead, kEotLine);
    rig.Run();
    rig.ExpectSent("ID=" + kProcessing + kGoAhead + c.answer + kGoAhead + kGoodBye);
    EXPECT_EQ(calls, c.calls) << c.message;
    EXPECT_EQ(rig.pages, c.pages) << c.message;
  }
}

TEST(TapSession, DirectAccessServesCallerAfterCallerUntilAnsweringStops) {
  TapRig rig;
  rig.engine.SetDeviceDirectAccess(true);
  rig.engine.SetComPort(3);
  rig.CollectPages();
  rig.LogOn().When(kGoAhead, CallerBlock("1\rA\r", ETX)).When(kAccepted, kEotLine);
  rig.port.When(kGoodBye, {CR}, 35000)  // the next caller, after three silent windows
      .When("ID=", ESC + "PG1\r"s)
      .When(kGoAhead, CallerBlock("2\rB\r", ETX))
      .When(kAccepted, kEotLine)
      .StopAnsweringAfter(25000);
  rig.Run();
  const std::string call = "ID=" + kProcessing + kGoAhead + kAccepted + kGoAhead + kGoodBye;
  rig.ExpectSent(call + call);
  EXPECT_EQ(rig.progress.front(), "Direct Access Port COM3 Open!");
  EXPECT_EQ(rig.pages, (std::vector<Page>{{"1", "A", "", ""}, {"2", "B", "", ""}}));
  EXPECT_EQ(rig.port.Drops(), 0);
}

TEST(TapSession, EndingsWithoutAnAnswer) {
  {  // An answered call that never sends a CR is dropped.
    TapRig rig;
    rig.Run();
    rig.ExpectSent("");
    EXPECT_EQ(rig.port.Drops(), 1);
  }
  {  // A logon that is not a paging logon goes to the owner; the call stays.
    TapRig rig;
    std::string login;
    rig.engine.OnNoPageLogin = [&](TTapSession&, const std::string& text) { login = text; };
    rig.port.Then({CR}).When("ID=", "xLOGIN bob\r");
    rig.Run();
    rig.ExpectSent("ID=");
    EXPECT_EQ(login, "LOGIN bob\r");
    EXPECT_EQ(rig.port.Drops(), 0);
  }
  {  // A delivery that raises drops the call without an answer.
    TapRig rig;
    rig.engine.OnMsgReceived = [](TTapSession&, const std::string&, const std::string&, std::string&, std::string&,
                                  std::string&, bool&) { throw std::runtime_error("no route"); };
    rig.LogOn().When(kGoAhead, CallerBlock("1\rA\r", ETX));
    rig.Run();
    rig.ExpectSent("ID=" + kProcessing + kGoAhead);
    EXPECT_EQ(rig.port.Drops(), 1);
  }
  {  // An unexpected failure ends the dialogue and drops an answered call.
    TapRig rig;
    rig.engine.OnAccountVerify = [](TTapSession&, const std::string&, bool&) { throw std::runtime_error("broken"); };
    rig.LogOn().When(kGoAhead, CallerBlock("1\rA\r", ETX));
    rig.Run();
    rig.ExpectSent("ID=" + kProcessing + kGoAhead);
    EXPECT_EQ(rig.port.Drops(), 1);
  }
  {  // A failing flush while waiting for the caller is retried.
    TapRig rig;
    rig.port.FailFlushes(2);
    rig.LogOn().When(kGoAhead, kEotLine);
    rig.Run();
    rig.ExpectSent("ID=" + kProcessing + kGoAhead + kGoodBye);
  }
  {  // A caller who hangs up mid-page: the dialogue notices and drops.
    TapRig rig;
    rig.LogOn().HangUpWhen(kGoAhead);
    rig.Run();
    rig.ExpectSent("ID=" + kProcessing + kGoAhead);
    EXPECT_EQ(rig.port.Drops(), 1);
  }
}

}  // namespace
}  // namespace vltg
