#include "service/http_service.h"

#include <httplib.h>

#include <chrono>
#include <string>
#include <string_view>

#include "api/event_feed.h"
#include "service/guard.h"
#include "service/instance.h"
#include "service/ui_files.h"

namespace tw::service {
namespace {

constexpr int kForbidden = 403;
constexpr int kUnauthorized = 401;
constexpr int kBadRequest = 400;
constexpr int kNotFound = 404;
constexpr int kMethodNotAllowed = 405;
constexpr int kUnsupportedMediaType = 415;
constexpr int kServiceUnavailable = 503;
constexpr int kSeeOther = 303;
constexpr time_t kKeepAliveSeconds = 2;
constexpr time_t kReadTimeoutSeconds = 5;
constexpr time_t kWriteTimeoutSeconds = 5;

constexpr std::string_view kContentSecurityPolicy =
    "default-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'self'";

constexpr std::string_view kUiNotBuilt =
    "<!doctype html><html lang=\"en\"><head><meta charset=\"utf-8\"><title>Tidewell</title>"
    "</head><body><h1>Tidewell</h1><p>The Tidewell UI was not built.</p><p>Run "
    "<code>scripts/setup</code> to build it into the program. Tidewell runs and checks your "
    "pages without it, and its API answers at <code>/api</code>.</p></body></html>";

void Refuse(httplib::Response& response, int status, std::string_view text) {
  response.status = status;
  response.set_content(std::string(text) + "\n", "text/plain; charset=utf-8");
}

// The HTTP library compresses a plain body for a browser that accepts brotli, at brotli's slowest
// setting: a fifth of a second for the UI's script, to save nothing on loopback. A body given by a
// provider of known length goes out as it is. (The server stops writing such a body when it
// stops, so API replies stay plain bodies.)
void SendUncompressed(httplib::Response& response, std::string_view bytes, std::string_view type) {
  response.set_content_provider(bytes.size(), std::string(type),
                                [bytes](size_t offset, size_t length, httplib::DataSink& sink) {
                                  return sink.write(bytes.data() + offset, length);
                                });
}

// JSON is UTF-8. Naming the charset also keeps the HTTP library from compressing the reply, which
// it does only for a bare "application/json": at brotli's slowest setting, seconds for a long page
// list, to save nothing on loopback.
constexpr std::string_view kJsonReplyType = "application/json; charset=utf-8";

std::string EventText(const std::vector<api::EventMessage>& events) {
  if (events.empty()) return ":\n\n";  // a comment: the stream is alive
  std::string text;
  for (const api::EventMessage& event : events) {
    text += "event: ";
    text += event.name;
    text += "\ndata: ";
    text += event.data;
    text += "\n\n";
  }
  return text;
}

}  // namespace

// One open event stream: a window of the application and the client's events.
struct HttpService::Stream {
  explicit Stream(app::Application& app, app::Application::Window held)
      : window(std::move(held)), feed(app, /*shows_dialogs=*/true) {}
  app::Application::Window window;
  api::EventFeed feed;
};

HttpService::HttpService(app::Application& app, api::Dispatcher& dispatcher)
    : app_(app), dispatcher_(dispatcher) {}

HttpService::~HttpService() { Stop(); }

void HttpService::SetStreamsChanged(std::function<void(size_t)> hook) {
  std::lock_guard lock(mutex_);
  streams_changed_ = std::move(hook);
}

size_t HttpService::open_streams() const {
  std::lock_guard lock(mutex_);
  return streams_.size();
}

Result<int> HttpService::Start(int port, std::string secret) {
  secret_ = std::move(secret);
  server_ = std::make_unique<httplib::Server>();
  server_->new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
  server_->set_keep_alive_timeout(kKeepAliveSeconds);
  server_->set_read_timeout(kReadTimeoutSeconds);
  server_->set_write_timeout(kWriteTimeoutSeconds);
  server_->set_payload_max_length(kMaxRequestBody);
  server_->set_default_headers({{"X-Content-Type-Options", "nosniff"},
                                {"Referrer-Policy", "no-referrer"},
                                {"Cache-Control", "no-store"}});
  Route();
  if (port == 0) {
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ < 0) return Error::LastErrno();
  } else {
    if (!server_->bind_to_port("127.0.0.1", port)) return Error(err::kAlreadyExists);
    port_ = port;
  }
  loop_ended_ = false;
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    loop_ended_ = true;
  });
  // The socket listens from here on, and connections wait in its backlog until the accept loop
  // runs. A stop that comes before the loop runs is lost, and the loop then waits in accept for
  // good: a service told to end right after it started would never end. So the service is
  // started only once its loop runs.
  while (!server_->is_running() && !loop_ended_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return port_;
}

void HttpService::Stop() {
  if (!server_) return;
  stopping_ = true;
  {
    // Streams hold their threads until woken: they end first, so that the pool can be joined.
    std::lock_guard lock(mutex_);
    for (const std::shared_ptr<Stream>& stream : streams_) stream->feed.Wake();
  }
  server_->stop();
  if (thread_.joinable()) thread_.join();
  server_.reset();
}

bool HttpService::Guard(const httplib::Request& request, httplib::Response& response) const {
  if (!IsOwnHost(request.get_header_value("Host"), port_)) {
    Refuse(response, kForbidden, "This address is not Tidewell's.");
    return false;
  }
  // A page of another site may send requests here; none of them is let through.
  if (request.has_header("Origin") && !IsOwnOrigin(request.get_header_value("Origin"), port_)) {
    Refuse(response, kForbidden, "Requests from other sites are refused.");
    return false;
  }
  if (request.path == "/open") return true;
  const std::optional<std::string> cookie =
      CookieValue(request.get_header_value("Cookie"), CookieName(port_));
  const std::optional<std::string> bearer = BearerToken(request.get_header_value("Authorization"));
  const bool allowed =
      (cookie && SameSecret(*cookie, secret_)) || (bearer && SameSecret(*bearer, secret_));
  if (!allowed) {
    Refuse(response, kUnauthorized,
           "Open Tidewell with the address that 'tidewell' opens or 'tidewell serve' prints.");
  }
  return allowed;
}

void HttpService::Route() {
  using httplib::Request;
  using httplib::Response;
  using Handled = httplib::Server::HandlerResponse;
  server_->set_pre_routing_handler([this](const Request& request, Response& response) {
    return Guard(request, response) ? Handled::Unhandled : Handled::Handled;
  });
  server_->Get("/open", [this](const Request& request, Response& response) {
    if (!SameSecret(request.get_param_value("token"), secret_)) {
      return Refuse(response, kUnauthorized, "This address holds an old or wrong secret.");
    }
    response.set_header("Set-Cookie",
                        CookieName(port_) + "=" + secret_ + "; HttpOnly; SameSite=Strict; Path=/");
    app::WindowStart start;
    if (request.has_param(std::string(kShowChangesParameter))) {
      start.show_changes_of = request.get_param_value(std::string(kShowChangesParameter));
    }
    start.smart_history = request.has_param(std::string(kSmartHistoryParameter));
    response.set_redirect("/" + UiStartQuery(start), kSeeOther);
  });
  server_->Post("/api",
                [this](const Request& request, Response& response) { Call(request, response); });
  server_->Get("/api", [](const Request&, Response& response) {
    Refuse(response, kMethodNotAllowed, "Send API requests with POST.");
  });
  server_->Get("/api/events", [this](const Request&, Response& response) { OpenStream(response); });
  server_->Get("/api/.*", [](const Request&, Response& response) {
    Refuse(response, kNotFound, "No such API path.");
  });
  server_->Get(".*",
               [this](const Request& request, Response& response) { ServeUi(request, response); });
}

void HttpService::Call(const httplib::Request& request, httplib::Response& response) {
  // A change must come from our own page, or from a script holding the secret itself.
  if (!request.has_header("Origin") && !BearerToken(request.get_header_value("Authorization"))) {
    return Refuse(response, kForbidden, "A call needs the Origin of Tidewell's own page.");
  }
  if (!IsJsonContentType(request.get_header_value("Content-Type"))) {
    return Refuse(response, kUnsupportedMediaType, "API requests are application/json.");
  }
  const std::optional<api::Request> parsed = api::ParseRequest(request.body);
  if (!parsed) {
    response.status = kBadRequest;
    response.set_content(
        api::Serialize(api::Dispatcher::InvalidRequest(nullptr, "the body is not a request")),
        std::string(kJsonReplyType));
    return;
  }
  // Moved in, not copied: the page list is megabytes. A plain body, so that the reply to a call
  // that ends the service is still written while the server stops (see kJsonReplyType).
  response.set_header("Content-Type", std::string(kJsonReplyType));
  response.body = dispatcher_.Handle(*parsed);
}

void HttpService::OpenStream(httplib::Response& response) {
  std::shared_ptr<Stream> stream;
  {
    std::lock_guard lock(mutex_);
    if (stopping_ || streams_.size() >= kMaxEventStreams) {
      return Refuse(response, kServiceUnavailable, "Too many Tidewell windows are open.");
    }
  }
  app::Outcome<app::Application::Window> window = app_.OpenWindow();
  if (!window.ok()) return Refuse(response, kServiceUnavailable, window.message().text);
  stream = std::make_shared<Stream>(app_, std::move(*window));
  ChangeStreams(stream, StreamChange::kOpened);
  response.set_header("X-Accel-Buffering", "no");
  response.set_chunked_content_provider(
      "text/event-stream",
      [this, stream](size_t, httplib::DataSink& sink) {
        if (stopping_) return false;
        const std::vector<api::EventMessage> events = stream->feed.Take(kHeartbeat);
        // A client that fell behind its cap is dropped; it connects again from the start.
        if (stopping_ || stream->feed.overflowed()) return false;
        const std::string text = EventText(events);
        return sink.write(text.data(), text.size());
      },
      [this, stream](bool) { ChangeStreams(stream, StreamChange::kClosed); });
}

void HttpService::ChangeStreams(const std::shared_ptr<Stream>& stream, StreamChange change) {
  std::function<void(size_t)> hook;
  size_t open = 0;
  {
    std::lock_guard lock(mutex_);
    if (change == StreamChange::kOpened) {
      streams_.insert(stream);
    } else {
      streams_.erase(stream);
    }
    open = streams_.size();
    hook = streams_changed_;
  }
  // The hook is called outside the lock: it may ask how many streams are open.
  if (hook) hook(open);
}

void HttpService::ServeUi(const httplib::Request& request, httplib::Response& response) const {
  const std::optional<UiFile> file = FindUiFile(request.path);
  if (!file) {
    if (request.path == "/" && !HasUi()) {
      response.set_header("Content-Security-Policy", std::string(kContentSecurityPolicy));
      response.set_content(std::string(kUiNotBuilt), "text/html; charset=utf-8");
      return;
    }
    return Refuse(response, kNotFound, "Not found.");
  }
  response.set_header("Content-Security-Policy", std::string(kContentSecurityPolicy));
  SendUncompressed(response, file->bytes, ContentTypeOf(file->path));
}

}  // namespace tw::service
