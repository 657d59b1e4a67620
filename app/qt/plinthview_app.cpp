#include "app/qt/plinthview_app.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <system_error>

#include "app/qt/login_startup.h"
#include "app/qt/plinthview_dlg.h"
#include "app/qt/working_folder.h"
#include "app/udp_transport.h"
#include "data/fetch.h"
#include "ui/message_box.h"

namespace orvane::app {

int CPlinthviewApp::InitInstance() {
  QCoreApplication::setOrganizationName(QString::fromUtf8(kSettingsOrganisation));
  QCoreApplication::setApplicationName(QString::fromUtf8(ui::kApplicationName));
  const std::filesystem::path folder = workingFolder_.empty() ? WorkingFolder() : workingFolder_;
  hooks_.picturePath = QString::fromStdString((folder / kLoginPictureName).string());
  hooks_ = CompleteHooks(std::move(hooks_));

  // The login picture is fetched first and the socket made right before the login window;
  // nothing between the two depends on the other. POSIX sockets need no library start-up, so
  // "WSAStartup error" has nothing to stand for.
  std::error_code ignored;
  std::filesystem::remove(folder / kLoginPictureName, ignored);
  FetchFile(ContentUrl(options_.contentHost, std::string("/orvane_img/") + kLoginPictureName),
            kLoginPictureName, (folder / "").string());

  UdpTransport transport;
  const bool admitted =
      RunStartupLogin(login_, transport, options_.loginHost.host,
                      static_cast<std::uint16_t>(options_.loginHost.port), hooks_);
  if (admitted) {
    MainWindowSetup setup;
    setup.contentHost = options_.contentHost;
    setup.workingFolder = folder;
    setup.login = &login_;
    setup.hooks = hooks_;
    setup.notesFile =
        std::filesystem::path(
            QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation).toStdString()) /
        "orvane-notes.json";
    CPlinthviewDlg window(std::move(setup));
    window.exec();
  }
  login_.transport = nullptr;
  return 0;
}

}  // namespace orvane::app
