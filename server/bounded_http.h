#pragma once

#include <httplib.h>

#include <cstddef>

namespace orvane::server {

// An httplib server whose connections read at most maxRequestBytes per request (request line,
// headers and any body together), so a client cannot make the service hold unbounded headers.
// The library itself bounds only the length of each line.
class BoundedHttpServer : public httplib::Server {
 public:
  explicit BoundedHttpServer(std::size_t maxRequestBytes) : maxRequestBytes_(maxRequestBytes) {}

  // Called while a request is answered (from a handler of this thread): the connection closes
  // after the response instead of waiting for another request. Used for malformed requests,
  // whose unread rest must not be taken for the next request.
  static void CloseAfterResponse();

 private:
  bool process_and_close_socket(socket_t sock) override;

  std::size_t maxRequestBytes_;
};

}  // namespace orvane::server
