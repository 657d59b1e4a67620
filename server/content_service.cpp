#include "server/content_service.h"

#include <fmt/format.h>

#include <fstream>
#include <iterator>

#include "server/bounded_http.h"
#include "server/path_guard.h"
#include "server/update_listing.h"

namespace orvane::server {
namespace {

namespace fs = std::filesystem;

// Request line, headers and any body of one request together.
constexpr std::size_t kMaxRequestBytes = std::size_t{16} * 1024;
// Files up to this size are read whole; larger ones (an update build) are streamed.
constexpr std::uintmax_t kWholeFileLimit = 1 << 20;
constexpr std::size_t kStreamChunk = std::size_t{64} * 1024;
constexpr std::size_t kKeepAliveRequests = 100;

std::string ContentTypeFor(const fs::path& file) {
  const std::string ext = file.extension().string();
  // Menu lists and series are CP949 text.
  if (ext == ".txt") return "text/plain; charset=euc-kr";
  if (ext == ".bmp") return "image/bmp";
  if (ext == ".html" || ext == ".htm") return "text/html; charset=utf-8";
  if (ext == ".png") return "image/png";
  if (ext == ".css") return "text/css";
  if (ext == ".js") return "text/javascript";
  return "application/octet-stream";
}

bool ServeFile(const fs::path& file, httplib::Response& res) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(file, ec);
  if (ec) return false;
  auto in = std::make_shared<std::ifstream>(file, std::ios::binary);
  if (!*in) return false;
  if (size <= kWholeFileLimit) {
    std::string body(static_cast<std::size_t>(size), '\0');
    in->read(body.data(), static_cast<std::streamsize>(size));
    body.resize(static_cast<std::size_t>(in->gcount()));
    res.set_content(body, ContentTypeFor(file));
    return true;
  }
  res.set_content_provider(static_cast<std::size_t>(size), ContentTypeFor(file),
                           [in](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                             std::string chunk(std::min(length, kStreamChunk), '\0');
                             in->clear();
                             in->seekg(static_cast<std::streamoff>(offset));
                             in->read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
                             const auto got = in->gcount();
                             if (got <= 0) return false;
                             return sink.write(chunk.data(), static_cast<std::size_t>(got));
                           });
  return true;
}

const char* StatusText(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 413:
      return "Payload Too Large";
    case 414:
      return "URI Too Long";
    case 416:
      return "Range Not Satisfiable";
    default:
      return "Error";
  }
}

// Control bytes of a request target never reach the log as they are, nor do huge targets.
std::string Printable(std::string_view text) {
  constexpr std::size_t kMaxLogged = 256;
  std::string out(text.substr(0, kMaxLogged));
  if (text.size() > kMaxLogged) out += "...";
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return out;
}

}  // namespace

ContentService::ContentService(ContentServiceConfig config)
    : config_(std::move(config)),
      http_(std::make_unique<BoundedHttpServer>(HttpLimits{.maxRequestBytes = kMaxRequestBytes})) {}

ContentService::~ContentService() = default;

bool ContentService::Bind(std::string& error) {
  std::error_code ec;
  root_ = fs::canonical(config_.root, ec);
  if (ec || !fs::is_directory(root_)) {
    error = fmt::format("data root '{}' is not a folder (make one with --make-sample DIR)",
                        config_.root.string());
    return false;
  }
  Route();
  if (config_.port == 0) {
    port_ = http_->bind_to_any_port(config_.listen);
  } else if (http_->bind_to_port(config_.listen, config_.port)) {
    port_ = config_.port;
  } else {
    port_ = -1;
  }
  if (port_ <= 0) {
    error = fmt::format("cannot listen on {}:{}", config_.listen, config_.port);
    return false;
  }
  return true;
}

void ContentService::Route() {
  httplib::Server& http = *http_;
  http.set_keep_alive_max_count(kKeepAliveRequests);
  http.set_payload_max_length(kMaxRequestBytes);

  http.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
    if (req.method == "GET" || req.method == "HEAD")
      return httplib::Server::HandlerResponse::Unhandled;
    res.status = 405;
    res.set_header("Allow", "GET, HEAD");
    return httplib::Server::HandlerResponse::Handled;
  });

  http.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
    const std::string& path = req.path;
    const std::string_view listing = kUpdatePath;
    if (path == listing || path == listing.substr(0, listing.size() - 1)) {
      res.set_content(BuildUpdateListing(config_.updateDir), "text/html; charset=utf-8");
      return;
    }
    std::optional<fs::path> file;
    if (path.starts_with(listing)) {
      std::error_code ec;
      const fs::path updateRoot = fs::canonical(config_.updateDir, ec);
      if (ec) {
        res.status = 404;
        return;
      }
      const std::string name = path.substr(listing.size() - 1);
      file = ResolveUnderRoot(updateRoot, name);
    } else {
      file = ResolveUnderRoot(root_, path);
    }
    if (!file || !ServeFile(*file, res)) res.status = 404;
  });

  http.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.status == 400 || res.status == 413 || res.status == 414) {
      BoundedHttpServer::CloseAfterResponse();
    }
    if (res.body.empty() && !res.content_length_) {
      res.set_content(fmt::format("{} {}\n", res.status, StatusText(res.status)), "text/plain");
    }
  });

  http.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
    if (!config_.log) return;
    const std::size_t bytes = res.content_length_ ? res.content_length_ : res.body.size();
    const std::string peer =
        req.remote_addr.empty() ? "-" : fmt::format("{}:{}", req.remote_addr, req.remote_port);
    config_.log(fmt::format("http {} \"{} {}\" {} {}", peer, Printable(req.method),
                            Printable(req.target), res.status, req.method == "HEAD" ? 0 : bytes));
  });
}

bool ContentService::Run() { return http_->Serve(); }

void ContentService::Stop() { http_->Shutdown(); }

}  // namespace orvane::server
