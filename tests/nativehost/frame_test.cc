// The framing of the port read from a real pipe, and what goes out fitted to the browsers' limit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "nativehost/frame.h"
#include "nativehost/outgoing.h"

namespace tw::nativehost {
namespace {

using api::Json;

// A channel whose input the test writes through a pipe.
struct PipeChannel {
  PipeChannel() {
    int in[2];
    int out[2];
    EXPECT_EQ(::pipe(in), 0);
    EXPECT_EQ(::pipe(out), 0);
    writer = UniqueFd(in[1]);
    reader = UniqueFd(out[0]);
    Result<ByteChannel> made = ByteChannel::FromDescriptors(UniqueFd(in[0]), UniqueFd(out[1]));
    EXPECT_TRUE(made.ok());
    channel.emplace(std::move(*made));
  }
  void Write(const std::string& bytes) const {
    ASSERT_EQ(::write(writer.get(), bytes.data(), bytes.size()),
              static_cast<ssize_t>(bytes.size()));
  }
  UniqueFd writer;
  UniqueFd reader;
  std::optional<ByteChannel> channel;
  Event stop{EventReset::kManual};
};

TEST(FrameTest, MessagesAreReadWholeHoweverTheyArrive) {
  PipeChannel pipe;
  FrameReader reader(*pipe.channel);
  const std::string first = EncodeFrame(R"({"id":1})");
  const std::string second = EncodeFrame(std::string(200000, 'x'));
  // The first in two pieces (split inside the length), the second across many reads.
  pipe.Write(first.substr(0, 2));
  std::thread writer([&] {
    pipe.Write(first.substr(2));
    pipe.Write(second);
    pipe.writer.Close();
  });
  Frame frame = reader.Next(pipe.stop);
  EXPECT_EQ(frame.status, FrameStatus::kMessage);
  EXPECT_EQ(frame.message, R"({"id":1})");
  frame = reader.Next(pipe.stop);
  EXPECT_EQ(frame.status, FrameStatus::kMessage);
  EXPECT_EQ(frame.message.size(), 200000u);
  writer.join();
  EXPECT_EQ(reader.Next(pipe.stop).status, FrameStatus::kEnd);
}

TEST(FrameTest, TheEndInsideAMessageIsNoCleanEnd) {
  PipeChannel pipe;
  FrameReader reader(*pipe.channel);
  pipe.Write(EncodeFrame("{\"id\":1}").substr(0, 7));
  pipe.writer.Close();
  EXPECT_EQ(reader.Next(pipe.stop).status, FrameStatus::kTruncated);

  PipeChannel short_length;
  FrameReader length_reader(*short_length.channel);
  short_length.Write("\x05\x00");
  short_length.writer.Close();
  EXPECT_EQ(length_reader.Next(short_length.stop).status, FrameStatus::kTruncated);
}

TEST(FrameTest, ALengthPastTheCapIsReportedAtOnce) {
  PipeChannel pipe;
  FrameReader reader(*pipe.channel, /*max_length=*/1000);
  pipe.Write(EncodeFrame(std::string(1000, 'a')));
  EXPECT_EQ(reader.Next(pipe.stop).status, FrameStatus::kMessage);
  // Only the length arrives: the reader answers without waiting for the rest.
  pipe.Write(EncodeFrame(std::string(1001, 'a')).substr(0, 4));
  const Frame frame = reader.Next(pipe.stop);
  EXPECT_EQ(frame.status, FrameStatus::kTooLarge);
  EXPECT_EQ(frame.length, 1001u);
}

TEST(FrameTest, AStopEndsAWaitingRead) {
  PipeChannel pipe;
  FrameReader reader(*pipe.channel);
  std::thread stopper([&] { pipe.stop.Set(); });
  EXPECT_EQ(reader.Next(pipe.stop).status, FrameStatus::kStopped);
  stopper.join();
}

TEST(FrameTest, WritesGoOutFramedAndFailWhenTheReaderHasGone) {
  PipeChannel pipe;
  ASSERT_FALSE(pipe.channel->Write(EncodeFrame("{}"), pipe.stop));
  char bytes[6] = {};
  ASSERT_EQ(::read(pipe.reader.get(), bytes, sizeof bytes), 6);
  EXPECT_EQ(DecodeLength(std::string_view(bytes, 4)), 2u);
  EXPECT_EQ(std::string(bytes + 4, 2), "{}");
  pipe.reader.Close();
  EXPECT_TRUE(pipe.channel->Write("more", pipe.stop));
}

api::EventMessage UpdatedPages(size_t count) {
  Json pages = Json::array();
  for (size_t i = 0; i < count; ++i) {
    pages.push_back(
        {{"title", "Page " + std::to_string(i)},
         {"address", "http://example.org/" + std::string(100, 'p') + std::to_string(i)}});
  }
  return {"showUpdatedPages",
          Json({{"id", 9}, {"pages", pages}, {"doNotShowAgain", false}}).dump()};
}

TEST(OutgoingTest, ASmallEventIsOneMessage) {
  const std::vector<std::string> texts = EventTexts({"checking", R"({"running":true})"});
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(Json::parse(texts[0]), Json({{"event", "checking"}, {"data", {{"running", true}}}}));
}

TEST(OutgoingTest, ALongDialogEventIsSplitIntoPartsOfTheSameDialog) {
  const api::EventMessage event = UpdatedPages(500);
  const std::vector<std::string> texts = EventTexts(event, /*max_length=*/10000);
  ASSERT_GT(texts.size(), 1u);
  Json pages = Json::array();
  for (const std::string& text : texts) {
    EXPECT_LE(text.size(), 10000u);
    const Json message = Json::parse(text);
    EXPECT_EQ(message["event"], "showUpdatedPages");
    EXPECT_EQ(message["data"]["id"], 9);
    EXPECT_EQ(message["data"]["doNotShowAgain"], false);
    for (const Json& page : message["data"]["pages"]) pages.push_back(page);
  }
  EXPECT_EQ(pages, Json::parse(event.data)["pages"]);
}

TEST(OutgoingTest, ProposalsKeepWhatFitsAndOtherEventsAreNotSentTooLong) {
  Json proposals = Json::array();
  for (int i = 0; i < 500; ++i) {
    proposals.push_back({{"title", "P" + std::to_string(i)}, {"address", std::string(100, 'a')}});
  }
  const std::vector<std::string> texts =
      EventTexts({"proposals", Json({{"pages", proposals}}).dump()}, 10000);
  ASSERT_EQ(texts.size(), 1u);
  const Json kept = Json::parse(texts[0])["data"]["pages"];
  EXPECT_GT(kept.size(), 10u);
  EXPECT_EQ(kept[0]["title"], "P0");

  EXPECT_TRUE(
      EventTexts({"message", Json({{"message", std::string(20000, 'm')}}).dump()}, 10000).empty());
}

TEST(OutgoingTest, ATooLargeReplyBecomesAnErrorWithItsId) {
  const Json reply = {{"id", "r1"}, {"result", {{"text", std::string(2000, 'x')}}}};
  const std::string request = R"({"id": "r1", "method": "pages.list"})";
  EXPECT_EQ(ReplyText(reply.dump(), request, 3000), reply.dump());
  const Json error = Json::parse(ReplyText(reply.dump(), request, 1000));
  EXPECT_EQ(error["id"], "r1");
  EXPECT_EQ(error["error"]["code"], "too-large");
  EXPECT_FALSE(error.contains("result"));
}

}  // namespace
}  // namespace tw::nativehost
