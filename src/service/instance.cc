#include "service/instance.h"

#include <chrono>
#include <random>
#include <thread>

#include "platform/file_system.h"
#include "platform/url.h"
#include "platform/user_dirs.h"

namespace tw::service {
namespace {

constexpr std::string_view kLockFile = "serve.lock";
constexpr std::string_view kSecretFile = "secret";
constexpr std::string_view kAddressFile = "url";
constexpr size_t kSecretBytes = 32;
constexpr size_t kMaxSmallFile = 4096;
constexpr uint32_t kOwnerOnly = 0600;

Result<std::string> ReadSmallFile(const std::string& path) {
  Result<File> file = File::Open(path, OpenOptions{});
  if (!file.ok()) return file.error();
  std::string text(kMaxSmallFile, '\0');
  Result<size_t> got = file->Read(text.data(), text.size());
  if (!got.ok()) return got.error();
  text.resize(*got);
  return text;
}

// Replaces the file whole, readable by the user alone from the start.
Error WritePrivateFile(const std::string& path, const std::string& text) {
  Result<AtomicFileWriter> writer = AtomicFileWriter::Begin(path);
  if (!writer.ok()) return writer.error();
  if (Error e = writer->file().SetPermissions(kOwnerOnly)) return e;
  if (Error e = writer->file().WriteAll(text)) return e;
  return writer->Commit(AtomicFileWriter::Publish::kReplace);
}

bool IsSecret(std::string_view text) {
  if (text.size() != kSecretBytes * 2) return false;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

std::string FirstLine(std::string_view text) {
  return std::string(text.substr(0, text.find('\n')));
}

}  // namespace

Result<ServiceInstance> ServiceInstance::Claim() {
  Result<std::string> folder = PrivateRuntimeDir();
  if (!folder.ok()) return folder.error();
  Result<File> lock =
      File::Open(JoinPath(*folder, kLockFile),
                 OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kOpenAlways});
  if (!lock.ok()) return lock.error();
  ServiceInstance instance(*folder, std::move(*lock));
  // An address left by a service that was killed is not ours.
  instance.Withdraw();
  return instance;
}

Result<std::string> ServiceInstance::Secret() const {
  const std::string path = JoinPath(folder_, kSecretFile);
  if (Result<std::string> kept = ReadSmallFile(path); kept.ok() && IsSecret(FirstLine(*kept))) {
    return FirstLine(*kept);
  }
  std::random_device random;  // the kernel's random source
  constexpr char kHex[] = "0123456789abcdef";
  std::string secret;
  for (size_t i = 0; i < kSecretBytes; ++i) {
    const unsigned byte = random() & 0xff;
    secret += kHex[byte >> 4];
    secret += kHex[byte & 0xf];
  }
  if (Error e = WritePrivateFile(path, secret + "\n")) return e;
  return secret;
}

Error ServiceInstance::PublishAddress(const std::string& address) const {
  return WritePrivateFile(JoinPath(folder_, kAddressFile), address + "\n");
}

void ServiceInstance::Withdraw() const { (void)DeleteFile(JoinPath(folder_, kAddressFile)); }

Result<std::string> RunningServiceAddress(std::chrono::milliseconds timeout) {
  Result<std::string> folder = PrivateRuntimeDir();
  if (!folder.ok()) return folder.error();
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    Result<bool> running = IsFileInUse(JoinPath(*folder, kLockFile));
    if (!running.ok()) return running.error();
    if (!*running) return Error(err::kFileNotFound);
    Result<std::string> address = ReadSmallFile(JoinPath(*folder, kAddressFile));
    if (address.ok() && !FirstLine(*address).empty()) return FirstLine(*address);
    if (std::chrono::steady_clock::now() >= deadline) return Error(err::kTimeout);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // it is binding its port
  }
}

namespace {

// What the window shows first, as parameters of an address: "&name=value" each.
std::string StartParameters(const app::WindowStart& start) {
  std::string parameters;
  if (start.show_changes_of) {
    parameters +=
        "&" + std::string(kShowChangesParameter) + "=" + PercentEncode(*start.show_changes_of);
  }
  if (start.smart_history) parameters += "&" + std::string(kSmartHistoryParameter) + "=1";
  return parameters;
}

}  // namespace

std::string OpenAddress(int port, const std::string& secret, const app::WindowStart& start) {
  return "http://127.0.0.1:" + std::to_string(port) + "/open?token=" + secret +
         StartParameters(start);
}

std::string UiStartQuery(const app::WindowStart& start) {
  std::string query = StartParameters(start);
  if (!query.empty()) query.front() = '?';
  return query;
}

}  // namespace tw::service
