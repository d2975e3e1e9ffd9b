// The transport-independent API: what a request envelope may be, values both ways, and a client's
// event queue that never holds up the application.
#include <gtest/gtest.h>

#include "api/dispatcher.h"
#include "api/event_feed.h"
#include "api/json_values.h"
#include "app/application.h"
#include "support/sandbox.h"

namespace tw::api {
namespace {

TEST(RequestTest, OnlyAnObjectWithAMethodIsARequest) {
  std::optional<Request> request = ParseRequest(R"({"id": 7, "method": "pages.list"})");
  ASSERT_TRUE(request);
  EXPECT_EQ(request->id, 7);
  EXPECT_EQ(request->method, "pages.list");
  EXPECT_TRUE(request->params.is_object());
  request = ParseRequest(R"({"id": {"x": 1}, "method": "a", "params": null})");
  ASSERT_TRUE(request);
  EXPECT_TRUE(request->id.is_null());  // an id of another type is none

  EXPECT_FALSE(ParseRequest(""));
  EXPECT_FALSE(ParseRequest("[]"));
  EXPECT_FALSE(ParseRequest(R"({"id": 1})"));
  EXPECT_FALSE(ParseRequest(R"({"method": 5})"));
  EXPECT_FALSE(ParseRequest(R"({"method": "a",})"));
  // Deeper than any request: refused before anything is built from it.
  std::string deep = R"({"method": "a", "params": )";
  for (int i = 0; i < 100; ++i) deep += "[";
  for (int i = 0; i < 100; ++i) deep += "]";
  EXPECT_FALSE(ParseRequest(deep + "}"));
}

// The page list and the page events are written as text, without a JSON value between: the text
// must be what writing the JSON value of the page gives, byte for byte, whatever the page holds.
TEST(ValuesTest, PagesAreWrittenAsTheirJsonValueIsSerialized) {
  app::Page plain;
  plain.title = "Plain";
  plain.address = "http://127.0.0.1/a";
  app::Page odd;
  odd.title = std::string("Quote \" back\\slash \x01 tab\t line\n caf\xc3\xa9 ") + "bad \xff\xfe";
  odd.address = "http://127.0.0.1/?q=\"<script>\"";
  odd.updated = true;
  odd.pending = true;
  odd.error = app::PageError{3, 404, "Not \"Found\"\r\n\x7f"};
  odd.updated_time = FileTime::FromUnixSeconds(1700000000);
  odd.last_modified = FileTime::FromUnixSeconds(1);
  odd.expires = FileTime::FromUnixSeconds(4102444800);
  odd.smart_update = true;
  odd.ignore_last_modified = true;
  odd.ignore_expires = true;
  odd.check_count = 20;
  odd.wait_seconds = UINT32_MAX;

  // The value as it was built before the text writer: every field, by its name.
  const auto value_of = [](const app::Page& page) {
    const auto time = [](FileTime t) {
      return t.IsZero() ? Json(nullptr) : Json(FormatIso8601(t));
    };
    Json error = nullptr;
    if (page.error) {
      error = {
          {"status", page.error->status}, {"code", page.error->code}, {"text", page.error->text}};
    }
    return Json{{"title", page.title},
                {"address", page.address},
                {"updated", page.updated},
                {"pending", page.pending},
                {"error", error},
                {"updatedTime", time(page.updated_time)},
                {"lastModified", time(page.last_modified)},
                {"expires", time(page.expires)},
                {"smartUpdate", page.smart_update},
                {"checkCount", page.check_count},
                {"waitSeconds", page.wait_seconds},
                {"ignoreLastModified", page.ignore_last_modified},
                {"ignoreExpires", page.ignore_expires}};
  };
  for (const app::Page& page : {plain, odd}) {
    std::string text;
    JsonText json(text);
    WritePageJson(json, page);
    EXPECT_EQ(text, Serialize(value_of(page))) << page.title;
    EXPECT_EQ(PageJson(page), Json::parse(Serialize(value_of(page))));
  }
  // The bytes that are not UTF-8 are replaced, the others kept.
  EXPECT_EQ(PageJson(odd)["title"],
            "Quote \" back\\slash \x01 tab\t line\n caf\xc3\xa9 bad \xef\xbf\xbd\xef\xbf\xbd");

  app::PageList list;
  list.folder = "/home/u/My \"Pages\"";
  list.max_title_length = 230;
  const Json empty = {{"folder", list.folder}, {"maxTitleLength", 230}, {"pages", Json::array()}};
  EXPECT_EQ(PageListJson(list), Serialize(empty));
  list.pages = {plain, odd, plain};
  const Json full = {{"folder", list.folder},
                     {"maxTitleLength", 230},
                     {"pages", {value_of(plain), value_of(odd), value_of(plain)}}};
  EXPECT_EQ(PageListJson(list), Serialize(full));
}

// A result written as text goes out in the same envelope as any other.
TEST(ValuesTest, AReplyOfTextHasTheEnvelopeOfAReplyOfValue) {
  test::Sandbox sandbox;
  test::ScopedHome home(sandbox);
  app::Application app;
  Dispatcher dispatcher(app, {});
  dispatcher.Add("test.value", [](const Json&) { return Reply::Ok({{"b", 1}, {"a", "x"}}); });
  dispatcher.Add("test.text", [](const Json&) { return Reply::OkText(R"({"a":"x","b":1})"); });
  for (const Json& id : {Json(7), Json("r\"1"), Json(nullptr)}) {
    Request request;
    request.id = id;
    request.method = "test.value";
    const std::string by_value = dispatcher.Handle(request);
    request.method = "test.text";
    EXPECT_EQ(dispatcher.Handle(request), by_value);
    EXPECT_EQ(Json::parse(by_value), (Json{{"id", id}, {"result", {{"a", "x"}, {"b", 1}}}}));
  }
}

TEST(ValuesTest, SchedulesAreReadAndWrittenAlike) {
  const Json weekly = {{"repeat", "weekly"}, {"days", {"mon", "sun"}}, {"at", "07:05"}};
  Json params = {{"schedule", weekly}};
  Params reader(params);
  ScheduleRequest request = ScheduleFromJson(params["schedule"], reader);
  ASSERT_FALSE(reader.problem());
  ASSERT_TRUE(request.schedule);
  EXPECT_EQ(request.schedule->days, 0x41);
  EXPECT_EQ(ScheduleJson(*request.schedule), weekly);

  const auto message_of = [](const Json& schedule) {
    Json p = {{"schedule", schedule}};
    Params r(p);
    ScheduleRequest got = ScheduleFromJson(p["schedule"], r);
    if (r.problem()) return std::string("params: ") + *r.problem();
    return got.message ? ErrorJson(*got.message)["field"].get<std::string>() : std::string();
  };
  EXPECT_EQ(message_of({{"repeat", "daily"}, {"at", "7:05"}}), "at");
  EXPECT_EQ(message_of({{"repeat", "daily"}, {"at", "12:60"}}), "at");
  EXPECT_EQ(message_of({{"repeat", "hourly"}, {"everyHours", 0}, {"at", "00:00"}}), "everyHours");
  EXPECT_EQ(message_of({{"repeat", "weekly"}, {"days", {"MON"}}, {"at", "00:00"}}), "days");
  EXPECT_EQ(message_of({{"repeat", "monthly"}}), "repeat");
  EXPECT_EQ(message_of({{"repeat", "daily"}}).rfind("params: ", 0), 0u);  // "at" missing
  EXPECT_EQ(
      message_of({{"repeat", "hourly"}, {"everyHours", "3"}, {"at", "00:00"}}).rfind("params: ", 0),
      0u);
}

TEST(ValuesTest, SettingsKeepTheirTypes) {
  Json params = {{"values", {{"Timeout", 30}, {"PDB", "/p"}, {"Threads", -4}, {"Noc", 1e12}}}};
  Params reader(params);
  std::optional<std::vector<SettingsValue>> values = SettingsFromJson(params["values"], reader);
  EXPECT_TRUE(reader.problem());  // 1e12 is no whole number of JSON
  params["values"].erase("Noc");
  Params again(params);
  values = SettingsFromJson(params["values"], again);
  ASSERT_FALSE(again.problem());
  ASSERT_TRUE(values);
  EXPECT_EQ(SettingsJson(*values), (Json{{"PDB", "/p"}, {"Threads", UINT32_MAX}, {"Timeout", 30}}));
}

class EventFeedTest : public ::testing::Test {
 protected:
  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};
  app::Application app_;
};

TEST_F(EventFeedTest, AClientThatDoesNotReadIsDroppedAndTheApplicationGoesOn) {
  app::Outcome<app::Application::Window> window = app_.OpenWindow();
  ASSERT_TRUE(window.ok());
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(app_.AddPageAtOnce("http://127.0.0.1:9/" + std::to_string(i), "").ok());
  }
  ASSERT_TRUE(test::WaitFor([&] { return app_.ListPages()->pages.size() == 5; }));

  // What it is sent on connecting passes, however small its queue.
  constexpr size_t kSmallQueue = 1500;
  EventFeed slow(app_, /*shows_dialogs=*/false, kSmallQueue);
  EventFeed reader(app_, /*shows_dialogs=*/false);
  std::vector<EventMessage> first = slow.Take(std::chrono::seconds(0));
  ASSERT_EQ(first.size(), 7u);  // loading, five pages, checking
  EXPECT_EQ(first[0].name, "loading");
  EXPECT_EQ(first[6].name, "checking");
  EXPECT_FALSE(slow.overflowed());

  for (int i = 5; i < 15; ++i) {
    ASSERT_TRUE(app_.AddPageAtOnce("http://127.0.0.1:9/" + std::to_string(i), "").ok());
  }
  ASSERT_TRUE(test::WaitFor([&] { return app_.ListPages()->pages.size() == 15; }));
  ASSERT_TRUE(test::WaitFor([&] { return slow.overflowed(); }));
  EXPECT_TRUE(slow.Take(std::chrono::seconds(0)).empty());

  // The other client heard everything.
  size_t added = 0;
  test::WaitFor([&] {
    for (const EventMessage& m : reader.Take(std::chrono::milliseconds(50))) {
      if (m.name == "page" && m.data.find("\"added\"") != std::string::npos) ++added;
    }
    return added == 15;
  });
  EXPECT_EQ(added, 15u);
}

TEST_F(EventFeedTest, WakeEndsAWait) {
  EventFeed feed(app_, false);
  (void)feed.Take(std::chrono::seconds(0));
  std::thread waker([&] { feed.Wake(); });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(feed.Take(std::chrono::seconds(30)).empty());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  waker.join();
}

}  // namespace
}  // namespace tw::api
