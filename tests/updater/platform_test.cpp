// The X11 window probe and the signing tool the update service uses.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fakes.h"
#include "updater/signature.h"
#include "updater/x11_window_probe.h"

namespace zentrel::testing {
namespace {

TEST(X11ProbeTest, NoDisplayGivesNoProbe) { EXPECT_EQ(X11WindowProbe::Connect(":4711"), nullptr); }

// A private Xvfb on a free display number for the length of one test, so the probe is checked
// in every run whatever DISPLAY says.
class Xvfb {
 public:
  Xvfb() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    const std::string fd = std::to_string(fds[1]);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
               "320x240x24", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    // Xvfb writes the number and its newline in two writes: read up to the newline, or the
    // second write would find the pipe closed and end the server.
    std::string number;
    char c = 0;
    while (pid_ > 0 && number.size() < 16) {
      const ssize_t n = ::read(fds[0], &c, 1);
      if (n < 0 && errno == EINTR) continue;  // children of other tests ending meanwhile
      if (n <= 0 || c == '\n') break;
      number += c;
    }
    ::close(fds[0]);
    if (c == '\n' && !number.empty()) name_ = ":" + number;
  }
  ~Xvfb() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  const std::string& name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

TEST(X11ProbeTest, FindsATopLevelWindowByItsUtf8Title) {
  const Xvfb server;
  ASSERT_FALSE(server.name().empty()) << "Xvfb did not start (package xvfb)";
  std::unique_ptr<X11WindowProbe> probe = X11WindowProbe::Connect(server.name().c_str());
  ASSERT_NE(probe, nullptr);
  xcb_connection_t* c = xcb_connect(server.name().c_str(), nullptr);
  ASSERT_EQ(xcb_connection_has_error(c), 0);
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const xcb_window_t window = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 100, 50, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
  auto atom = [c](const char* name) {
    auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t id = reply->atom;
    std::free(reply);
    return id;
  };
  const std::string title = "Orvane 서버 로그인";
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_NAME"), atom("UTF8_STRING"),
                      8, title.size(), title.data());
  xcb_map_window(c, window);
  free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));

  EXPECT_TRUE(probe->TopLevelWindowExists(title));
  EXPECT_FALSE(probe->TopLevelWindowExists("Orvane 로그인"));
  EXPECT_FALSE(probe->TopLevelWindowExists("Orvane 서버"));
  xcb_destroy_window(c, window);
  free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  EXPECT_FALSE(probe->TopLevelWindowExists(title));
  xcb_disconnect(c);
}

TEST(SignatureTest, PublicKeyMustBeExactly64HexDigits) {
  const std::string hex(64, 'a');
  EXPECT_TRUE(ParsePublicKey(hex));
  EXPECT_TRUE(ParsePublicKey(" " + hex + "\n"));
  EXPECT_FALSE(ParsePublicKey(""));
  EXPECT_FALSE(ParsePublicKey(hex.substr(1)));
  EXPECT_FALSE(ParsePublicKey(hex + "a"));
  EXPECT_FALSE(ParsePublicKey(std::string(63, 'a') + "g"));
  EXPECT_FALSE(ParsePublicKey(hex.substr(0, 32) + " " + hex.substr(32)));
}

TEST(SignToolTest, PublishedManifestVerifiesAndItsReleaseOnlyGrows) {
  const std::string tool = std::string(ORVANE_BINARY_DIR) + "/updater/zentrel-sign";
  TempDir dir;
  const std::string key = (dir.path() / "update.key").string();
  const std::string file = (dir.path() / "Orvane").string();
  WriteText(file, ProgramBytes(3000));
  int status = -1;
  std::string publicKey = Capture(tool + " keygen " + key, &status);
  ASSERT_EQ(status, 0);
  while (!publicKey.empty() && publicKey.back() == '\n') publicKey.pop_back();
  EXPECT_EQ(publicKey.size(), 64u);
  EXPECT_EQ(Capture(tool + " pubkey " + key, &status), publicKey + "\n");
  const std::string publish = tool + " publish " + key + " " + file + " Ver.1.0.2";
  const auto release = [&] { return ParseManifest(ReadText(file + ".manifest"))->release; };
  ASSERT_EQ(std::system((publish + " 100 >/dev/null").c_str()), 0);
  EXPECT_EQ(ReadText(file + ".manifest.sig").size(), 64u);
  EXPECT_EQ(std::system((tool + " verify " + publicKey + " " + file).c_str()), 0);
  // A release not above the published one is refused; without one the next is picked.
  EXPECT_NE(std::system((publish + " 100 >/dev/null 2>&1").c_str()), 0);
  EXPECT_EQ(release(), 100u);
  ASSERT_EQ(std::system((publish + " >/dev/null").c_str()), 0);
  EXPECT_GT(release(), 100u);
  WriteText(file, "changed");
  EXPECT_NE(std::system((tool + " verify " + publicKey + " " + file).c_str()), 0);
}

}  // namespace
}  // namespace zentrel::testing
