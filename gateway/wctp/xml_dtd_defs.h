#pragma once
// The declarations a document type declaration holds, and the record that
// reports each one as it is read.
#include <cstdint>
#include <string>
#include <utility>

#include "gateway/wctp/nvp_list.h"
#include "gateway/wctp/xml_attr.h"

namespace vltg {

// Declared attribute types (`TAttrDef::AttrType`, `TAttr::AttrType`).
enum : uint8_t {
  atUnknown = 0,
  atCData = 1,
  atId = 2,
  atIdRef = 3,
  atIdRefs = 4,
  atEntity = 5,
  atEntities = 6,
  atNmToken = 7,
  atNmTokens = 8,
  atNotation = 9,
  atEnumeration = 10,
};

// `TAttrDef::DefaultKind`.
enum : uint8_t { dkDefault = 0, dkRequired = 1, dkImplied = 2, dkFixed = 3 };

// `TElemDef::ContentKind`.
enum : uint8_t { ckEmpty = 0, ckAny = 1, ckElements = 2, ckMixed = 3 };

// One attribute of an attribute-list declaration: name, default value.
struct TAttrDef : TNvpNode {
  using TNvpNode::TNvpNode;

  std::string TypeText;      // the type keyword or the enumeration's text
  std::string NotationList;  // the names of a NOTATION type
  uint8_t AttrType = atUnknown;
  uint8_t DefaultKind = dkDefault;
};

// An element declaration with its attribute definitions.
struct TElemDef : TNvpList<TAttrDef> {
  explicit TElemDef(std::string name) : Name(std::move(name)) {}

  std::string Name;
  uint8_t ContentKind = ckAny;
  std::string ContentModel;  // with all white space removed
};

using TElemList = TNvpList<TElemDef>;

// An entity: name, literal value, or the identifiers of an external one.
struct TEntityDef : TNvpNode {
  using TNvpNode::TNvpNode;

  bool IsExternal() const { return !SystemId.empty() || !PublicId.empty(); }

  std::string SystemId;
  std::string PublicId;
  std::string NotationName;
};

// A notation: name, system identifier as value.
struct TNotationDef : TNvpNode {
  using TNvpNode::TNvpNode;

  std::string PublicId;
};

// `TDtdItem::Kind`.
enum : uint8_t {
  dtElement = 0,
  dtAttList = 1,
  dtEntity = 2,
  dtNotation = 3,
  dtPI = 4,
  dtComment = 5,
  dtError = 6,
};

// One item read in a document type declaration, as handed to `ReportDtdItem`.
struct TDtdItem {
  TDtdItem(uint8_t kind, const char* start, const char* end) : Kind(kind), Start(start), End(end) {}

  uint8_t Kind = dtError;
  const char* Start = nullptr;
  const char* End = nullptr;
  const TElemDef* ElemDef = nullptr;        // element and attribute-list items
  const TEntityDef* EntityDef = nullptr;
  const TNotationDef* NotationDef = nullptr;
  std::string Target;                       // processing instructions
  std::string Content;
  const TAttrList* Attrs = nullptr;
};

}  // namespace vltg
