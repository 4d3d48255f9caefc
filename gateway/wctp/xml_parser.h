#pragma once
// TXmlParser: a small non-validating pull parser over a zero-terminated text
// in memory. Load a text, then ask for the next part again and again; each
// part (declaration, comment, processing instruction, document type
// declaration, tag, text, CDATA section) shows its kind, name, content and
// attributes. A field that a part does not set keeps the previous part's
// value, which the WCTP client relies on to see an element's attributes
// beside its text. The declarations of a document type declaration feed
// attribute defaults and entity references.
//
// Server replies are untrusted: entity expansion is bounded, texts given in
// memory never make the parser read files, and no scan passes the end of
// the text.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "gateway/wctp/nvp_list.h"
#include "gateway/wctp/xml_attr.h"
#include "gateway/wctp/xml_dtd_defs.h"
#include "gateway/wctp/xml_entity_stack.h"

namespace vltg {

// `TXmlParser::GetPartKind`.
enum : uint8_t {
  pkNone = 0,
  pkXmlDecl = 1,
  pkComment = 2,
  pkPI = 3,
  pkDoctype = 4,
  pkStartTag = 5,
  pkEmptyTag = 6,
  pkEndTag = 7,
  pkText = 8,
  pkCData = 9,
};

class TXmlParser {
 public:
  // Deepest nesting of entity texts, and the most entity text one pass
  // through a document (or its document type declaration) may expand; past
  // either bound a reference appends nothing.
  static constexpr int kMaxEntityDepth = 16;
  static constexpr size_t kMaxExpansion = size_t{1} << 20;

  TXmlParser();
  virtual ~TXmlParser();
  TXmlParser(const TXmlParser&) = delete;
  TXmlParser& operator=(const TXmlParser&) = delete;

  // Forgets the text, its declarations and the scan.
  void Clear();
  // Takes a copy of the text, which ends at its first zero byte; the source
  // name becomes "<MEM>".
  void SetBufferText(std::string_view text);
  // Reads the whole file; any failure leaves the parser cleared.
  void LoadFile(const std::string& fileName);

  void ResetScan();
  // Advances to the next part; false at the end of the text. A call after
  // false starts over.
  bool NextPart();

  // A new parser holding the text of an external entity. The system
  // identifier names a file relative to the directory of the source file;
  // a text given in memory gets an empty parser, so a reply received from a
  // server cannot make the gateway read local files.
  virtual std::unique_ptr<TXmlParser> OpenExternalEntity(const std::string& systemId,
                                                         const std::string& publicId,
                                                         const std::string& notationName);
  // The text in the parser's single-byte form: with `ActiveEncoding` exactly
  // "UTF-8", a two-byte sequence whose lead byte is 0xC0-0xCF becomes one
  // character and every other byte from 0x80 up becomes 0x80.
  virtual std::string DecodeText(const std::string& text);
  // Called once per item read in a document type declaration.
  virtual void ReportDtdItem(const TDtdItem& item);

  const char* GetBuffer() const { return FBuffer ? FBuffer.get() : ""; }
  int32_t GetBufferSize() const { return FBufferSize; }
  const std::string& GetSourceName() const { return FSourceName; }
  const std::string& GetXmlDeclVersion() const { return FXmlDeclVersion; }
  const std::string& GetXmlDeclEncoding() const { return FXmlDeclEncoding; }
  bool GetXmlDeclStandalone() const { return FXmlDeclStandalone; }
  const std::string& GetDoctypeName() const { return FDoctypeName; }
  const char* GetDtdEndPos() const { return FDtdEndPos; }
  bool GetNormalizeText() const { return FNormalizeText; }
  void SetNormalizeText(bool value) { FNormalizeText = value; }
  const TEntityStack& GetEntityStack() const { return FEntityStack; }
  const std::string& GetActiveEncoding() const { return FActiveEncoding; }
  const TElemList& GetElementDefs() const { return FElementDefs; }
  const TNvpList<TEntityDef>& GetGeneralEntities() const { return FGeneralEntities; }
  const TNvpList<TEntityDef>& GetParameterEntities() const { return FParameterEntities; }
  const TNvpList<TNotationDef>& GetNotationDefs() const { return FNotationDefs; }
  uint8_t GetPartKind() const { return FPartKind; }
  const std::string& GetPartName() const { return FPartName; }
  const std::string& GetPartContent() const { return FPartContent; }
  const char* GetPartStart() const { return FPartStart; }
  const char* GetPartEnd() const { return FPartEnd; }
  const TAttrList& GetPartAttrs() const { return FPartAttrs; }

 private:
  friend class TEntityStack;

  // Parts.
  void ScanXmlDecl();
  void ScanComment();
  void ScanPI();
  void ScanDoctype();
  void ScanCData();
  void ScanTag();
  bool ScanText();  // false when the part is refused
  void CompleteAttrs();
  const char* ReadPI(const char* p, std::string& target, std::string& content, TAttrList& attrs);
  const char* ParseAttrs(const char* p, TAttrList& list);

  // References.
  const char* TextReference(const char* amp, const char*& last);
  const char* FindSemicolon(const char* from);
  std::string ExpandGeneralRefs(const std::string& value, int depth);
  std::string ExpandParamRefs(const std::string& value, int depth);
  bool Charge(size_t size);
  const char* EnterText(const std::string& text, const char* resume);
  const char* EnterParser(std::unique_ptr<TXmlParser> parser, const char* resume);
  const char* Leave(const char* inUse1 = nullptr, const char* inUse2 = nullptr);

  // Document type declaration.
  const char* ReadDoctype(const char* p);
  void ReadExternalSubset(const std::string& systemId, const std::string& publicId);
  const char* ReadSubset(const char* p, int baseDepth);
  const char* ParamReference(const char* p);
  const char* ReadElementDecl(const char* p);
  const char* ReadAttlistDecl(const char* p);
  const char* ReadEntityDecl(const char* p);
  const char* ReadNotationDecl(const char* p);
  const char* ReadDtdPI(const char* p);
  const char* ReadDtdComment(const char* p);
  void Report(uint8_t kind, const char* start, const char* end);

  void TakeText(std::string_view text);

  std::unique_ptr<char[]> FBuffer;  // exactly the text and its zero byte
  int32_t FBufferSize = 0;
  std::string FSourceName;
  std::string FXmlDeclVersion;
  std::string FXmlDeclEncoding;
  bool FXmlDeclStandalone = false;
  std::string FDoctypeName;
  const char* FDtdStartPos = nullptr;
  const char* FDtdEndPos = nullptr;
  bool FNormalizeText = true;
  TEntityStack FEntityStack{*this};
  std::string FActiveEncoding = "UTF-8";
  TElemList FElementDefs;
  TNvpList<TEntityDef> FGeneralEntities;
  TNvpList<TEntityDef> FParameterEntities;
  TNvpList<TNotationDef> FNotationDefs;
  uint8_t FPartKind = pkNone;
  std::string FPartName;
  std::string FPartContent;
  const char* FPartStart = nullptr;
  const char* FPartEnd = nullptr;
  TAttrList FPartAttrs;

  const char* FNext = nullptr;  // where the next part starts; nullptr: the start of the text
  // Whether this pass has gone past the document type declaration: only then
  // do its declarations apply, so every pass yields what the first one did.
  bool FDeclsInForce = false;
  size_t FBudget = kMaxExpansion;
  // The last search for ";" in text: from FSemiFrom up to FSemiTo (the ";"
  // or the zero byte) there is none, so a run of "&" without ";" costs one
  // scan, not one per "&".
  const char* FSemiFrom = nullptr;
  const char* FSemiTo = nullptr;
};

}  // namespace vltg
