// Feeds arbitrary pairs of pages to the visible-text reader and the diffs. Every word read is
// UTF-8 without blanks, and the text diff gives back each side's text exactly: the unchanged
// and removed runs the earlier one, the unchanged and added runs the current one.
//
// Input: the earlier and the current page separated by the first "\n===\n".
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/utf8.h"
#include "fuzz_target.h"
#include "versions/page_diff.h"
#include "versions/visible_text.h"

namespace {

std::string Side(const std::vector<tw::DiffRun>& runs, tw::DiffKind kind) {
  std::string out;
  for (const tw::DiffRun& run : runs) {
    if (run.kind == tw::DiffKind::kSame || run.kind == kind) out += run.text;
  }
  return out;
}

// The text as the diff writes it: words joined by spaces, lines by line breaks.
std::string Written(std::string_view html) {
  std::string out;
  for (const tw::TextLine& line : tw::VisibleText(html, {})) {
    if (!out.empty()) out += '\n';
    for (size_t i = 0; i < line.size(); ++i) {
      const std::string& word = line[i];
      Check(!word.empty() && tw::IsValidUtf8(word));
      Check(word.find_first_of(" \t\r\n\f") == std::string::npos);
      if (i) out += ' ';
      out += word;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find("\n===\n");
  const std::string_view earlier = input.substr(0, split);
  const std::string_view current =
      split == std::string_view::npos ? std::string_view() : input.substr(split + 5);
  const tw::MaskList none;
  const std::vector<tw::DiffRun> runs = tw::DiffVisibleText(earlier, none, current, none);
  Check(Side(runs, tw::DiffKind::kRemoved) == Written(earlier));
  Check(Side(runs, tw::DiffKind::kAdded) == Written(current));
  for (const std::string& line : tw::DiffHtml(earlier, current)) {
    Check(!line.empty() && tw::IsValidUtf8(line));
  }
  return 0;
}
