// Firefox's preference files (prefs.js, user.js): lines of the form
//   user_pref("name", value);
// where the value is a string, a whole number, true or false. The files are outside input: what
// cannot be read as such a line is passed over up to the next ";".
//
// Threads: any; pure functions of their input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>

namespace tw {

// Preferences kept from one file at most; a real prefs.js holds a few thousand.
inline constexpr size_t kMaxFirefoxPrefs = 100'000;

using FirefoxPrefValue = std::variant<std::string, int64_t, bool>;

class FirefoxPrefs {
 public:
  // Reads the text of a preference file; a later line for the same name wins, so reading user.js
  // after prefs.js gives what the browser uses.
  void Read(std::string_view text);

  std::optional<std::string> Text(const std::string& name) const;
  std::optional<int64_t> Number(const std::string& name) const;
  std::optional<bool> Flag(const std::string& name) const;
  size_t size() const { return values_.size(); }

 private:
  std::unordered_map<std::string, FirefoxPrefValue> values_;
};

}  // namespace tw
