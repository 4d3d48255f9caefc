// snpp-peer: a willing SNPP server on 127.0.0.1 for the demo, standing in for
// a paging carrier. It answers every page with 250 and prints each command it
// gets and each page it took, until it is interrupted or terminated.
//
//   snpp-peer [--port-file FILE]
//
// It listens on a free port, printed at start and, when asked, written alone
// to FILE once it listens.
#include <signal.h>

#include <fstream>
#include <iostream>
#include <map>
#include <string>

#include "tests/support/scripted_snpp_server.h"

namespace {

struct PageInProgress {
  std::string pin;
  std::string message;
};

int Usage() {
  std::cerr << "usage: snpp-peer [--port-file FILE]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string port_file;
  if (argc == 3 && std::string(argv[1]) == "--port-file") port_file = argv[2];
  else if (argc != 1) return Usage();

  // The server's thread inherits the mask; the main thread takes the signals.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  std::map<size_t, PageInProgress> pages;  // by connection; touched only by the server's thread
  auto script = [&pages](size_t connection, const std::string& line) {
    PageInProgress& page = pages[connection];
    if (line.empty()) {
      std::cout << "snpp-peer: connection " << connection + 1 << " opened" << std::endl;
    } else {
      std::cout << "snpp-peer: < " << line << std::endl;
      if (line.starts_with("PAGE ")) page.pin = line.substr(5);
      if (line.starts_with("MESS ")) page.message = line.substr(5);
      if (line.starts_with("SEND")) {
        std::cout << "snpp-peer: page for " << page.pin << " delivered: \"" << page.message << "\"" << std::endl;
      }
      if (line.starts_with("QUIT")) pages.erase(connection);
    }
    return vltg::test::StandardSnppAnswer(line);
  };

  try {
    vltg::test::ScriptedSnppServer server(script);
    std::cout << "snpp-peer: listening on 127.0.0.1:" << server.Port() << std::endl;
    if (!port_file.empty()) {
      const std::string temporary = port_file + ".new";
      std::ofstream(temporary) << server.Port() << "\n";
      std::rename(temporary.c_str(), port_file.c_str());
    }
    int signal = 0;
    sigwait(&stop_signals, &signal);
  } catch (const std::exception& e) {
    std::cerr << "snpp-peer: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
