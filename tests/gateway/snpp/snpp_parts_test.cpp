#include "gateway/snpp/snpp_parts.h"

#include <gtest/gtest.h>

#include <string>

namespace vltg {
namespace {

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// "word0 word1 ..." of at least `length` characters.
std::string Words(size_t length) {
  std::string text;
  for (int i = 0; text.size() < length; ++i) text += "word" + std::to_string(i % 10) + ' ';
  text.resize(length);
  return text;
}

TEST(SnppParts, ShortMessagesGoWholeInOnePart) {
  EXPECT_EQ(SplitSnppMessage("Hello world", 7, 999).parts, (std::vector<std::string>{"Hello world"}));
  // Exactly the part length: still one part.
  EXPECT_EQ(SplitSnppMessage(std::string(986, 'x'), 7, 999).parts.size(), 1u);
  // No limit.
  EXPECT_EQ(SplitSnppMessage(std::string(5000, 'x'), 7, 0).parts.size(), 1u);
  EXPECT_TRUE(SplitSnppMessage("", 7, 999).parts.empty());
}

TEST(SnppParts, LongMessagesAreCutBackToABlank) {
  const std::string text = Words(1500);
  const auto split = SplitSnppMessage(text, 7, 999);
  ASSERT_EQ(split.parts.size(), 2u);
  const std::string& first = split.parts[0];
  ASSERT_TRUE(EndsWith(first, "   (CONT.)"));  // the kept blank, then the suffix
  EXPECT_LE(first.size(), 966u + 9u);
  EXPECT_TRUE(EndsWith(split.parts[1], " (END)"));
  const std::string body = first.substr(0, first.size() - 9);
  EXPECT_EQ(body + split.parts[1].substr(0, split.parts[1].size() - 6), text);
  EXPECT_EQ(body, text.substr(0, text.rfind(' ', 965) + 1));
}

TEST(SnppParts, TextWithoutABlankIsCutHard) {
  const auto split = SplitSnppMessage(std::string(1000, 'x'), 7, 999);
  ASSERT_EQ(split.parts.size(), 2u);
  EXPECT_EQ(split.parts[0], std::string(966, 'x') + "  (CONT.)");
  EXPECT_EQ(split.parts[1], std::string(34, 'x') + " (END)");
}

TEST(SnppParts, AtMostTwentyPartsTheRestIsDropped) {
  const auto split = SplitSnppMessage(std::string(30000, 'x'), 7, 999);
  ASSERT_EQ(split.parts.size(), 20u);
  for (const auto& part : split.parts) EXPECT_EQ(part, std::string(966, 'x') + "  (CONT.)");
  EXPECT_FALSE(split.no_room);
}

TEST(SnppParts, APartLengthWithoutRoomForTextSendsNothing) {
  // 30 - 7 - 6 = 17 characters, fewer than the 20 kept for number and suffix.
  auto split = SplitSnppMessage(std::string(100, 'x'), 7, 30);
  EXPECT_TRUE(split.no_room);
  EXPECT_TRUE(split.parts.empty());
  split = SplitSnppMessage("x", 2000, 999);
  EXPECT_TRUE(split.no_room);
  // A short message still fits where longer ones would not.
  EXPECT_EQ(SplitSnppMessage("hi", 7, 30).parts, (std::vector<std::string>{"hi"}));
}

TEST(SnppReplies, TextAfterTheCodeAndTwoWayTags) {
  EXPECT_EQ(SnppReplyText("250 Message Sent\r\n"), "Message Sent");
  EXPECT_EQ(SnppReplyText("421 Too\r Busy\n"), "Too Busy");
  EXPECT_EQ(SnppReplyText("250"), "");
  EXPECT_EQ(SnppReplyText(""), "");

  std::string tags;
  EXPECT_EQ(SplitSnppTags("960 1234 5678 Message Queued\r\n", tags), "Message Queued");
  EXPECT_EQ(tags, "1234 5678");
  EXPECT_EQ(SplitSnppTags("960 1234\r\n", tags), "1234");
  EXPECT_EQ(tags, "");
  EXPECT_EQ(SplitSnppTags("960", tags), "");
  EXPECT_EQ(tags, "");
}

TEST(SnppReplies, AReplyIsOneLineOrContinuationLinesAndTheirEnd) {
  using Status = SnppReply::Status;
  struct Case {
    std::string received;
    Status status;
    size_t length;
    std::string last_line;
    std::string text;
  };
  const std::string longest = std::string(31, 'x') + "\n";  // the 32 bytes allowed here
  const Case cases[] = {
      {"250 OK\r\n221 Bye\r\n", Status::kComplete, 8, "250 OK\r\n", "OK"},
      {"250-One\r\n250-\r\n250 Two\n", Status::kComplete, 23, "250 Two\n", "One Two"},
      {"25-x\r\n", Status::kComplete, 6, "25-x\r\n", ""},  // not a three-digit code: no continuation
      {longest, Status::kComplete, 32, longest, std::string(27, 'x')},
      {"250-One\r\n25", Status::kIncomplete, 0, "", ""},
      {std::string(32, 'x'), Status::kTooLong, 0, "", ""},
      {"250-aaaaaaaaaa\r\n250-bbbbbbbbbb\r\n250 end\r\n", Status::kTooLong, 0, "", ""},
  };
  for (const Case& c : cases) {
    const SnppReply reply = ReadSnppReply(c.received, 32);
    EXPECT_EQ(reply.status, c.status) << c.received;
    EXPECT_EQ(reply.length, c.length) << c.received;
    EXPECT_EQ(reply.last_line, c.last_line) << c.received;
    EXPECT_EQ(reply.text, c.text) << c.received;
  }
}

}  // namespace
}  // namespace vltg
