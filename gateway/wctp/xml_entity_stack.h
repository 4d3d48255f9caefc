#pragma once
// Where the XML parser returns to when the text of an entity it is reading
// ends.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vltg {

class TXmlParser;

struct TEntityStackNode {
  TEntityStackNode();
  ~TEntityStackNode();

  // Whether p points into the text this node keeps alive.
  bool Holds(const char* p) const;

  std::unique_ptr<TXmlParser> Parser;  // the external entity's parser, or none
  std::unique_ptr<char[]> Text;        // a literal entity's text while it is read
  size_t TextSize = 0;
  std::string Encoding;                // the `ActiveEncoding` to restore
  const char* ResumePos = nullptr;
};

class TEntityStack {
 public:
  explicit TEntityStack(TXmlParser& owner);
  ~TEntityStack();
  TEntityStack(const TEntityStack&) = delete;
  TEntityStack& operator=(const TEntityStack&) = delete;

  // Both record the owner's `ActiveEncoding` and return where the entity's
  // text begins. An absent parser reads as an empty text.
  const char* Push(std::unique_ptr<TXmlParser> parser, const char* resume);
  const char* Push(std::string_view text, const char* resume);

  // Releases the top node, restores its saved encoding and returns its resume
  // position; nullptr when the stack is empty. A node whose text holds one of
  // `inUse` is kept alive until `ReleaseKept`, so positions that the current
  // part still reports stay valid.
  const char* Pop(const char* inUse1 = nullptr, const char* inUse2 = nullptr);

  void Clear();
  void ReleaseKept();

  int Count() const { return static_cast<int>(nodes_.size()); }
  // The resume position of the outermost node (nullptr when empty).
  const char* BottomResume() const { return nodes_.empty() ? nullptr : nodes_.front()->ResumePos; }

 private:
  const char* PushNode(std::unique_ptr<TEntityStackNode> node, const char* resume);

  TXmlParser& owner_;
  std::vector<std::unique_ptr<TEntityStackNode>> nodes_;
  std::vector<std::unique_ptr<TEntityStackNode>> kept_;
};

}  // namespace vltg
