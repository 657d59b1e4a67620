// Looks for a top-level window by title on an X11 display (EWMH client list and _NET_WM_NAME).
#pragma once

#include <memory>
#include <string_view>

#include "updater/zentrel_core.h"

namespace zentrel {

class X11WindowProbe final : public WindowProbe {
 public:
  // Null when no X display can be reached; `display` null means $DISPLAY.
  static std::unique_ptr<X11WindowProbe> Connect(const char* display = nullptr);
  ~X11WindowProbe() override;
  bool TopLevelWindowExists(std::string_view title) override;

 private:
  struct State;
  explicit X11WindowProbe(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace zentrel
