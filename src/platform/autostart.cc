#include "platform/autostart.h"

#include "platform/file_system.h"
#include "platform/user_dirs.h"

namespace tw {
namespace {

// Values of a desktop entry are one line; a line break in one would start another key.
std::string OneLine(std::string_view text) {
  std::string out;
  for (const char c : text) out.push_back(c == '\n' || c == '\r' ? ' ' : c);
  return out;
}

std::string QuoteArgument(std::string_view argument) {
  constexpr std::string_view kReserved = " \t\"'\\><~|&;$*?#()`=%";
  if (!argument.empty() && argument.find_first_of(kReserved) == std::string_view::npos) {
    return std::string(argument);
  }
  std::string quoted = "\"";
  for (const char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted.push_back('\\');
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}

}  // namespace

Result<std::string> AutostartPath(AutostartScope scope, std::string_view file_name) {
  if (scope == AutostartScope::kAllUsers) {
    return JoinPath(SystemConfigDir() + "/autostart", file_name);
  }
  Result<std::string> config = ConfigHome();
  if (!config.ok()) return config.error();
  return JoinPath(*config + "/autostart", file_name);
}

std::string DesktopEntryExec(const std::vector<std::string>& command) {
  std::string exec;
  for (const std::string& argument : command) {
    if (!exec.empty()) exec.push_back(' ');
    exec += QuoteArgument(argument);
  }
  // The value itself is a string of the format, in which a backslash is escaped once more, and a
  // percent sign starts a field code.
  std::string value;
  for (const char c : exec) {
    if (c == '\\') value.push_back('\\');
    if (c == '%') value.push_back('%');
    value.push_back(c);
  }
  return OneLine(value);
}

Error WriteAutostartEntry(const std::string& path, const AutostartEntry& entry) {
  if (Error e = CreateDirectories(FolderOf(path))) return e;
  const std::string text =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=" +
      OneLine(entry.name) +
      "\n"
      "Comment=" +
      OneLine(entry.comment) +
      "\n"
      "Exec=" +
      DesktopEntryExec(entry.command) +
      "\n"
      "Terminal=false\n"
      "X-GNOME-Autostart-enabled=true\n";
  Result<AtomicFileWriter> writer = AtomicFileWriter::Begin(path);
  if (!writer.ok()) return writer.error();
  if (Error e = writer->file().WriteAll(text)) return e;
  return writer->Commit(AtomicFileWriter::Publish::kReplace);
}

}  // namespace tw
