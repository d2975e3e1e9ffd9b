// Feeds arbitrary bytes to the scanning primitives. Every position they return must lie inside
// the range they were given, and the element index must agree with SkipElement everywhere.
#include <cstdint>
#include <string_view>

#include "fuzz_target.h"
#include "smartupdate/element_index.h"
#include "smartupdate/frames.h"
#include "smartupdate/html_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses how far before the document end the shorter ranges stop.
  const size_t cut = data[0];
  const std::string_view doc(reinterpret_cast<const char*>(data) + 1, size - 1);
  const char* begin = doc.data();
  const char* end = begin + doc.size();
  const tw::ElementIndex index(doc);

  int tags = 0;
  for (const char* p = tw::NextStartTag(begin, doc.size()); p && tags < 256;
       p = tw::NextStartTag(p + 1, static_cast<size_t>(end - p - 1)), ++tags) {
    Check(p >= begin && p < end && *p == '<');
    for (const char* range_end :
         {end, end - std::min<size_t>(cut, static_cast<size_t>(end - p - 1))}) {
      const size_t remaining = static_cast<size_t>(range_end - p);
      const auto name = tw::ReadTagName(p, remaining);
      if (name) Check(name->size >= 1 && name->size <= tw::kMaxTagName);
      if (auto gt = tw::SkipStartTag(p, remaining)) Check(*gt > p && *gt < range_end);
      const auto scanned = tw::SkipElement(p, remaining);
      const auto indexed = index.Skip(p, remaining);
      Check(scanned.has_value() == indexed.has_value());
      Check(!scanned || name);
      if (scanned) {
        Check(scanned->end > p && scanned->end <= range_end);
        Check(scanned->end == indexed->end && scanned->is_container == indexed->is_container &&
              scanned->is_unclosed == indexed->is_unclosed);
      }
      if (auto attribute = tw::GetQuotedAttribute(p, remaining, "src")) {
        Check(attribute->position > p && attribute->position < range_end);
        Check(*attribute->position == '"');
      }
    }
  }
  tw::SourceList sources;
  Check(tw::CollectFrameSources(doc, sources).ok());
  Check(sources.count() <= tw::kMaxFrameSources);
  return 0;
}
