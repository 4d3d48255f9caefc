// The name-sorted lists the parser keeps attributes and declarations in.
#include "gateway/wctp/nvp_list.h"

#include <gtest/gtest.h>

#include "gateway/wctp/xml_external_id.h"

namespace vltg {
namespace {

std::string Names(const TNvpList<>& list) {
  std::string out;
  for (int i = 0; i < list.Count(); ++i) out += list.NameAt(i) + "=" + list.ValueAt(i) + ";";
  return out;
}

TEST(NvpList, SortedByBytesNewestFirst) {
  TNvpList<> list;
  for (const char* name : {"b", "\xE9", "B", "a", "b", "ab"}) {
    list.Add(std::make_unique<TNvpNode>(name, std::to_string(list.Count())));
  }
  EXPECT_EQ(Names(list), "B=2;a=3;ab=5;b=4;b=0;\xE9=1;");
  EXPECT_EQ(list.Value("b"), "4");
  EXPECT_EQ(list.Value("c"), "");
  EXPECT_EQ(list.IndexOf("B"), 0);
  EXPECT_EQ(list.Find("A"), nullptr);
  EXPECT_EQ(list.NameAt(-1), "");
  EXPECT_EQ(list.ValueAt(list.Count()), "");

  list.Replace(std::make_unique<TNvpNode>("b", "new"));
  list.Replace(std::make_unique<TNvpNode>("c", "added"));
  EXPECT_EQ(Names(list), "B=2;a=3;ab=5;b=new;b=0;c=added;\xE9=1;");

  // Bulk assignment orders like adding one by one.
  std::vector<std::unique_ptr<TNvpNode>> read;
  for (const char* name : {"x", "a", "x", "a"}) {
    read.push_back(std::make_unique<TNvpNode>(name, std::to_string(read.size())));
  }
  list.Assign(std::move(read));
  EXPECT_EQ(Names(list), "a=3;a=1;x=2;x=0;");
}

TEST(NvpList, ClearingReleasesFromLastToFirst) {
  static std::string released;
  struct Node : TNvpNode {
    using TNvpNode::TNvpNode;
    ~Node() override { released += Name; }
  };
  {
    TNvpList<Node> list;
    for (const char* name : {"c", "a", "b"}) list.Add(std::make_unique<Node>(name, ""));
    list.Delete(1);
    EXPECT_EQ(released, "b");
    list.Add(std::make_unique<Node>("d", ""));
  }
  EXPECT_EQ(released, "bdca");
}

TEST(XmlExternalId, SystemAndPublicIdentifiers) {
  const char* text = "SYSTEM 'a.dtd' rest";
  TExternalID system(text);
  EXPECT_EQ(system.SystemId, "a.dtd");
  EXPECT_EQ(system.Stop, text + 14);

  TExternalID both("PUBLIC \"-//P//EN\" 's.dtd'>");
  EXPECT_EQ(both.PublicId, "-//P//EN");
  EXPECT_EQ(both.SystemId, "s.dtd");
  // A second quoted text after ">" or "[" is not the system identifier.
  TExternalID publicOnly("PUBLIC \"p\" [ \"s\"");
  EXPECT_EQ(publicOnly.PublicId, "p");
  EXPECT_EQ(publicOnly.SystemId, "");
  EXPECT_EQ(*publicOnly.Stop, '[');
  TExternalID open("SYSTEM \"unterminated");
  EXPECT_EQ(open.SystemId, "unterminated");
  EXPECT_EQ(*open.Stop, '\0');
}

}  // namespace
}  // namespace vltg
