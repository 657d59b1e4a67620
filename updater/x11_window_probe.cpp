#include "updater/x11_window_probe.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace zentrel {

namespace {

template <typename T>
struct FreeDeleter {
  void operator()(T* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter<T>>;

xcb_atom_t Intern(xcb_connection_t* connection, std::string_view name) {
  Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      connection,
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()),
      nullptr));
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

}  // namespace

struct X11WindowProbe::State {
  xcb_connection_t* connection = nullptr;
  xcb_window_t root = 0;
  xcb_atom_t clientList = 0;
  xcb_atom_t wmName = 0;
  xcb_atom_t utf8 = 0;
};

std::unique_ptr<X11WindowProbe> X11WindowProbe::Connect(const char* display) {
  int screenIndex = 0;
  auto state = std::make_unique<State>();
  state->connection = xcb_connect(display, &screenIndex);
  if (xcb_connection_has_error(state->connection)) {
    xcb_disconnect(state->connection);
    return nullptr;
  }
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(state->connection));
  for (int i = 0; i < screenIndex && screens.rem > 0; ++i) xcb_screen_next(&screens);
  if (screens.rem == 0) {
    xcb_disconnect(state->connection);
    return nullptr;
  }
  state->root = screens.data->root;
  state->clientList = Intern(state->connection, "_NET_CLIENT_LIST");
  state->wmName = Intern(state->connection, "_NET_WM_NAME");
  state->utf8 = Intern(state->connection, "UTF8_STRING");
  return std::unique_ptr<X11WindowProbe>(new X11WindowProbe(std::move(state)));
}

X11WindowProbe::X11WindowProbe(std::unique_ptr<State> state) : state_(std::move(state)) {}

X11WindowProbe::~X11WindowProbe() { xcb_disconnect(state_->connection); }

bool X11WindowProbe::TopLevelWindowExists(std::string_view title) {
  xcb_connection_t* c = state_->connection;
  if (xcb_connection_has_error(c)) return false;
  std::vector<xcb_window_t> windows;
  Reply<xcb_get_property_reply_t> list(xcb_get_property_reply(
      c, xcb_get_property(c, 0, state_->root, state_->clientList, XCB_ATOM_WINDOW, 0, 1 << 16),
      nullptr));
  if (list && list->type == XCB_ATOM_WINDOW && list->format == 32) {
    const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
    windows.assign(ids, ids + xcb_get_property_value_length(list.get()) / 4);
  } else {
    // Without a window manager the top-level windows are the root's children.
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, state_->root), nullptr));
    if (!tree) return false;
    const xcb_window_t* ids = xcb_query_tree_children(tree.get());
    windows.assign(ids, ids + xcb_query_tree_children_length(tree.get()));
  }
  // Send every request first, then collect the answers: one round trip for all windows.
  std::vector<xcb_get_property_cookie_t> cookies;
  cookies.reserve(windows.size());
  const auto longs = static_cast<std::uint32_t>((title.size() + 4) / 4);
  for (xcb_window_t window : windows)
    cookies.push_back(xcb_get_property(c, 0, window, state_->wmName, state_->utf8, 0, longs));
  bool found = false;
  for (xcb_get_property_cookie_t cookie : cookies) {
    Reply<xcb_get_property_reply_t> name(xcb_get_property_reply(c, cookie, nullptr));
    if (found || !name || name->type != state_->utf8 || name->format != 8) continue;
    const std::string_view text(static_cast<const char*>(xcb_get_property_value(name.get())),
                                xcb_get_property_value_length(name.get()));
    found = text == title && name->bytes_after == 0;
  }
  return found;
}

}  // namespace zentrel
