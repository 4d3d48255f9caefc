#pragma once
// Records every event of an HTTP or HTTPS component as one line each, in the
// order they come, for the tests of the cores' events.
#include <string>
#include <vector>

namespace vltg::testing {

struct NxEventRecord {
  std::vector<std::string> lines;
  bool headers = false;      // record OnHeader too
  bool tlsMessages = false;  // record OnSSLStatus too

  template <class Component>
  void Watch(Component& c) {
    using std::to_string;
    c.OnConnectionStatus = [this](Component&, const std::string& event, int code, const std::string&) {
      lines.push_back("step " + event + (code ? " " + to_string(code) : ""));
    };
    c.OnConnected = [this](Component&, int code, const std::string& text) {
      lines.push_back("connected " + to_string(code) + (code ? " " + text : ""));
    };
    c.OnDisconnected = [this](Component&, int code, const std::string&) {
      lines.push_back("disconnected " + to_string(code));
    };
    c.OnStartTransfer = [this](Component&, int direction) { lines.push_back("start " + to_string(direction)); };
    c.OnTransfer = [this](Component&, int direction, int count, const std::string& piece) {
      lines.push_back("transfer " + to_string(direction) + " " + to_string(count) + " " + piece);
    };
    c.OnEndTransfer = [this](Component&, int direction) { lines.push_back("end " + to_string(direction)); };
    c.OnStatus = [this](Component&, const std::string& version, int code, const std::string& reason) {
      lines.push_back(version + " " + to_string(code) + " " + reason);
    };
    c.OnHeader = [this](Component&, const std::string& field, const std::string& value) {
      if (headers) lines.push_back(field + ": " + value);
    };
    c.OnSetCookie = [this](Component&, const std::string& name, const std::string& value, const std::string& expires,
                           const std::string& domain, const std::string& path, bool secure) {
      lines.push_back("cookie " + name + "=" + value + " expires=" + expires + " domain=" + domain +
                      " path=" + path + (secure ? " secure" : ""));
    };
    c.OnError = [this](Component&, int code, const std::string& text) {
      lines.push_back("error " + to_string(code) + " " + text);
    };
    if constexpr (requires { c.OnSSLStatus; }) {
      c.OnSSLStatus = [this](Component&, const std::string& message) {
        if (tlsMessages) lines.push_back("tls " + message);
      };
    }
  }
};

}  // namespace vltg::testing
