#include "smartupdate/frames.h"

#include <new>

#include "foundation/ascii.h"
#include "platform/url.h"
#include "smartupdate/html_scan.h"

namespace tw {
namespace {

bool IsFrameElement(std::string_view name) {
  return StartsWithIgnoreCase(name, "frame") || StartsWithIgnoreCase(name, "iframe");
}

bool MatchesAnySource(const SourceList& sources, const std::string& address) {
  for (const StringNode& source : sources) {
    if (EqualsIgnoreCase(source.value, address)) return true;
  }
  return false;
}

bool MatchesAnyVisit(const FrameVisitList& visits, const std::string& address) {
  for (const RefNode<FrameEntry>& visit : visits) {
    if (EqualsIgnoreCase(visit.target->address, address)) return true;
  }
  return false;
}

}  // namespace

Error AddFrameSource(SourceList& sources, std::string value) {
  if (sources.count() >= kMaxFrameSources) return Error();
  try {
    sources.Append(std::make_unique<StringNode>(std::move(value)));
  } catch (const std::bad_alloc&) {
    return Error(err::kNotEnoughMemory);
  }
  return Error();
}

Error CollectFrameSources(std::string_view document, SourceList& sources) {
  const char* pos = document.data();
  const char* end = pos + document.size();
  while (const char* tag = NextStartTag(pos, static_cast<size_t>(end - pos))) {
    const size_t remaining = static_cast<size_t>(end - tag);
    const std::optional<TagName> name = ReadTagName(tag, remaining);
    if (!name) break;
    if (IsFrameElement(name->view())) {
      try {
        if (auto src = GetQuotedAttribute(tag, remaining, "src")) {
          if (Error e = AddFrameSource(sources, std::move(src->value))) return e;
        }
      } catch (const std::bad_alloc&) {
        return Error(err::kNotEnoughMemory);
      }
    }
    const std::optional<const char*> next = SkipStartTag(tag, remaining);
    if (!next) break;
    pos = *next;
  }
  return Error();
}

Error ResolveFrameSources(SourceList& sources, PageRecord& page, FrameVisitList& visits) {
  try {
    for (StringNode* source = sources.first(); source;) {
      StringNode* next = source->next;
      // An empty src loads nothing in a browser; combining would make it the page's folder.
      if (source->value.empty()) {
        sources.Remove(source);
        source = next;
        continue;
      }
      if (!HasHttpScheme(source->value)) {
        Result<std::string> combined = CombineUrl(page.address, source->value);
        if (combined.ok()) {
          source->value = std::move(*combined);
        } else if (combined.error().code() == err::kNotEnoughMemory) {
          return Error(err::kNotEnoughMemory);
        }
      }
      // Only http and https addresses can be fetched; anything else (about:blank, javascript:,
      // a source that would not combine) would fail every check of the page.
      if (!HasHttpScheme(source->value)) sources.Remove(source);
      source = next;
    }

    for (RefNode<FrameEntry>* visit = visits.first(); visit;) {
      RefNode<FrameEntry>* next = visit->next;
      FrameEntry* frame = visit->target;
      if (!MatchesAnySource(sources, frame->address)) {
        visits.Remove(visit);
        page.frames.Remove(frame);
        page.frameCount = page.frames.count();
      }
      visit = next;
    }

    for (const StringNode& source : sources) {
      if (MatchesAnyVisit(visits, source.value)) continue;
      auto frame = std::make_unique<FrameEntry>();
      frame->SetAddress(source.value);
      frame->waitSeconds = page.waitSeconds;
      auto visit = std::make_unique<RefNode<FrameEntry>>(frame.get());
      page.frames.Append(std::move(frame));
      page.frameCount = page.frames.count();
      visits.Append(std::move(visit));
    }
  } catch (const std::bad_alloc&) {
    page.frameCount = page.frames.count();
    return Error(err::kNotEnoughMemory);
  }
  return Error();
}

}  // namespace tw
