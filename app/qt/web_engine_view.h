#pragma once

#include <string_view>

namespace orvane::app {

// Shown in the web window instead of the page when the engine's sandbox cannot run (as root).
inline constexpr std::string_view kWebNoSandboxText =
    "관리자(root) 권한에서는 웹 화면을 열 수 없습니다. 일반 사용자로 실행하세요.";
inline constexpr char kWebNoSandboxEnv[] = "ORVANE_WEB_NO_SANDBOX";

// Sets what the web engine needs before the QApplication exists and makes the web windows use
// it. The engine always runs inside its sandbox, which cannot start as root: there the window
// shows kWebNoSandboxText instead, unless ORVANE_WEB_NO_SANDBOX=1 (tests, containers) turns the
// sandbox off in so many words. Cookies and cache persist in the per-user data folder.
void UseWebEngine();

}  // namespace orvane::app
