// What the check pass tests share: a page folder in a private HOME, a local HTTP server whose
// pages the tests script, and a check thread that fetches them.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "checking/check_thread.h"
#include "pagedb/recording_sink.h"
#include "pagefile/page_file.h"
#include "pagefile/title.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "settings/checking_options.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"

namespace tw::test {

// Holds every request of a path until opened, as a slow server does; the server's destruction
// lets them go too.
class Gate {
 public:
  void Open() { open_ = true; }
  void WaitIn(TestHttpServer& server) {
    while (!open_ && server.Pause(std::chrono::milliseconds(5))) {
    }
  }

 private:
  std::atomic<bool> open_{false};
};

class CheckTest : public ::testing::Test {
 protected:
  CheckTest() {
    auto context = std::make_shared<RequestContext>();
    context->user_agent = "Tidewell test agent";
    context_ = context;
    EXPECT_TRUE(store_.WriteString(OptionsKey(), option::kPdb, folder_).ok());
  }

  std::unique_ptr<CheckThread> MakeThread(uint32_t pool_size = 1, uint32_t timeout_ms = 20000,
                                          Timeout schedule_minute = std::chrono::minutes(1)) {
    auto thread = std::make_unique<CheckThread>(CheckThread::Options{context_, schedule_minute});
    thread->SetEventSink(&sink_);
    thread->SetPageFolder(folder_);
    thread->SetPassSettings(PassSettings{timeout_ms, pool_size, kDefaultKeptVersions});
    return thread;
  }
  bool RunOnce(uint32_t pool_size = 1, uint32_t timeout_ms = 20000) {
    return MakeThread(pool_size, timeout_ms)->RunOnce().ok();
  }

  // A page on the local server; by default Smart Update on, Check for Changes 0, no wait.
  void AddPage(const std::string& title, const std::string& path, PageSettings options = {}) {
    ASSERT_TRUE(AddPageWithDefaults(folder_, title, server_.Url(path), options).ok());
  }
  std::unique_ptr<PageRecord> Page(const std::string& title) {
    Result<std::unique_ptr<PageRecord>> page = ReadPage(folder_, title);
    EXPECT_TRUE(page.ok()) << title << ": error " << page.error().code();
    return page.ok() ? std::move(*page) : std::make_unique<PageRecord>();
  }
  std::string PageBytes(const std::string& title) {
    return ReadFileBytes(PagePath(folder_, title));
  }
  size_t RequestsFor(const std::string& path, const std::string& method = "GET") {
    size_t n = 0;
    for (const RecordedRequest& r : server_.requests()) n += r.path == path && r.method == method;
    return n;
  }
  // No pass holds the folder: the lock file opens with no sharing.
  bool LockIsFree() {
    return File::Open(JoinPath(folder_, "lock"),
                      OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kOpenAlways})
        .ok();
  }

  Sandbox sandbox_;
  ScopedHome home_{sandbox_};
  SettingsStore store_ = *SettingsStore::OpenUser();
  std::string folder_ = sandbox_.Sub("pages", true);
  TestHttpServer server_;  // before anything that makes requests to it
  RecordingSink sink_;
  std::shared_ptr<const RequestContext> context_;
};

}  // namespace tw::test
