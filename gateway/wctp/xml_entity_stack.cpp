#include "gateway/wctp/xml_entity_stack.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "gateway/wctp/xml_parser.h"

namespace vltg {

TEntityStackNode::TEntityStackNode() = default;
TEntityStackNode::~TEntityStackNode() = default;

bool TEntityStackNode::Holds(const char* p) const {
  if (p == nullptr) return false;
  const char* first = Parser ? Parser->GetBuffer() : Text.get();
  const char* last = Parser ? first + (Parser->GetBufferSize() > 0 ? Parser->GetBufferSize() - 1 : 0)
                            : first + TextSize;
  return std::less_equal<const char*>()(first, p) && std::less_equal<const char*>()(p, last);
}

TEntityStack::TEntityStack(TXmlParser& owner) : owner_(owner) {}
TEntityStack::~TEntityStack() = default;

const char* TEntityStack::PushNode(std::unique_ptr<TEntityStackNode> node, const char* resume) {
  node->Encoding = owner_.FActiveEncoding;
  node->ResumePos = resume;
  nodes_.push_back(std::move(node));
  const TEntityStackNode& top = *nodes_.back();
  if (top.Parser) return top.Parser->GetBuffer();
  return top.Text ? top.Text.get() : "";
}

const char* TEntityStack::Push(std::unique_ptr<TXmlParser> parser, const char* resume) {
  auto node = std::make_unique<TEntityStackNode>();
  node->Parser = std::move(parser);
  return PushNode(std::move(node), resume);
}

const char* TEntityStack::Push(std::string_view text, const char* resume) {
  auto node = std::make_unique<TEntityStackNode>();
  node->Text = std::make_unique<char[]>(text.size() + 1);
  std::copy(text.begin(), text.end(), node->Text.get());
  node->Text[text.size()] = '\0';
  node->TextSize = text.size();
  return PushNode(std::move(node), resume);
}

const char* TEntityStack::Pop(const char* inUse1, const char* inUse2) {
  if (nodes_.empty()) return nullptr;
  std::unique_ptr<TEntityStackNode> node = std::move(nodes_.back());
  nodes_.pop_back();
  if (!node->Encoding.empty()) owner_.FActiveEncoding = node->Encoding;
  const char* resume = node->ResumePos;
  if (node->Holds(inUse1) || node->Holds(inUse2)) kept_.push_back(std::move(node));
  return resume;
}

void TEntityStack::Clear() {
  while (!nodes_.empty()) nodes_.pop_back();
  ReleaseKept();
}

void TEntityStack::ReleaseKept() { kept_.clear(); }

}  // namespace vltg
