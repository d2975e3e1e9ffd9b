#include "platform/settings_file.h"

#include <algorithm>
#include <cstdio>

#include "foundation/ascii.h"

namespace tw {
namespace {

constexpr std::string_view kDwordTag = "dword:";
// A key's default value is written "@" in place of a quoted name; in memory its name is "".
constexpr std::string_view kDefaultValueName = "@";
constexpr size_t kDwordDigits = 8;

bool HasLineBreakOrZero(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A double-quoted text starting at text[pos]; pos moves past the closing quote.
std::optional<std::string> ParseQuoted(std::string_view text, size_t& pos) {
  if (pos >= text.size() || text[pos] != '"') return std::nullopt;
  std::string out;
  for (size_t i = pos + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      pos = i + 1;
      return out;
    }
    if (c == '\\') {
      if (i + 1 >= text.size() || (text[i + 1] != '\\' && text[i + 1] != '"')) return std::nullopt;
      out.push_back(text[++i]);
      continue;
    }
    out.push_back(c);
  }
  return std::nullopt;  // no closing quote
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

std::string FormatValue(const SettingsValue& value) {
  std::string line =
      (value.name.empty() ? std::string(kDefaultValueName) : Quote(value.name)) + "=";
  if (value.type == SettingsType::kDword) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(value.dword));
    line += std::string(kDwordTag) + digits;
  } else {
    line += Quote(value.text);
  }
  return line;
}

// Whether `key` is `ancestor` or lies below it.
bool IsAtOrBelow(std::string_view key, std::string_view ancestor) {
  if (EqualsIgnoreCase(key, ancestor)) return true;
  return key.size() > ancestor.size() && key[ancestor.size()] == '\\' &&
         StartsWithIgnoreCase(key, ancestor);
}

}  // namespace

SettingsValue SettingsValue::Dword(std::string name, uint32_t value) {
  SettingsValue v;
  v.name = std::move(name);
  v.type = SettingsType::kDword;
  v.dword = value;
  return v;
}

SettingsValue SettingsValue::String(std::string name, std::string text) {
  SettingsValue v;
  v.name = std::move(name);
  v.type = SettingsType::kString;
  v.text = std::move(text);
  return v;
}

bool IsValidSettingsKey(std::string_view key) {
  if (key.empty() || HasLineBreakOrZero(key)) return false;
  const char first = key.front();
  const char last = key.back();
  return first != ' ' && first != '\t' && first != '\\' && last != ' ' && last != '\t' &&
         last != '\\';
}

bool IsValidSettingsName(std::string_view name) { return !HasLineBreakOrZero(name); }

bool IsValidSettingsText(std::string_view text) { return !HasLineBreakOrZero(text); }

SettingsDocument::Line SettingsDocument::ParseLine(std::string_view raw) {
  Line line;
  line.raw = std::string(raw);
  const std::string_view text = TrimBlanks(raw);
  if (text.empty() || text.find('\0') != std::string_view::npos) return line;
  size_t pos = 0;
  std::optional<std::string> name;
  if (text.starts_with(kDefaultValueName)) {
    name.emplace();
    pos = kDefaultValueName.size();
  } else {
    name = ParseQuoted(text, pos);
  }
  if (!name) return line;
  line.name = std::move(name);
  if (pos >= text.size() || text[pos] != '=') return line;
  ++pos;
  const std::string_view rest = text.substr(pos);
  if (StartsWithIgnoreCase(rest, kDwordTag)) {
    const std::string_view digits = rest.substr(kDwordTag.size());
    if (digits.size() != kDwordDigits) return line;
    uint32_t value = 0;
    for (const char c : digits) {
      const int digit = HexDigit(c);
      if (digit < 0) return line;
      value = value << 4 | static_cast<uint32_t>(digit);
    }
    line.value = SettingsValue::Dword(*line.name, value);
    return line;
  }
  std::optional<std::string> quoted = ParseQuoted(text, pos);
  if (!quoted || pos != text.size()) return line;
  line.value = SettingsValue::String(*line.name, std::move(*quoted));
  return line;
}

SettingsDocument SettingsDocument::Parse(std::string_view text) {
  SettingsDocument document;
  document.sections_.emplace_back();  // the preamble
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view raw = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);

    const std::string_view trimmed = TrimBlanks(raw);
    if (!trimmed.empty() && trimmed.front() == '[') {
      Section section;
      if (trimmed.size() >= 2 && trimmed.back() == ']') {
        const std::string_view key = trimmed.substr(1, trimmed.size() - 2);
        if (IsValidSettingsKey(key)) section.key = std::string(key);
      }
      section.lines.push_back(Line{std::string(raw), std::nullopt, std::nullopt});
      document.sections_.push_back(std::move(section));
      continue;
    }
    document.sections_.back().lines.push_back(ParseLine(raw));
  }
  return document;
}

std::string SettingsDocument::Serialize() const {
  std::string out;
  for (const Section& section : sections_) {
    for (const Line& line : section.lines) {
      out += line.raw;
      out += '\n';
    }
  }
  return out;
}

bool SettingsDocument::SectionIs(const Section& section, std::string_view key) const {
  return section.key && EqualsIgnoreCase(*section.key, key);
}

bool SettingsDocument::HasKey(std::string_view key) const {
  for (const Section& section : sections_) {
    if (section.key && IsAtOrBelow(*section.key, key)) return true;
  }
  return false;
}

std::vector<SettingsValue> SettingsDocument::Values(std::string_view key) const {
  std::vector<SettingsValue> values;
  for (const Section& section : sections_) {
    if (!SectionIs(section, key)) continue;
    for (const Line& line : section.lines) {
      if (!line.value) continue;
      auto same = [&](const SettingsValue& v) {
        return EqualsIgnoreCase(v.name, line.value->name);
      };
      auto it = std::find_if(values.begin(), values.end(), same);
      if (it == values.end()) {
        values.push_back(*line.value);
      } else {
        *it = *line.value;
      }
    }
  }
  return values;
}

std::optional<SettingsValue> SettingsDocument::Find(std::string_view key,
                                                    std::string_view name) const {
  std::optional<SettingsValue> found;
  for (const Section& section : sections_) {
    if (!SectionIs(section, key)) continue;
    for (const Line& line : section.lines) {
      if (line.value && EqualsIgnoreCase(line.value->name, name)) found = line.value;
    }
  }
  return found;
}

std::vector<std::string> SettingsDocument::Subkeys(std::string_view key) const {
  std::vector<std::string> names;
  for (const Section& section : sections_) {
    if (!section.key || EqualsIgnoreCase(*section.key, key) || !IsAtOrBelow(*section.key, key)) {
      continue;
    }
    const std::string_view rest = std::string_view(*section.key).substr(key.size() + 1);
    const std::string child(rest.substr(0, rest.find('\\')));
    if (child.empty()) continue;
    auto same = [&](const std::string& n) { return EqualsIgnoreCase(n, child); };
    if (std::find_if(names.begin(), names.end(), same) == names.end()) names.push_back(child);
  }
  return names;
}

void SettingsDocument::AddKey(std::string_view key) {
  if (!HasKey(key)) AppendSection(key);
}

void SettingsDocument::AppendSection(std::string_view key) {
  Section& last = sections_.back();
  if (!last.lines.empty() && !TrimBlanks(last.lines.back().raw).empty()) {
    last.lines.push_back(Line{});  // a blank line between sections, as an export has
  }
  Section section;
  section.key = std::string(key);
  section.lines.push_back(Line{"[" + std::string(key) + "]", std::nullopt, std::nullopt});
  sections_.push_back(std::move(section));
}

void SettingsDocument::Set(std::string_view key, const SettingsValue& value) {
  Line line{FormatValue(value), value.name, value};
  // Every line of that name in the key, in file order.
  std::vector<std::pair<size_t, size_t>> same;
  Section* last_section = nullptr;
  for (size_t s = 0; s < sections_.size(); ++s) {
    if (!SectionIs(sections_[s], key)) continue;
    last_section = &sections_[s];
    for (size_t l = 0; l < sections_[s].lines.size(); ++l) {
      const Line& existing = sections_[s].lines[l];
      if (existing.name && EqualsIgnoreCase(*existing.name, value.name)) same.emplace_back(s, l);
    }
  }
  if (!same.empty()) {
    const auto [s, l] = same.back();
    sections_[s].lines[l] = std::move(line);
    same.pop_back();
    for (auto it = same.rbegin(); it != same.rend(); ++it) {
      auto& lines = sections_[it->first].lines;
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(it->second));
    }
    return;
  }
  if (!last_section) {
    AppendSection(key);
    last_section = &sections_.back();
  }
  // After the section's last non-blank line, so that a blank line before the next section stays.
  auto& lines = last_section->lines;
  size_t at = lines.size();
  while (at > 1 && TrimBlanks(lines[at - 1].raw).empty()) --at;
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

bool SettingsDocument::Delete(std::string_view key, std::string_view name) {
  bool removed = false;
  for (Section& section : sections_) {
    if (!SectionIs(section, key)) continue;
    std::erase_if(section.lines, [&](const Line& line) {
      const bool match = line.name && EqualsIgnoreCase(*line.name, name);
      removed = removed || (match && line.value);
      return match;
    });
  }
  return removed;
}

}  // namespace tw
