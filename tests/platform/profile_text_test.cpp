#include "platform/profile/profile_text.h"

#include <gtest/gtest.h>

#include <string>

namespace vltg::platform {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries EntriesOf(const ProfileText& text, std::string_view section) {
  Entries out;
  for (const auto& e : text.Entries(section)) out.emplace_back(e.name, e.value);
  return out;
}

TEST(ProfileTextRead, NamesMatchWithoutCaseAndTheFirstMatchWins) {
  const ProfileText text(
      "[tap ports]\r\nport2=B\r\nPORT2=second\r\n"
      "[TAP Ports]\r\nPort3=C\r\n");
  EXPECT_EQ(text.Value("Tap Ports", "Port2"), "B");
  // Only the first of two same-named sections is read.
  EXPECT_EQ(text.Value("Tap Ports", "Port3"), std::nullopt);
  EXPECT_EQ(text.SectionNames(), (std::vector<std::string>{"tap ports", "TAP Ports"}));
  // No folding beyond ASCII: bytes above 0x7F compare as they are.
  const ProfileText high("[\xC4]\nk=1\n");
  EXPECT_EQ(high.Value("\xE4", "k"), std::nullopt);
  EXPECT_EQ(high.Value("\xC4", "K"), "1");
}

TEST(ProfileTextRead, TrimsBlanksAndStripsOnePairOfQuotes) {
  const ProfileText text(
      "  [ Misc ]  \n"
      " \tmHeader \t=  Hello World \t\n"
      "dq=\"quoted \"\n"
      "sq='x'\n"
      "twice=\"\"inner\"\"\n"
      "mixed=\"x'\n"
      "lone=\"\n"
      "empty=''\n");
  EXPECT_EQ(text.Value("Misc", "mHeader"), "Hello World");
  EXPECT_EQ(text.Value("Misc", "dq"), "quoted ");
  EXPECT_EQ(text.Value("Misc", "sq"), "x");
  EXPECT_EQ(text.Value("Misc", "twice"), "\"inner\"");
  EXPECT_EQ(text.Value("Misc", "mixed"), "\"x'");
  EXPECT_EQ(text.Value("Misc", "lone"), "\"");
  EXPECT_EQ(text.Value("Misc", "empty"), "");
}

TEST(ProfileTextRead, CommentsMissingAndEmptyValuesAndLengthLimit) {
  const std::string long_value(3000, 'v');
  const ProfileText text(
      "[WCTP]\n"
      ";WCTPSenderID=hidden\n"
      "   ; indented comment=1\n"
      "WCTPMiscSenderInfo=a;b ; c\n"
      "WCTPDocType=\n"
      "no equals sign here\n"
      "=no name\n"
      "long=" + long_value + "\n");
  EXPECT_EQ(text.Value("WCTP", "WCTPSenderID"), std::nullopt);
  EXPECT_EQ(text.Value("WCTP", "; indented comment"), std::nullopt);
  EXPECT_EQ(text.Value("WCTP", "WCTPMiscSenderInfo"), "a;b ; c");
  EXPECT_EQ(text.Value("WCTP", "WCTPDocType"), "");
  EXPECT_EQ(text.Value("WCTP", "missing"), std::nullopt);
  EXPECT_EQ(text.Value("Other", "WCTPDocType"), std::nullopt);
  EXPECT_EQ(text.Value("WCTP", "long")->size(), ProfileText::kMaxValueLength);
}

TEST(ProfileTextRead, ListsKeysInFileOrderAndReadsEveryLineEnding) {
  const ProfileText text(
      "orphan=before any section\r"
      "[Tap Ports]\r\n"
      "Port3=C\n"
      "; Port9=commented\r"
      "Port1 = A\r\n"
      "Port3=again\n"
      "[Next]\n"
      "Port4=D");
  EXPECT_EQ(EntriesOf(text, "tap ports"), (Entries{{"Port3", "C"}, {"Port1", "A"}, {"Port3", "again"}}));
  EXPECT_EQ(EntriesOf(text, "Next"), (Entries{{"Port4", "D"}}));
  EXPECT_TRUE(EntriesOf(text, "Missing").empty());
}

TEST(ProfileTextWrite, ReplacesInPlaceKeepingTheFilesSpelling) {
  ProfileText text("; settings\n[tnpp]\ncomspeed = 1\nUseCom=0\n");
  text.SetValue("TNPP", "ComSpeed", "6");
  EXPECT_EQ(text.Render(), "; settings\r\n[tnpp]\r\ncomspeed=6\r\nUseCom=0\r\n");
}

TEST(ProfileTextWrite, PlacesNewKeysAndSections) {
  ProfileText text("[A]\r\nk1=1\r\n; trailing comment\r\n\r\n[B]\r\nx=1\r\n");
  text.SetValue("a", "k2", "2");
  text.SetValue("C", "Port1", "P");
  EXPECT_EQ(text.Render(),
            "[A]\r\nk1=1\r\nk2=2\r\n; trailing comment\r\n\r\n[B]\r\nx=1\r\n"
            "\r\n[C]\r\nPort1=P\r\n");
  // A section without keys gets its first key right under its header.
  ProfileText empty_section("[E]\r\n; nothing yet\r\n");
  empty_section.SetValue("E", "k", "v");
  EXPECT_EQ(empty_section.Render(), "[E]\r\nk=v\r\n; nothing yet\r\n");
  // A new file starts with its section.
  ProfileText fresh;
  fresh.SetValue("Server", "DefaultLogon", "1");
  EXPECT_EQ(fresh.Render(), "[Server]\r\nDefaultLogon=1\r\n");
}

TEST(ProfileTextWrite, ErasesSectionsAndDeletesKeys) {
  ProfileText text("[Port A]\nEnabled=1\n[Keep]\nk=1\n[PORT A]\nEnabled=0\n[Tap Ports]\nPort1=A\nport1=dup\nPort2=B\n");
  text.EraseSection("port a");
  text.DeleteKey("Tap Ports", "PORT1");
  text.DeleteKey("Tap Ports", "missing");
  text.DeleteKey("Missing", "Port2");
  EXPECT_EQ(text.Render(), "[Keep]\r\nk=1\r\n[Tap Ports]\r\nPort2=B\r\n");
  EXPECT_FALSE(text.HasSection("Port A"));
}

TEST(ProfileTextWrite, RefusesWhatWouldNotReadBack) {
  ProfileText text("[S]\nk=1\n");
  const std::string before = text.Render();
  EXPECT_THROW(text.SetValue("S", "k", "line\r\nEnabled=1"), EProfileError);
  EXPECT_THROW(text.SetValue("S]x", "k", "v"), EProfileError);
  EXPECT_THROW(text.SetValue("", "k", "v"), EProfileError);
  EXPECT_THROW(text.SetValue(" S", "k", "v"), EProfileError);
  EXPECT_THROW(text.SetValue("S", "a=b", "v"), EProfileError);
  EXPECT_THROW(text.SetValue("S", ";k", "v"), EProfileError);
  EXPECT_THROW(text.SetValue("S", "[k", "v"), EProfileError);
  EXPECT_THROW(text.SetValue("S", "k ", "v"), EProfileError);
  EXPECT_EQ(text.Render(), before);
  // Everything else reads back as written.
  text.SetValue("Port [1", "Password", "a=b;c");
  EXPECT_EQ(text.Value("port [1", "password"), "a=b;c");
}

}  // namespace
}  // namespace vltg::platform
