#pragma once
// What the main window offers its pages and their dialogs: the message sink,
// the data directory's files, Config.Dat read and written with its failures
// shown, the restart prompt after a saved change, and help. The service
// manager is the host; a page needs nothing else of it, so it can be built
// and tested against any host.
#include <functional>
#include <string>
#include <string_view>

#include "manager/model/message_sink.h"
#include "platform/profile/profile_file.h"

namespace vltg::manager {

class PageHost {
 public:
  virtual ~PageHost() = default;

  virtual MessageSink& Sink() = 0;
  // The data directory, "/" and the file name.
  virtual std::string FilePath(std::string_view name) const = 0;
  // Config.Dat for loading what a page shows: a file that exists but cannot
  // be read gives the defaults (the window has said why at its start).
  virtual platform::ProfileFile ConfigToLoad() const = 0;
  // Runs a page's writes on Config.Dat in memory and replaces the file once.
  // A write that fails (a file that cannot be read among them) is shown in an
  // error box, the file left as it was, and false returned, so no success box
  // or restart prompt follows it.
  virtual bool WriteConfig(const std::function<void(platform::ProfileFile& config)>& writes) = 0;
  // After a change was saved: while the gateway was last seen running, asks
  // whether to restart it.
  virtual void RestartPrompt() = 0;
  // The help page of a help context, where there is one.
  virtual void ShowHelp(int context) = 0;
};

}  // namespace vltg::manager
