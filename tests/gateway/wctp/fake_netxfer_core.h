#pragma once
// A recording stand-in for a core's entry points: installed into a library
// record for the life of the object, it keeps every call and answers as told.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/netxfer/netxfer_library.h"

namespace vltg::testing {

class FakeNetXferCore {
 public:
  using NxInt = platform::NxInt;

  struct Call {
    Call(std::string entry, NxInt number = 0, NxInt value = 0, NxInt length = 0, std::string text = {},
         bool lengthPlace = false)
        : entry(std::move(entry)), number(number), value(value), length(length), text(std::move(text)),
          lengthPlace(lengthPlace) {}
    std::string entry;  // "Create", "Destroy", "Set", "Get", "Do"
    NxInt number;       // property or method number
    NxInt value;        // Set: the number, or the text's pointer; Destroy: the handle
    NxInt length;       // Set: the length argument; Do: the argument count
    std::string text;   // Set of a text property, or Do's first argument
    bool lengthPlace;   // Get: a length place was passed
    bool operator==(const Call&) const = default;
  };

  // `textProperties` are copied as texts when written.
  FakeNetXferCore(platform::NetXferLibrary& library, std::set<NxInt> textProperties);
  ~FakeNetXferCore();
  FakeNetXferCore(const FakeNetXferCore&) = delete;
  FakeNetXferCore& operator=(const FakeNetXferCore&) = delete;

  // Raises an event through the component's callback, as the core would.
  NxInt Fire(NxInt event, std::vector<NxInt>& argv, std::vector<NxInt>& lengths);
  std::vector<Call> CallsTo(const std::string& entry) const;

  std::vector<Call> calls;
  bool misuse = false;  // an element other than 0, or a null text
  int lastErrorAsked = 0;
  NxInt createResult = 42;
  NxInt setResult = 0;
  NxInt doResult = 0;
  std::string lastError = "The core says no";
  std::string doAnswer;                 // placed after Do's last argument
  std::map<NxInt, NxInt> numbers;       // what Get answers for number properties
  std::map<NxInt, std::string> texts;   // ... and for text properties

 private:
  static NxInt Create(platform::NxEventCallback callback, NxInt user, NxInt reserved);
  static NxInt Destroy(NxInt handle);
  static NxInt Set(NxInt handle, NxInt property, NxInt element, NxInt value, NxInt length);
  static NxInt Get(NxInt handle, NxInt property, NxInt element, NxInt* length);
  static const char* GetLastError(NxInt handle);
  static NxInt Do(NxInt handle, NxInt method, NxInt argc, NxInt* argv, NxInt* lengths);

  platform::NetXferLibrary& library_;
  platform::NetXferLibrary saved_;
  std::set<NxInt> textProperties_;
  platform::NxEventCallback callback_ = nullptr;
  NxInt user_ = 0;
};

}  // namespace vltg::testing
