// Feeds arbitrary bytes to what the service reads from a request before any operation runs: the
// request envelope, the parameters of settings and schedules, and the guard's header readers.
// Nothing may crash, and what is accepted must come out again as JSON.
#include <cstdint>
#include <string>
#include <string_view>

#include "api/json_values.h"
#include "fuzz_target.h"
#include "service/guard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)tw::service::CookieValue(text, "tidewell-47913");
  (void)tw::service::BearerToken(text);
  (void)tw::service::IsOwnHost(text, 47913);
  (void)tw::service::IsOwnOrigin(text, 47913);
  (void)tw::service::IsJsonContentType(text);

  const std::optional<tw::api::Request> request = tw::api::ParseRequest(text);
  if (!request) return 0;
  Check(request->id.is_null() || request->id.is_number() || request->id.is_string());
  (void)tw::api::Serialize(request->params);

  tw::api::Params params(request->params);
  (void)params.String("title");
  (void)params.OptionalInteger("checkCount");
  (void)params.OptionalBool("permanent");
  if (const tw::api::Json* values = params.Raw("values")) {
    tw::api::Params reader(request->params);
    const auto settings = tw::api::SettingsFromJson(*values, reader);
    if (settings) (void)tw::api::Serialize(tw::api::SettingsJson(*settings));
  }
  if (const tw::api::Json* schedule = params.Raw("schedule")) {
    tw::api::Params reader(request->params);
    const tw::api::ScheduleRequest read = tw::api::ScheduleFromJson(*schedule, reader);
    if (read.schedule && !reader.problem() && !read.message) {
      // What was accepted reads back as itself.
      tw::api::Params again_reader(request->params);
      const tw::api::Json written = tw::api::ScheduleJson(*read.schedule);
      const tw::api::ScheduleRequest again = tw::api::ScheduleFromJson(written, again_reader);
      Check(again.schedule == read.schedule);
    }
  }
  return 0;
}
