#include "friend/recommendation.h"

#include "platform/url.h"

namespace tw {
namespace {

std::string Subject(const FriendMessage& m) { return m.from_name + " recommends Tidewell"; }

constexpr std::string_view kAbout =
    "Tidewell watches the web pages you choose and tells you when one of them has really "
    "changed. It learns which parts of a page change on every visit, such as clocks, counters "
    "and advertisements, and leaves them out.";

std::string PlainBody(const FriendMessage& m) {
  return "Hello " + m.to_name + ",\r\n\r\n" + m.from_name + " (" + m.from_address +
         ") thinks you would like Tidewell.\r\n\r\n" + std::string(kAbout) +
         "\r\n\r\nBest wishes,\r\n" + m.from_name + "\r\n";
}

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string HtmlBody(const FriendMessage& m) {
  const std::string from = EscapeHtml(m.from_name);
  return "<p>Hello " + EscapeHtml(m.to_name) + ",</p><p>" + from + " (" +
         EscapeHtml(m.from_address) + ") thinks you would like <b>Tidewell</b>.</p><p>" +
         std::string(kAbout) + "</p><p>Best wishes,<br>" + from + "</p>";
}

// The friend's address as the path of a mailto: address: encoded like a value, with its "@"
// kept readable, which the mailto: syntax allows.
std::string MailtoRecipient(std::string_view address) {
  std::string out;
  size_t start = 0;
  for (size_t at = address.find('@'); at != std::string_view::npos;
       start = at + 1, at = address.find('@', start)) {
    out += PercentEncode(address.substr(start, at - start)) + "@";
  }
  return out + PercentEncode(address.substr(start));
}

}  // namespace

bool IsRecommendationService(std::string_view address) {
  return HasHttpScheme(address) && address.find_first_of(" \t\r\n") == std::string_view::npos;
}

std::string RecommendationQueryAddress(std::string_view service, const FriendMessage& m) {
  const size_t hash = service.find('#');
  const std::string_view base = service.substr(0, hash);
  const std::string_view fragment =
      hash == std::string_view::npos ? std::string_view() : service.substr(hash);

  std::string out(base);
  if (base.find('?') == std::string_view::npos) {
    out += '?';
  } else if (out.back() != '?' && out.back() != '&') {
    out += '&';
  }
  out += "Count=1";
  out += "&EMF=" + std::to_string(static_cast<uint32_t>(m.format));
  out += "&FN=" + PercentEncode(m.from_name);
  out += "&FA=" + PercentEncode(m.from_address);
  out += "&TN0=" + PercentEncode(m.to_name);
  out += "&TA0=" + PercentEncode(m.to_address);
  out += fragment;
  return out;
}

std::string RecommendationMailto(const FriendMessage& m) {
  std::string out = "mailto:" + MailtoRecipient(m.to_address);
  out += "?subject=" + PercentEncode(Subject(m));
  out += "&body=" + PercentEncode(PlainBody(m));
  if (m.format == MailFormat::kHtml) out += "&html-body=" + PercentEncode(HtmlBody(m));
  return out;
}

std::string RecommendationAddress(std::string_view service, const FriendMessage& m) {
  return IsRecommendationService(service) ? RecommendationQueryAddress(service, m)
                                          : RecommendationMailto(m);
}

}  // namespace tw
