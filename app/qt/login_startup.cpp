#include "app/qt/login_startup.h"

#include "app/qt/server_login.h"

namespace orvane::app {

bool RunStartupLogin(LoginContext& context, UdpTransport& transport, const std::string& loginHost,
                     std::uint16_t loginPort, LoginDialogHooks hooks) {
  hooks = CompleteHooks(std::move(hooks));
  if (transport.SocketOk()) {
    context.transport = &transport;
    // An unresolved name is not reported; the login attempts then fail to send.
    transport.Resolve(loginHost, loginPort);
  } else {
    context.transport = nullptr;
    hooks.showMessage(nullptr, QStringLiteral("sock failed"));
  }
  CServerLogin dialog(context, hooks);
  return dialog.exec() == QDialog::Accepted && context.loginMarker == protocol::kLoginMarker;
}

}  // namespace orvane::app
