#pragma once

#include <cstdint>
#include <string>

#include "app/login_flow.h"
#include "app/qt/login_dialog_hooks.h"
#include "app/udp_transport.h"

namespace orvane::app {

// Start-up's login steps: report a socket that could not be made ("sock failed"), resolve the
// login server, run the login window modally. True only when it ended with OK and the login
// marker is set; the main window opens only then.
bool RunStartupLogin(LoginContext& context, UdpTransport& transport, const std::string& loginHost,
                     std::uint16_t loginPort, LoginDialogHooks hooks = {});

}  // namespace orvane::app
