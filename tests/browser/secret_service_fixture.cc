#include "browser/secret_service_fixture.h"

#include <sys/stat.h>

#include "platform/file_system.h"

namespace tw::test {
namespace {

constexpr const char* kBusConfig = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

constexpr const char* kKeyringPassword = "tidewell-test";

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out.push_back(c);
    }
  }
  return out + "'";
}

int RunShell(const std::string& command) {
  ChildProcess child = ChildProcess::Spawn({"/bin/sh", "-c", command});
  return child.Wait();
}

}  // namespace

PrivateSecretService::PrivateSecretService(const Sandbox& sandbox)
    : config_(sandbox.Sub("bus.conf")) {
  if (!PathExists("/usr/bin/dbus-daemon") || !PathExists("/usr/bin/dbus-send") ||
      !PathExists("/usr/bin/gnome-keyring-daemon") || !PathExists("/usr/bin/secret-tool")) {
    return;
  }
  WriteFileBytes(config_, kBusConfig);
  const std::string runtime = sandbox.Sub("runtime", true);
  ::chmod(runtime.c_str(), 0700);
  runtime_dir_.emplace("XDG_RUNTIME_DIR", runtime);
  bus_.emplace(ChildProcess::Spawn(
      {"/usr/bin/dbus-daemon", "--config-file=" + config_, "--nofork", "--print-address=1"}));
  std::optional<std::string> address = bus_->ReadLine();
  if (!address || address->empty()) return;
  bus_address_.emplace("DBUS_SESSION_BUS_ADDRESS", *address);
  // The password on standard input makes the login collection and unlocks it.
  keyring_.emplace(ChildProcess::Spawn(
      {"/bin/sh", "-c",
       std::string("printf %s ") + kKeyringPassword +
           " | exec /usr/bin/gnome-keyring-daemon --foreground --unlock --components=secrets"}));
  // Ready once it answers a store.
  running_ = WaitFor([this] { return Store({{"purpose", "ready"}}, "ready"); });
}

PrivateSecretService::~PrivateSecretService() {
  keyring_.reset();
  bus_.reset();
}

bool PrivateSecretService::Store(const std::vector<std::pair<std::string, std::string>>& attributes,
                                 const std::string& secret) {
  std::string command = "printf %s " + ShellQuote(secret) + " | /usr/bin/secret-tool store " +
                        "--label=Tidewell-test";
  for (const auto& [name, value] : attributes) {
    command += " " + ShellQuote(name) + " " + ShellQuote(value);
  }
  return RunShell(command + " 2>/dev/null") == 0;
}

bool PrivateSecretService::LockAll() {
  return RunShell(
             "/usr/bin/dbus-send --session --print-reply --dest=org.freedesktop.secrets "
             "/org/freedesktop/secrets org.freedesktop.Secret.Service.Lock "
             "array:objpath:/org/freedesktop/secrets/collection/login >/dev/null") == 0;
}

}  // namespace tw::test
