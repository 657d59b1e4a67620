#pragma once

#include <filesystem>

#include "app/login_flow.h"
#include "app/qt/login_dialog_hooks.h"
#include "app/startup_options.h"

namespace orvane::app {

// The application object: start-up from the login socket to the end of the main window.
class CPlinthviewApp {
 public:
  // An empty workingFolder means WorkingFolder().
  explicit CPlinthviewApp(StartupOptions options, LoginDialogHooks hooks = {},
                          std::filesystem::path workingFolder = {})
      : options_(std::move(options)),
        hooks_(std::move(hooks)),
        workingFolder_(std::move(workingFolder)) {}

  // Socket and login server, login picture, the modal login window and, only on admission,
  // the modal main window. Needs a QApplication; returns the process's exit status.
  int InitInstance();

  LoginContext& Login() { return login_; }

 private:
  StartupOptions options_;
  LoginDialogHooks hooks_;
  std::filesystem::path workingFolder_;
  LoginContext login_;
};

}  // namespace orvane::app
