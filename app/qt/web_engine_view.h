#pragma once

namespace orvane::app {

// Sets what the web engine needs before the QApplication exists (its sandbox cannot run as
// root; it shares OpenGL contexts with the widgets), and makes the web windows use it.
void UseWebEngine();

}  // namespace orvane::app
