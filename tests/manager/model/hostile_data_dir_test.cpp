// The manager on hostile data directories: started, every page, the routes
// and a new port applied, it changes nothing a planted link or special file
// leads to and loses nothing of a file it cannot read; one Apply replaces
// Config.Dat once; a new file is private whatever the umask.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>
#include <map>

#include "manager/model/misc_settings.h"
#include "manager/model/routing_tables.h"
#include "manager/model/tap_port_list.h"
#include "manager/model/tnpp_settings.h"
#include "manager/model/wctp_settings.h"
#include "tests/support/manager_test.h"
#include "tests/support/run_as_user.h"

namespace vltg::manager {
namespace {

namespace fs = std::filesystem;
using Make = std::function<bool(const fs::path& data, const fs::path& outside)>;

const std::string kConfig =
    "[Tap Ports]\r\nPort1=Alpha\r\n[Alpha]\r\nEnabled=1\r\nDirectAccess=1\r\n[Server]\r\nPassword=secret\r\n";

void Write(const fs::path& path, const std::string& bytes, mode_t mode = 0644) {
  std::ofstream(path, std::ios::binary) << bytes;
  ::chmod(path.c_str(), mode);
}

// Kind, mode, owner and bytes (a link: its text).
std::string Snapshot(const fs::path& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return "missing";
  const std::string head = std::to_string(st.st_mode) + " " + std::to_string(st.st_uid) + " ";
  if (S_ISLNK(st.st_mode)) return head + fs::read_symlink(path).string();
  if (!S_ISREG(st.st_mode)) return head;
  std::ifstream in(path, std::ios::binary);
  return head + std::string(std::istreambuf_iterator<char>(in), {});
}

// Starts the manager, lists the ports, applies the three pages and the
// routes, adds a direct port: what the operator saw, one line each.
std::string RunManager(const fs::path& data) {
  testing::RecordingSink sink;
  const platform::ScManagerHandle none;
  testing::ThreadRunner runner;
  TServiceManager manager(sink, none, data.string(), runner);
  manager.WindowCreated();
  runner.Settle();
  TnppSettings tnpp(manager);
  WctpSettings wctp(manager);
  MiscSettings misc(manager);
  RoutingTables routes(manager);
  TTapPortList ports(manager);
  ports.LoadPorts();
  std::string seen = "ports:";
  for (const auto& item : ports.Items()) seen += item.Caption + ",";
  tnpp.Apply();
  wctp.Apply();
  misc.Apply();
  routes.Apply();
  if (std::optional<TPortDialogModel> form = ports.AddDialog()) {
    form->ModemName = "New";
    form->Data.SetChecked("DirectAccess", true);
    ports.AddPort(form->ModemName, form->Data);
  }
  for (const auto& event : sink.events) seen += "\n" + event;
  return seen;
}

// A link to a file outside that belongs to the ordinary user (made
// only as root), beside a Config.Dat the manager can use.
Make LinkOfAnotherUser(const char* name) {
  return [name](const fs::path& data, const fs::path& outside) {
    if (name != std::string("Config.Dat")) Write(data / "Config.Dat", kConfig);
    Write(outside / "f", "x");
    fs::create_symlink(outside / "f", data / name);
    const auto user = testing::TheOrdinaryUser();
    return testing::RunningAsRoot() && ::lchown((data / name).c_str(), user.uid, user.gid) == 0;
  };
}

class HostileDataDirTest : public testing::ManagerTest {
 protected:
  fs::path data_ = dir_ / "data";
  fs::path outside_ = dir_ / "outside";
};

TEST_F(HostileDataDirTest, NothingOutsideChangesAndNothingTheOperatorHadIsLost) {
  const struct {
    const char* name;
    Make make;             // false: only root can make it
    bool ordinary_user;    // the manager runs as one (nobody, under root)
    std::string refusal;   // said at start and at each write of that file
    std::size_t times;
    std::vector<const char*> kept;
  } rows[] = {
      {"Config.Dat linked outside by another user", LinkOfAnotherUser("Config.Dat"), false,
       "Config.Dat: Symbolic link of another user", 5, {"outside/f", "data/Config.Dat"}},
      {"Route.Dat linked outside by another user", LinkOfAnotherUser("Route.Dat"), false,
       "Route.Dat: Symbolic link of another user", 2, {"outside/f", "data/Route.Dat"}},
      {"Config.Dat linked to a device node (a FIFO where no node can be made)",
       [](auto& data, auto& out) {
         if (::mknod((out / "zero").c_str(), S_IFCHR | 0666, makedev(1, 5)) != 0) ::mkfifo((out / "zero").c_str(), 0666);
         fs::create_symlink(out / "zero", data / "Config.Dat");
         return true;
       },
       false, "Config.Dat: Not a regular file", 5, {"outside/zero", "data/Config.Dat"}},
      {"Config.Dat of root, mode 0600",
       [](auto& data, auto&) { return Write(data / "Config.Dat", kConfig, 0600), testing::RunningAsRoot(); }, true,
       "Config.Dat: Permission denied", 5, {"data/Config.Dat"}},
      {"Config.Dat of the user, mode 000",
       [](auto& data, auto&) {
         const auto user = testing::TheOrdinaryUser();
         Write(data / "Config.Dat", kConfig, 0);
         return ::chown((data / "Config.Dat").c_str(), user.uid, user.gid) == 0;
       },
       true, "Config.Dat: Permission denied", 5, {"data/Config.Dat"}},
      {"Route.Dat of root, mode 0600",
       [](auto& data, auto&) {
         Write(data / "Config.Dat", kConfig, 0666);
         return Write(data / "Route.Dat", "1,SNPP,h,444\r\n2,WCTP,u,0\r\n", 0600), testing::RunningAsRoot();
       },
       true, "Route.Dat: Permission denied", 2, {"data/Route.Dat"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all(data_), fs::remove_all(outside_);
    for (const fs::path& dir : {dir_.Path(), data_, outside_, dir_ / "root"}) {
      fs::create_directories(dir);
      fs::permissions(dir, fs::perms::all);  // any account may plant files here
    }
    if (!row.make(data_, outside_)) continue;  // skipped: not root
    std::map<std::string, std::string> before;
    for (const char* kept : row.kept) before[kept] = Snapshot(dir_ / kept);
    const std::string seen =
        row.ordinary_user ? testing::RunAsOrdinaryUser([&] { return RunManager(data_); }) : RunManager(data_);
    SCOPED_TRACE(seen);
    for (const char* kept : row.kept) EXPECT_EQ(Snapshot(dir_ / kept), before[kept]) << kept;
    const std::string box = "\nbox:Cannot read " + (data_ / row.refusal).string();
    EXPECT_EQ(seen.find(box), seen.find('\n'));  // the first thing said
    std::size_t times = 0;
    for (auto at = seen.find(box); at != std::string::npos; at = seen.find(box, at + 1)) ++times;
    EXPECT_EQ(times, row.times);
  }
}

TEST_F(HostileDataDirTest, AByteOrderMarkHidesNoSectionAndStays) {
  fs::create_directories(data_);
  Write(data_ / "Config.Dat", "\xEF\xBB\xBF" + kConfig);
  EXPECT_EQ(RunManager(data_), "ports:Alpha,");
  const std::string after = dir_.Read("data/Config.Dat");
  EXPECT_EQ(after.substr(0, 3 + 26), "\xEF\xBB\xBF[Tap Ports]\r\nPort1=Alpha\r\n");
  EXPECT_NE(after.find("Password=secret\r\n"), std::string::npos);
}

// The names renamed into the directory while `action` runs.
std::vector<std::string> RenamesInto(const fs::path& dir, const std::function<void()>& action) {
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ::inotify_add_watch(watch, dir.c_str(), IN_MOVED_TO);
  action();
  std::vector<std::string> names;
  alignas(inotify_event) char buffer[65536];
  for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
    for (char* at = buffer; at < buffer + n; at += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(at)->len) {
      names.emplace_back(reinterpret_cast<inotify_event*>(at)->name);
    }
  }
  ::close(watch);
  return names;
}

TEST_F(HostileDataDirTest, OneApplyReplacesTheFileOnceAndANewFileIsPrivate) {
  dir_.Write("Config.Dat", kConfig);
  TnppSettings tnpp(manager_);
  TTapPortList ports(manager_);
  ports.LoadPorts();
  const auto edit_port = [&] {
    std::optional<TPortDialogModel> form = ports.EditDialog(0);
    ASSERT_TRUE(form);
    form->Data.SetText("Password", "changed");
    ports.EditPort(0, form->Data);
  };
  manager_.Logon() = {"op", "pw", false};
  for (const auto& action :
       std::vector<std::function<void()>>{[&] { tnpp.Apply(); }, edit_port, [&] { manager_.Install(); }}) {
    EXPECT_EQ(RenamesInto(dir_.Path(), action), std::vector<std::string>{"Config.Dat"});
  }
  const mode_t umask_before = ::umask(0);
  fs::remove(dir_ / "Config.Dat");
  EXPECT_TRUE(MiscSettings(manager_).Apply());
  EXPECT_TRUE(RoutingTables(manager_).Apply());
  ::umask(umask_before);
  for (const char* name : {"Config.Dat", "Route.Dat"}) {
    EXPECT_EQ(fs::status(dir_ / name).permissions(), platform::kPrivateFileMode) << name;
  }
}

}  // namespace
}  // namespace vltg::manager
