#include "tests/gateway/wctp/fake_netxfer_core.h"

#include <stdexcept>

namespace vltg::testing {
namespace {
FakeNetXferCore* current = nullptr;
using NxInt = platform::NxInt;
}

FakeNetXferCore::FakeNetXferCore(platform::NetXferLibrary& library, std::set<NxInt> textProperties)
    : library_(library), saved_(library), textProperties_(std::move(textProperties)) {
  if (current) throw std::logic_error("one fake core at a time");
  current = this;
  library_ = platform::NetXferLibrary{&Create, &Destroy, &Set, &Get, &GetLastError, nullptr, &Do};
}

FakeNetXferCore::~FakeNetXferCore() {
  library_ = saved_;
  current = nullptr;
}

NxInt FakeNetXferCore::Fire(NxInt event, std::vector<NxInt>& argv, std::vector<NxInt>& lengths) {
  return callback_(user_, event, static_cast<NxInt>(argv.size()), argv.data(), lengths.data());
}

std::vector<FakeNetXferCore::Call> FakeNetXferCore::CallsTo(const std::string& entry) const {
  std::vector<Call> found;
  for (const Call& call : calls) {
    if (call.entry == entry) found.push_back(call);
  }
  return found;
}

NxInt FakeNetXferCore::Create(platform::NxEventCallback callback, NxInt user, NxInt) {
  current->callback_ = callback;
  current->user_ = user;
  current->calls.push_back({"Create"});
  return current->createResult;
}

NxInt FakeNetXferCore::Destroy(NxInt handle) {
  current->calls.push_back({"Destroy", 0, handle});
  return 0;
}

NxInt FakeNetXferCore::Set(NxInt, NxInt property, NxInt element, NxInt value, NxInt length) {
  Call call{"Set", property, value, length};
  const char* text = reinterpret_cast<const char*>(value);
  if (element != 0 || (current->textProperties_.count(property) && !text)) {
    current->misuse = true;
  } else if (current->textProperties_.count(property)) {
    call.text = length > 0 ? std::string(text, static_cast<size_t>(length)) : std::string(text);
  }
  current->calls.push_back(call);
  return current->setResult;
}

NxInt FakeNetXferCore::Get(NxInt, NxInt property, NxInt element, NxInt* length) {
  if (element != 0) current->misuse = true;
  current->calls.push_back({"Get", property, 0, 0, {}, length != nullptr});
  auto text = current->texts.find(property);
  if (text == current->texts.end()) return current->numbers[property];
  if (length) *length = static_cast<NxInt>(text->second.size());
  return reinterpret_cast<NxInt>(text->second.c_str());
}

const char* FakeNetXferCore::GetLastError(NxInt) {
  ++current->lastErrorAsked;
  return current->lastError.c_str();
}

NxInt FakeNetXferCore::Do(NxInt, NxInt method, NxInt argc, NxInt* argv, NxInt*) {
  Call call{"Do", method, 0, argc};
  if (argc > 0) call.text = reinterpret_cast<const char*>(argv[0]);
  current->calls.push_back(call);
  if (argc > 0) argv[argc] = reinterpret_cast<NxInt>(current->doAnswer.c_str());
  return current->doResult;
}

}  // namespace vltg::testing
