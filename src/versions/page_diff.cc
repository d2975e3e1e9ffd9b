#include "versions/page_diff.h"

#include <algorithm>
#include <unordered_map>

#include "foundation/ascii.h"
#include "foundation/utf8.h"
#include "smartupdate/compare.h"
#include "versions/edit_script.h"
#include "versions/visible_text.h"

namespace tw {
namespace {

constexpr size_t kContextLines = 3;
constexpr std::string_view kLineBreak = "\n";

// Gives every distinct text one number, so that sequences compare as integers.
class Interner {
 public:
  uint32_t Id(const std::string& text) {
    return ids_.try_emplace(text, static_cast<uint32_t>(ids_.size())).first->second;
  }

 private:
  std::unordered_map<std::string, uint32_t> ids_;
};

std::vector<TextLine> TextOf(std::string_view html, const MaskList& masks) {
  std::vector<ByteSpan> spans;
  // A walk that fails part-way keeps the spans found before; the text stays whole.
  (void)FindMaskedSpans(html, masks, spans);
  return VisibleText(html, spans);
}

std::string Joined(const TextLine& line) {
  std::string out;
  for (const std::string& word : line) {
    if (!out.empty()) out += ' ';
    out += word;
  }
  return out;
}

// Appends runs, merging a run into the last one of the same kind.
class RunWriter {
 public:
  void Put(DiffKind kind, std::string_view text) {
    if (text.empty()) return;
    if (!runs_.empty() && runs_.back().kind == kind) {
      runs_.back().text += text;
    } else {
      runs_.push_back({kind, std::string(text)});
    }
  }
  std::vector<DiffRun> Take() { return std::move(runs_); }

 private:
  std::vector<DiffRun> runs_;
};

// One side's text as tokens (its words, and a line break token between lines), each with the
// text it is shown as: a word after a word carries the space before it.
struct SideTokens {
  explicit SideTokens(const std::vector<TextLine>& lines) {
    for (const TextLine& line : lines) {
      if (!tokens.empty()) Add(std::string(kLineBreak));
      line_start.push_back(tokens.size());
      for (const std::string& word : line) Add(word);
    }
  }
  void Add(std::string token) {
    const bool word = token != kLineBreak;
    shown.push_back(word && !tokens.empty() && tokens.back() != kLineBreak ? " " + token : token);
    tokens.push_back(std::move(token));
  }
  // The tokens of lines [from, to), with the line break before `from` when there is one.
  size_t Begin(size_t from) const { return from == 0 ? 0 : line_start[from] - 1; }
  size_t End(size_t to) const {
    return to < line_start.size() ? line_start[to] - 1 : tokens.size();
  }

  std::vector<std::string> tokens;
  std::vector<std::string> shown;
  std::vector<size_t> line_start;
};

// The tokens of a block of removed lines against those of a block of added ones.
void DiffBlock(const SideTokens& a, size_t a_begin, size_t a_end, const SideTokens& b,
               size_t b_begin, size_t b_end, RunWriter& out) {
  Interner interner;
  std::vector<uint32_t> a_ids, b_ids;
  for (size_t i = a_begin; i < a_end; ++i) a_ids.push_back(interner.Id(a.tokens[i]));
  for (size_t i = b_begin; i < b_end; ++i) b_ids.push_back(interner.Id(b.tokens[i]));
  const std::vector<EditStep> steps = EditScript(a_ids, b_ids);
  // The current side's token that each same step of the earlier side stands for.
  std::vector<size_t> b_index(a_ids.size());
  size_t b_next = 0;
  for (const EditStep& step : steps) {
    if (step.edit == Edit::kAdded) b_next = step.index + 1;
    if (step.edit == Edit::kSame) b_index[step.index] = b_next++;
  }
  for (const EditStep& step : steps) {
    switch (step.edit) {
      case Edit::kSame: {
        // The same word may stand after a word on one side only: the space is that side's.
        const std::string& shown_a = a.shown[a_begin + step.index];
        const std::string& shown_b = b.shown[b_begin + b_index[step.index]];
        if (shown_a.size() > shown_b.size()) {
          out.Put(DiffKind::kRemoved, " ");
          out.Put(DiffKind::kSame, shown_b);
        } else if (shown_b.size() > shown_a.size()) {
          out.Put(DiffKind::kAdded, " ");
          out.Put(DiffKind::kSame, shown_a);
        } else {
          out.Put(DiffKind::kSame, shown_a);
        }
        break;
      }
      case Edit::kRemoved:
        out.Put(DiffKind::kRemoved, a.shown[a_begin + step.index]);
        break;
      case Edit::kAdded:
        out.Put(DiffKind::kAdded, b.shown[b_begin + step.index]);
        break;
    }
  }
}

std::vector<std::string> HtmlLines(std::string_view html) {
  const bool utf8 = IsValidUtf8(html);
  std::vector<std::string> lines;
  while (!html.empty()) {
    const size_t end = html.find('\n');
    std::string_view line = html.substr(0, end);
    html.remove_prefix(end == std::string_view::npos ? html.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(utf8 ? std::string(line) : Windows1252ToUtf8(line));
  }
  return lines;
}

const MaskList& MasksFor(const MaskList& own, const MaskList& other) {
  return own.empty() ? other : own;
}

DocumentDiff Diff(std::string address, std::string_view earlier, const MaskList& earlier_masks,
                  std::string_view current, const MaskList& current_masks) {
  DocumentDiff diff;
  diff.address = std::move(address);
  diff.text = DiffVisibleText(earlier, earlier_masks, current, current_masks);
  diff.changed = std::any_of(diff.text.begin(), diff.text.end(),
                             [](const DiffRun& run) { return run.kind != DiffKind::kSame; });
  diff.html = DiffHtml(earlier, current);
  return diff;
}

}  // namespace

std::vector<DiffRun> DiffVisibleText(std::string_view earlier, const MaskList& earlier_masks,
                                     std::string_view current, const MaskList& current_masks) {
  const std::vector<TextLine> a_lines = TextOf(earlier, MasksFor(earlier_masks, current_masks));
  const std::vector<TextLine> b_lines = TextOf(current, MasksFor(current_masks, earlier_masks));
  Interner interner;
  std::vector<uint32_t> a_ids, b_ids;
  for (const TextLine& line : a_lines) a_ids.push_back(interner.Id(Joined(line)));
  for (const TextLine& line : b_lines) b_ids.push_back(interner.Id(Joined(line)));
  const SideTokens a(a_lines);
  const SideTokens b(b_lines);

  RunWriter out;
  const std::vector<EditStep> steps = EditScript(a_ids, b_ids);
  size_t a_line = 0, b_line = 0;  // the next line of each side
  for (size_t i = 0; i < steps.size();) {
    if (steps[i].edit == Edit::kSame) {
      // The line break before the line belongs to the sides that have one.
      if (a_line > 0 && b_line > 0) {
        out.Put(DiffKind::kSame, kLineBreak);
      } else if (a_line > 0) {
        out.Put(DiffKind::kRemoved, kLineBreak);
      } else if (b_line > 0) {
        out.Put(DiffKind::kAdded, kLineBreak);
      }
      for (size_t t = a.line_start[a_line]; t < a.End(a_line + 1); ++t) {
        out.Put(DiffKind::kSame, a.shown[t]);
      }
      ++a_line;
      ++b_line;
      ++i;
      continue;
    }
    // A block of changed lines: its removals, then its additions.
    const size_t a_from = a_line, b_from = b_line;
    for (; i < steps.size() && steps[i].edit != Edit::kSame; ++i) {
      (steps[i].edit == Edit::kRemoved ? a_line : b_line)++;
    }
    DiffBlock(a, a_from < a_line ? a.Begin(a_from) : 0, a_from < a_line ? a.End(a_line) : 0, b,
              b_from < b_line ? b.Begin(b_from) : 0, b_from < b_line ? b.End(b_line) : 0, out);
  }
  return out.Take();
}

std::vector<std::string> DiffHtml(std::string_view earlier, std::string_view current) {
  const std::vector<std::string> a = HtmlLines(earlier);
  const std::vector<std::string> b = HtmlLines(current);
  Interner interner;
  std::vector<uint32_t> a_ids, b_ids;
  for (const std::string& line : a) a_ids.push_back(interner.Id(line));
  for (const std::string& line : b) b_ids.push_back(interner.Id(line));
  const std::vector<EditStep> steps = EditScript(a_ids, b_ids);

  // Each step with the line numbers (from 0) it stands at on each side.
  struct Placed {
    Edit edit;
    size_t a_line;
    size_t b_line;
  };
  std::vector<Placed> placed;
  size_t a_line = 0, b_line = 0;
  for (const EditStep& step : steps) {
    placed.push_back({step.edit, a_line, b_line});
    if (step.edit != Edit::kAdded) ++a_line;
    if (step.edit != Edit::kRemoved) ++b_line;
  }

  std::vector<std::string> out;
  for (size_t i = 0; i < placed.size();) {
    if (placed[i].edit == Edit::kSame) {
      ++i;
      continue;
    }
    // A hunk: from kContextLines before this change to kContextLines after the last change
    // that is no further than twice that from the one before it.
    const size_t begin = i >= kContextLines ? i - kContextLines : 0;
    size_t end = i;
    for (size_t j = i; j < placed.size(); ++j) {
      if (placed[j].edit != Edit::kSame) {
        end = j + 1;
      } else if (j - end >= 2 * kContextLines) {
        break;
      }
    }
    end = std::min(placed.size(), end + kContextLines);
    size_t a_count = 0, b_count = 0;
    for (size_t j = begin; j < end; ++j) {
      if (placed[j].edit != Edit::kAdded) ++a_count;
      if (placed[j].edit != Edit::kRemoved) ++b_count;
    }
    // Unified form counts lines from 1, and names the line before an empty range.
    const auto head = [](size_t line, size_t count) {
      return std::to_string(count ? line + 1 : line) + "," + std::to_string(count);
    };
    out.push_back("@@ -" + head(placed[begin].a_line, a_count) + " +" +
                  head(placed[begin].b_line, b_count) + " @@");
    for (size_t j = begin; j < end; ++j) {
      switch (placed[j].edit) {
        case Edit::kSame:
          out.push_back(" " + a[placed[j].a_line]);
          break;
        case Edit::kRemoved:
          out.push_back("-" + a[placed[j].a_line]);
          break;
        case Edit::kAdded:
          out.push_back("+" + b[placed[j].b_line]);
          break;
      }
    }
    i = end;
  }
  return out;
}

std::vector<DocumentDiff> DiffPages(const PageRecord& earlier, const PageRecord& current) {
  std::vector<DocumentDiff> diffs;
  diffs.push_back(Diff(current.has_address() ? current.address : earlier.address, earlier.content,
                       earlier.masks, current.content, current.masks));
  const MaskList none;
  std::vector<const FrameEntry*> unmatched;
  for (const FrameEntry& frame : earlier.frames) unmatched.push_back(&frame);
  for (const FrameEntry& frame : current.frames) {
    auto it = std::find_if(unmatched.begin(), unmatched.end(), [&](const FrameEntry* e) {
      return EqualsIgnoreCase(e->address, frame.address);
    });
    const FrameEntry* before = it == unmatched.end() ? nullptr : *it;
    if (it != unmatched.end()) unmatched.erase(it);
    diffs.push_back(Diff(frame.address, before ? std::string_view(before->content) : "",
                         before ? before->masks : none, frame.content, frame.masks));
  }
  for (const FrameEntry* frame : unmatched) {
    diffs.push_back(Diff(frame->address, frame->content, frame->masks, "", none));
  }
  return diffs;
}

}  // namespace tw
