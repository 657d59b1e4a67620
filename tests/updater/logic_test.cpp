// The listing parse, the download loop and the finish steps, against fakes.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "fakes.h"
#include "updater/zentrel_core.h"

namespace zentrel::testing {
namespace {

namespace fs = std::filesystem;

TEST(ListingTest, TakesTheNameAfterTheLastBracketOfEachEntry) {
  struct Case {
    std::string listing;
    std::vector<std::string> names;
  };
  const std::vector<Case> cases = {
      {Listing({"Orvane", "Zentrel"}), {"Orvane", "Zentrel"}},
      // Everything before the first "<br>" is header, even a complete entry.
      {"<A HREF=\"x\">Early</A><br><A HREF=\"y\">Late</A>", {"Late"}},
      // Without "<br>" nothing is dropped.
      {"<A HREF=\"a\">Orvane</A>", {"Orvane"}},
      {"no entries at all", {}},
      {"<br>Orvane</A>", {"Orvane"}},
      {"<br><b><A HREF=\"/UpdateFiles/Orvane\">Orvane</A>", {"Orvane"}},
      {"<br>x>Orvane </A><A>orvane</A>tail without end", {"Orvane ", "orvane"}},
      {"<br></A></A>", {"", ""}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseListing(c.listing), c.names) << c.listing;
}

TEST(ListingTest, HugeListingParsesInOnePass) {
  std::string listing = "header<br>";
  constexpr int kEntries = 1'000'000;
  for (int i = 0; i < kEntries; ++i)
    listing += "<A HREF=\"/UpdateFiles/f\">file" + std::to_string(i) + "</A><br>";
  listing += "<A HREF=\"/UpdateFiles/Orvane\">Orvane</A><br>";
  const std::vector<std::string> names = ParseListing(listing);
  ASSERT_EQ(names.size(), kEntries + 1u);
  EXPECT_EQ(names.back(), "Orvane");
  EXPECT_EQ(std::count(names.begin(), names.end(), "Orvane"), 1);
}

TEST(ListingTest, LinesAreJoinedWithoutSeparator) {
  EXPECT_EQ(JoinLines("a\r\nb\nc"), "abc");
  EXPECT_EQ(JoinLines("<A HREF=\"x\">Orv\nane</A>"), "<A HREF=\"x\">Orvane</A>");
  EXPECT_EQ(JoinLines("lone\rcr"), "lone\rcr");
}

TEST(HostTest, CommandLineBeatsUpdateHostBeatsLoginHostBeatsDefault) {
  const std::vector<std::string> plain{"Zentrel", "~Renew4x!*~615"};
  EXPECT_EQ(ResolveUpdateHost(plain, nullptr, nullptr), "127.0.0.1:8080");
  EXPECT_EQ(ResolveUpdateHost({"Zentrel"}, "", ""), "127.0.0.1:8080");
  EXPECT_EQ(ResolveUpdateHost(plain, "update.example:9000", "login.example"),
            "update.example:9000");
  EXPECT_EQ(ResolveUpdateHost(plain, "update.example", nullptr), "update.example:8080");
  // The login host's port is the UDP login port, never the HTTP one.
  EXPECT_EQ(ResolveUpdateHost(plain, nullptr, "login.example:10003"), "login.example:8080");
  EXPECT_EQ(ResolveUpdateHost(plain, "", "[::1]:10003"), "[::1]:8080");
  EXPECT_EQ(ResolveUpdateHost(plain, nullptr, "login.example"), "login.example:8080");
  EXPECT_EQ(ResolveUpdateHost({"Zentrel", "--update-host", "h:81", "~Renew4x!*~615"}, "e:1", "l"),
            "h:81");
  EXPECT_EQ(ResolveUpdateHost({"Zentrel", "--update-host=[::1]"}, nullptr, nullptr), "[::1]:8080");
  EXPECT_EQ(ResolveUpdateHost({"Zentrel", "--update-host"}, nullptr, nullptr), "127.0.0.1:8080");
}

// The local file system with a step that can be made to fail.
class FaultyFiles final : public FileSystem {
 public:
  bool Exists(const fs::path& path) override { return local_.Exists(path); }
  bool Remove(const fs::path& path) override { return local_.Remove(path); }
  std::unique_ptr<OutputFile> Create(const fs::path& path) override { return local_.Create(path); }
  std::optional<std::string> ReadAll(const fs::path& path) override {
    return failRead ? std::nullopt : local_.ReadAll(path);
  }
  bool Install(const fs::path& from, const fs::path& to) override {
    return !failInstall && local_.Install(from, to);
  }
  bool failRead = false;
  bool failInstall = false;

 private:
  LocalFileSystem local_;
};

// Cancel pressed the moment the signature is asked for.
class StopAtSignature final : public HttpClient {
 public:
  StopAtSignature(HttpClient& inner, std::stop_source& stop) : inner_(inner), stop_(stop) {}
  std::unique_ptr<HttpStream> Open(const std::string& url, std::stop_token token) override {
    if (url.ends_with(".sig")) stop_.request_stop();
    return inner_.Open(url, token);
  }

 private:
  HttpClient& inner_;
  std::stop_source& stop_;
};

class UpdaterTest : public ::testing::Test {
 protected:
  UpdaterTest() {
    config.updateHost = "update.test";
    config.workDir = dir.path();
    config.windowPoll = std::chrono::milliseconds(1);
  }
  std::string Url(const std::string& name = "") const {
    return "http://update.test/UpdateFiles/" + name;
  }
  fs::path Program() const { return dir.path() / "Orvane"; }
  UpdateReport Run(WindowProbe* probe = nullptr) {
    Updater updater(config, *http, probe, files, sink);
    return updater.Run(stop.get_token());
  }
  bool OnlyProgramLeft() const {
    return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()) == 1;
  }

  TempDir dir;
  UpdaterConfig config;
  std::unique_ptr<FakeHttp> http = std::make_unique<FakeHttp>();
  FaultyFiles files;
  RecordingSink sink;
  std::stop_source stop;
};

TEST_F(UpdaterTest, AnotherLetterCaseDownloadsNothing) {
  WriteText(Program(), "old");
  http->Add(Url(), FakeResponse::Body(Listing({"orvane", "ORVANE", "Orvane.exe", "Orvane "})));
  http->Add(Url("Orvane"), FakeResponse::Body("new"));
  const UpdateReport report = Run();
  EXPECT_EQ(report.entriesMatched, 0);
  EXPECT_EQ(http->Requests(Url("Orvane")), 0);
  EXPECT_EQ(ReadText(Program()), "old");
}

TEST_F(UpdaterTest, TwoMatchingEntriesDownloadTwiceTheSecondReplacingTheFirst) {
  http->Add(Url(), FakeResponse::Body(Listing({"Orvane", "Other", "Orvane"})));
  http->Add(Url("Orvane"), FakeResponse::Body("first"));
  http->Add(Url("Orvane"), FakeResponse::Body("second"));
  const UpdateReport report = Run();
  EXPECT_EQ(report.installed, 2);
  EXPECT_EQ(http->Requests(Url("Orvane")), 2);
  EXPECT_EQ(ReadText(Program()), "second");
  EXPECT_TRUE(OnlyProgramLeft());
}

TEST_F(UpdaterTest, ProgressIsTheShareOfTheContentLengthInTenThousandths) {
  FakeResponse response;
  response.contentLength = 4096;
  response.reads = {std::string(1024, 'a'), std::string(1024, 'b'), std::string(2048, 'c')};
  http->Add(Url(), FakeResponse::Body(Listing({"Orvane"})));
  http->Add(Url("Orvane"), response);
  EXPECT_EQ(Run().installed, 1);
  EXPECT_EQ(sink.Progress(), (std::vector<int>{0, 2500, 5000, 7500, 10000}));
  EXPECT_EQ(sink.Statuses(), (std::vector<std::string>{"Orvane"}));
}

TEST_F(UpdaterTest, WithoutContentLengthTheBarStaysAtZeroAndTheFileIsWhole) {
  const std::string body = RandomBytes(10'000);
  http->Add(Url(), FakeResponse::Body(Listing({"Orvane"})));
  http->Add(Url("Orvane"), FakeResponse::Body(body, false));
  EXPECT_EQ(Run().installed, 1);
  EXPECT_EQ(sink.Progress(), std::vector<int>{0});
  EXPECT_EQ(ReadText(Program()), body);
}

TEST_F(UpdaterTest, LengthMismatchOrBrokenTransferKeepsTheOldProgram) {
  FakeResponse shortBody = FakeResponse::Body("12345");
  shortBody.contentLength = 10;
  FakeResponse longBody = FakeResponse::Body("1234567890");
  longBody.contentLength = 5;
  FakeResponse broken = FakeResponse::Body("12345", false);
  broken.completes = false;
  FakeResponse errorPage = FakeResponse::Body("<html>404</html>");
  errorPage.status = 404;
  // The tenth empty read in all ends the loop even though more body would follow.
  FakeResponse stuttering;
  for (int i = 0; i < 10; ++i) stuttering.reads.insert(stuttering.reads.end(), {"x", ""});
  stuttering.reads.emplace_back("rest");
  for (const FakeResponse& response : {shortBody, longBody, broken, errorPage, stuttering}) {
    WriteText(Program(), "old");
    http->Add(Url(), FakeResponse::Body(Listing({"Orvane"})));
    http->Add(Url("Orvane"), response);
    const UpdateReport report = Run();
    EXPECT_EQ(report.failed, 1);
    EXPECT_EQ(ReadText(Program()), "old");
    EXPECT_EQ(sink.Statuses().back(), kStatusKeptOld);
    EXPECT_TRUE(OnlyProgramLeft());
    http = std::make_unique<FakeHttp>();
  }
}

TEST_F(UpdaterTest, AFailedInstallKeepsTheOldProgramAndNoPartialFile) {
  WriteText(Program(), "old");
  http->Add(Url(), FakeResponse::Body(Listing({"Orvane"})));
  http->Add(Url("Orvane"), FakeResponse::Body("new"));
  files.failInstall = true;
  EXPECT_EQ(Run().failed, 1);
  EXPECT_EQ(ReadText(Program()), "old");
  EXPECT_EQ(sink.Statuses().back(), kStatusKeptOld);
  EXPECT_TRUE(OnlyProgramLeft());
}

TEST_F(UpdaterTest, UnreachableListingDownloadsNothing) {
  const UpdateReport report = Run();
  EXPECT_EQ(report.entriesMatched, 0);
  EXPECT_EQ(http->Requests(Url()), 1);
}

TEST_F(UpdaterTest, OversizedListingIsCut) {
  std::string listing = "<br>";
  while (listing.size() <= kMaxListingBytes) listing += "<A HREF=\"x\">padding-entry</A><br>\n";
  listing += "<A HREF=\"x\">Orvane</A>";
  http->Add(Url(), FakeResponse::Body(listing, false));
  EXPECT_EQ(Run().entriesMatched, 0);
}

TEST_F(UpdaterTest, WaitsWhileTheLoginWindowExists) {
  FakeProbe probe(3);
  http->Add(Url(), FakeResponse::Body(Listing({})));
  Run(&probe);
  EXPECT_EQ(probe.asked(), 4);
  EXPECT_EQ(probe.lastTitle(), "Orvane 서버 로그인");
  EXPECT_EQ(http->Requests(Url()), 1);
}

TEST_F(UpdaterTest, StopWhileWaitingFetchesNothing) {
  FakeProbe probe(-1);
  config.windowPoll = std::chrono::hours(1);
  std::jthread stopper([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop.request_stop();
  });
  const UpdateReport report = Run(&probe);
  EXPECT_TRUE(report.stopped);
  EXPECT_EQ(http->Requests(Url()), 0);
}

TEST_F(UpdaterTest, SignedUpdateInstallsOnlyWithAValidSignature) {
  const std::optional<KeyPair> keys = GenerateKeyPair();
  ASSERT_TRUE(keys);
  config.publicKey = keys->publicKey;
  const std::string body = RandomBytes(5000, 7);
  const std::string good = *Sign(body, keys->secretKey);
  const std::string otherFile = *Sign("something else", keys->secretKey);
  std::string flipped = good;
  flipped[10] ^= 1;

  for (const std::optional<std::string>& signature :
       {std::optional<std::string>(), std::optional(otherFile), std::optional(flipped),
        std::optional(good.substr(0, 63)), std::optional(good + "x")}) {
    WriteText(Program(), "old");
    http = std::make_unique<FakeHttp>();
    http->Add(Url(), FakeResponse::Body(Listing({"Orvane"})));
    http->Add(Url("Orvane"), FakeResponse::Body(body));
    if (signature) http->Add(Url("Orvane.sig"), FakeResponse::Body(*signature));
    const UpdateReport report = Run();
    EXPECT_EQ(report.refused, 1);
    EXPECT_EQ(ReadText(Program()), "old");
    EXPECT_EQ(sink.Statuses().back(), kStatusBadSignature);
    EXPECT_TRUE(OnlyProgramLeft());
  }

  http = std::make_unique<FakeHttp>();
  http->Add(Url(), FakeResponse::Body(Listing({"Orvane"})));
  http->Add(Url("Orvane"), FakeResponse::Body(body));
  http->Add(Url("Orvane.sig"), FakeResponse::Body(good));
  EXPECT_EQ(Run().installed, 1);
  EXPECT_EQ(ReadText(Program()), body);
}

class SignedUpdaterTest : public UpdaterTest {
 protected:
  SignedUpdaterTest() {
    const std::optional<KeyPair> keys = GenerateKeyPair();
    config.publicKey = keys->publicKey;
    WriteText(Program(), "old");
    http->Add(Url(), FakeResponse::Body(Listing({"Orvane"})));
    http->Add(Url("Orvane"), FakeResponse::Body("new"));
    http->Add(Url("Orvane.sig"), FakeResponse::Body(*Sign("new", keys->secretKey)));
  }
};

TEST_F(SignedUpdaterTest, AStopDuringTheSignatureFetchInstallsNothing) {
  StopAtSignature stopping(*http, stop);
  Updater updater(config, stopping, nullptr, files, sink);
  const UpdateReport report = updater.Run(stop.get_token());
  EXPECT_TRUE(report.stopped);
  EXPECT_EQ(report.installed + report.refused + report.failed, 0);
  EXPECT_EQ(ReadText(Program()), "old");
  EXPECT_TRUE(OnlyProgramLeft());
}

TEST_F(SignedUpdaterTest, AFailedReadOfTheDownloadInstallsNothing) {
  files.failRead = true;
  EXPECT_EQ(Run().installed, 0);
  EXPECT_EQ(ReadText(Program()), "old");
  EXPECT_TRUE(OnlyProgramLeft());
}

TEST(FinishTest, MessageThenStartOfTheProgramWhenItExists) {
  for (const bool exists : {true, false}) {
    std::vector<std::string> calls;
    FinishHooks hooks;
    hooks.setStatus = [&](std::string_view text) {
      calls.push_back("status " + std::string(text));
    };
    hooks.showMessage = [&](std::string_view text, std::string_view caption) {
      calls.push_back("message " + std::string(caption) + "|" + std::string(text));
    };
    hooks.exists = [&](const fs::path&) { return exists; };
    hooks.start = [&](const fs::path& program) {
      calls.push_back("start " + program.string());
      return true;
    };
    EXPECT_EQ(FinishUpdate(UpdateReport{}, "/opt/orvane", hooks), exists);
    std::vector<std::string> expected = {
        "status 업데이트 완료",
        "message Update Complete|업데이트가 완료되었습니다.\n다시 로그인 하세요."};
    if (exists) expected.emplace_back("start /opt/orvane/Orvane");
    EXPECT_EQ(calls, expected);
  }
}

TEST(FinishTest, RefusalKeepsItsStatusAndStopEndsQuietly) {
  int statuses = 0;
  int messages = 0;
  FinishHooks hooks;
  hooks.setStatus = [&](std::string_view) { ++statuses; };
  hooks.showMessage = [&](std::string_view, std::string_view) { ++messages; };
  hooks.exists = [](const fs::path&) { return true; };
  hooks.start = [](const fs::path&) { return true; };
  UpdateReport refused;
  refused.refused = 1;
  EXPECT_TRUE(FinishUpdate(refused, "/x", hooks));
  EXPECT_EQ(statuses, 0);
  EXPECT_EQ(messages, 1);
  UpdateReport mixed = refused;
  mixed.failed = 1;
  EXPECT_TRUE(FinishUpdate(mixed, "/x", hooks));
  EXPECT_EQ(statuses, 0);
  // One entry installed among failures: the program is new, the update complete.
  mixed.installed = 1;
  EXPECT_TRUE(FinishUpdate(mixed, "/x", hooks));
  EXPECT_EQ(statuses, 1);
  EXPECT_EQ(messages, 3);
  UpdateReport stopped;
  stopped.stopped = true;
  EXPECT_FALSE(FinishUpdate(stopped, "/x", hooks));
  EXPECT_EQ(messages, 3);
}

}  // namespace
}  // namespace zentrel::testing
