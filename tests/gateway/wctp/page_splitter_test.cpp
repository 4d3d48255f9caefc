// Cutting a page's message into the texts submitted one by one.
#include "gateway/wctp/page_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vltg {
namespace {

using Texts = std::vector<std::string>;

TEST(PageSplitter, OnePartStaysBare) {
  EXPECT_EQ(SplitPage(std::string(999, 'a'), 999), Texts{std::string(999, 'a')});
  EXPECT_EQ(SplitPage("", 999), Texts{""});
  EXPECT_EQ(SplitPage(std::string(5000, 'a'), 0), Texts{std::string(5000, 'a')});   // no splitting
  EXPECT_EQ(SplitPage(std::string(5000, 'a'), -5), Texts{std::string(5000, 'a')});  // as 0
}

TEST(PageSplitter, CutsAtTheLimitOrAfterTheLastBlankThatFits) {
  EXPECT_EQ(SplitPage(std::string(1000, 'a'), 999),
            (Texts{"(1 of 2)  " + std::string(999, 'a') + "  (CONT.)", "(2 of 2)  a (END)"}));
  EXPECT_EQ(SplitPage("hello big world", 10), (Texts{"(1 of 2)  hello big   (CONT.)", "(2 of 2)  world (END)"}));
  // A blank just past the limit does not count; one in the first place does.
  EXPECT_EQ(SplitPage("abcd efgh", 4), (Texts{"(1 of 3)  abcd  (CONT.)", "(2 of 3)     (CONT.)",
                                              "(3 of 3)  efgh (END)"}));
  EXPECT_EQ(SplitPage("ab cdefgh", 4), (Texts{"(1 of 3)  ab   (CONT.)", "(2 of 3)  cdef  (CONT.)",
                                              "(3 of 3)  gh (END)"}));
}

TEST(PageSplitter, TwentyPartsAtMostTheRestIsDropped) {
  Texts parts = SplitPage(std::string(21 * 10, 'x'), 10);
  ASSERT_EQ(parts.size(), 20u);
  EXPECT_EQ(parts[0], "(1 of 20)  xxxxxxxxxx  (CONT.)");
  EXPECT_EQ(parts[19], "(20 of 20)  xxxxxxxxxx  (CONT.)");

  parts = SplitPage(std::string(20 * 10, 'x'), 10);  // exactly twenty
  ASSERT_EQ(parts.size(), 20u);
  EXPECT_EQ(parts[19], "(20 of 20)  xxxxxxxxxx (END)");
}

}  // namespace
}  // namespace vltg
