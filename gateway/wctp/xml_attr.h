#pragma once
// An attribute of a parsed part and the part's name-sorted attribute list.
#include <cstdint>
#include <string>
#include <utility>

#include "gateway/wctp/nvp_list.h"

namespace vltg {

// Where an attribute's value came from (`TAttr::ValueKind`).
enum : uint8_t {
  vkWritten = 0,   // written in the tag
  vkImplied = 1,   // declared #IMPLIED
  vkFixed = 2,     // declared #FIXED
  vkDefault = 3,   // supplied from the declared default
};

struct TAttr : TNvpNode {
  TAttr() = default;
  TAttr(std::string name, std::string value, uint8_t valueKind = vkWritten)
      : TNvpNode(std::move(name), std::move(value)), ValueKind(valueKind) {}

  uint8_t ValueKind = vkWritten;
  uint8_t AttrType = 0;  // as `TAttrDef::AttrType`
};

using TAttrList = TNvpList<TAttr>;

}  // namespace vltg
