// The text of the settings store, in the syntax of a registry export:
//
//   [SOFTWARE\Orvanta\Tidewell\Options]
//   "Timeout"=dword:0000001e
//   "PDB"="/home/ann/Documents/My Tidewell"
//
// Sections name a key by its full path; value lines carry a DWORD as exactly eight hex digits or
// a string in double quotes, where a backslash escapes a backslash or a double quote. A key's
// default value is named @ in place of a quoted name (`@="/usr/share/sounds/x.wav"`) and has the
// empty name in memory. Blank lines
// and lines starting with ';' are ignored. Key paths and value names compare without regard to
// ASCII case. A line that does not parse reads as nothing, and so does every value below a
// section header that does not parse; such lines are kept as they are when the text is written
// back, so a damaged line never costs the others. When a name occurs twice in a key, the last
// line wins, as in an import.
//
// This is the parser and editor only; SettingsStore does the file work.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

enum class SettingsType { kDword, kString };

struct SettingsValue {
  std::string name;
  SettingsType type = SettingsType::kDword;
  uint32_t dword = 0;  // for kDword
  std::string text;    // for kString

  static SettingsValue Dword(std::string name, uint32_t value);
  static SettingsValue String(std::string name, std::string text);
  bool operator==(const SettingsValue&) const = default;
};

// Whether a key path or value name can be written: no line breaks or zero bytes, and for a key
// path neither empty nor starting or ending with a space or a backslash.
bool IsValidSettingsKey(std::string_view key);
bool IsValidSettingsName(std::string_view name);
// Whether a string value can be written: no line breaks or zero bytes.
bool IsValidSettingsText(std::string_view text);

class SettingsDocument {
 public:
  static SettingsDocument Parse(std::string_view text);
  // The text again: unchanged lines exactly as they were read, each ending in a line break.
  std::string Serialize() const;

  // A key exists when a section names it or a key below it.
  bool HasKey(std::string_view key) const;
  // The key's values, in the order their names first appear, the last line of a name winning.
  std::vector<SettingsValue> Values(std::string_view key) const;
  std::optional<SettingsValue> Find(std::string_view key, std::string_view name) const;
  // The names of the keys directly below `key`, each once, in order of appearance.
  std::vector<std::string> Subkeys(std::string_view key) const;

  // Editing; the caller has checked the key, names and texts with the IsValid* functions.
  // Adds an empty section for the key unless it exists.
  void AddKey(std::string_view key);
  // Replaces the value line of that name (dropping any repeats of it in the key), else appends one
  // to the key's last section, else appends a new section.
  void Set(std::string_view key, const SettingsValue& value);
  // Removes every line of that name in the key; true if there was one.
  bool Delete(std::string_view key, std::string_view name);

 private:
  struct Line {
    std::string raw;                     // as read or as generated, without the line break
    std::optional<std::string> name;     // the value name, when the line starts with one
    std::optional<SettingsValue> value;  // the value, when the whole line parses
  };
  struct Section {
    std::optional<std::string> key;  // none: the preamble, or a header that does not parse
    std::vector<Line> lines;         // the header line first, except in the preamble
  };

  static Line ParseLine(std::string_view raw);
  void AppendSection(std::string_view key);
  bool SectionIs(const Section& section, std::string_view key) const;

  std::vector<Section> sections_;
};

}  // namespace tw
