// The listing parse, the download loop and the finish steps, against fakes.
#include <gtest/gtest.h>

#include <elf.h>

#include <cstring>
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

TEST(HostTest, CommandLineBeatsUpdateHostBeatsContentHostBeatsLoginHostBeatsDefault) {
  const std::vector<std::string> plain{"Zentrel", "~Renew4x!*~615"};
  EXPECT_EQ(ResolveUpdateHost(plain, {}), "127.0.0.1:8080");
  EXPECT_EQ(ResolveUpdateHost({"Zentrel"}, {"", "", ""}), "127.0.0.1:8080");
  EXPECT_EQ(ResolveUpdateHost(plain, {"update.example:9000", "content:8080", "login.example"}),
            "update.example:9000");
  // A bare host is HTTP's own port, as the nginx deployment serves it.
  EXPECT_EQ(ResolveUpdateHost(plain, {"update.example", nullptr, nullptr}), "update.example");
  EXPECT_EQ(ResolveUpdateHost(plain, {nullptr, "content.example:8081", "login:10003"}),
            "content.example:8081");
  // The login host's port is the UDP login port, never the HTTP one.
  EXPECT_EQ(ResolveUpdateHost(plain, {nullptr, nullptr, "login.example:10003"}), "login.example");
  EXPECT_EQ(ResolveUpdateHost(plain, {"", "", "[::1]:10003"}), "[::1]");
  EXPECT_EQ(ResolveUpdateHost({"Zentrel", "--update-host", "h:81", "~Renew4x!*~615"},
                              {"e:1", "c:2", "l"}),
            "h:81");
  EXPECT_EQ(ResolveUpdateHost({"Zentrel", "--update-host=[::1]"}, {}), "[::1]");
  EXPECT_EQ(ResolveUpdateHost({"Zentrel", "--update-host"}, {}), "127.0.0.1:8080");
}

TEST(ManifestTest, FormatParsesBackAndAnythingElseIsRefused) {
  const Publisher publisher;
  const std::string text = publisher.ManifestFor("#!/bin/sh\n", 1765300000);
  const std::optional<Manifest> manifest = ParseManifest(text);
  ASSERT_TRUE(manifest);
  EXPECT_EQ(manifest->program, "Orvane");
  EXPECT_EQ(manifest->release, 1765300000u);
  EXPECT_EQ(manifest->length, 10u);
  EXPECT_EQ(FormatManifest(*manifest), text);
  const std::string hash = text.substr(text.find("sha256 "));
  for (const std::string& bad : std::vector<std::string>{
           text + "extra 1\n", text.substr(0, text.size() - 1), "version x\n" + text,
           "program Orvane\nversion Ver 1\nrelease 1\nlength 1\n" + hash,
           "program Orvane\nversion 1\nrelease -1\nlength 1\n" + hash,
           "program Orvane\nversion 1\nrelease 01\nlength 1\n" + hash,
           "program Orvane\nversion 1\nrelease 1\nlength 99999999999999999999\n" + hash,
           "program Orvane\nversion 1\nrelease 1\nlength 1\nsha256 00\n"})
    EXPECT_FALSE(ParseManifest(bad)) << bad;
}

TEST(ManifestTest, OnlyProgramsForThisMachineRun) {
  std::string elf(64, '\0');
  elf.replace(0, 4,
              "\x7f"
              "ELF");
  elf[EI_CLASS] = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
  elf[EI_DATA] = ELFDATA2LSB;
  const auto withMachine = [&](std::uint16_t type, std::uint16_t machine) {
    std::string head = elf;
    std::memcpy(head.data() + 16, &type, 2);
    std::memcpy(head.data() + 18, &machine, 2);
    return head;
  };
#if defined(__x86_64__)
  EXPECT_TRUE(RunsOnThisMachine(withMachine(ET_DYN, EM_X86_64)));
  EXPECT_TRUE(RunsOnThisMachine(withMachine(ET_EXEC, EM_X86_64)));
  EXPECT_FALSE(RunsOnThisMachine(withMachine(ET_REL, EM_X86_64)));
  EXPECT_FALSE(RunsOnThisMachine(withMachine(ET_DYN, EM_AARCH64)));
#endif
  EXPECT_TRUE(RunsOnThisMachine("#!/bin/sh\n"));
  EXPECT_FALSE(RunsOnThisMachine("MZ\x90\x00 a Windows program"));
  EXPECT_FALSE(RunsOnThisMachine("<html><body>Sign in to the network</body></html>"));
  EXPECT_FALSE(RunsOnThisMachine(""));
  EXPECT_FALSE(RunsOnThisMachine(elf.substr(0, 20)));
}

// The local file system whose final rename can be made to fail.
class FaultyFiles final : public LocalFileSystem {
 public:
  bool Install(const fs::path& from, const fs::path& to, bool executable) override {
    return !failInstall && LocalFileSystem::Install(from, to, executable);
  }
  bool failInstall = false;
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
    config.publicKey = publisher.keys.publicKey;
    WriteText(Program(), "old");
  }
  std::string Url(const std::string& name = "") const {
    return "http://update.test/UpdateFiles/" + name;
  }
  fs::path Program() const { return dir.path() / "Orvane"; }
  // The update service offers `body` with a manifest signed for `signedBody`.
  void Offer(const FakeResponse& body, const std::string& signedBody, std::uint64_t release = 5) {
    http = std::make_unique<FakeHttp>();
    http->Add(Url(), FakeResponse::Body(Listing({"Orvane"})));
    http->Add(Url("Orvane"), body);
    const std::string manifest = publisher.ManifestFor(signedBody, release);
    http->Add(Url("Orvane.manifest"), FakeResponse::Body(manifest));
    http->Add(Url("Orvane.manifest.sig"), FakeResponse::Body(publisher.Sign(manifest)));
  }
  UpdateOutcome Run(WindowProbe* probe = nullptr) {
    Updater updater(config, *http, probe, files, sink);
    return updater.Run(stop.get_token()).outcome;
  }

  Publisher publisher;
  TempDir dir;
  UpdaterConfig config;
  std::unique_ptr<FakeHttp> http = std::make_unique<FakeHttp>();
  FaultyFiles files;
  RecordingSink sink;
  std::stop_source stop;
};

TEST_F(UpdaterTest, AnotherLetterCaseOffersNothing) {
  http->Add(Url(), FakeResponse::Body(Listing({"orvane", "ORVANE", "Orvane.exe", "Orvane "})));
  EXPECT_EQ(Run(), UpdateOutcome::kNothingOffered);
  EXPECT_EQ(http->Requests(Url("Orvane")) + http->Requests(Url("Orvane.manifest")), 0);
  EXPECT_EQ(ReadText(Program()), "old");
}

TEST_F(UpdaterTest, ProgressIsTheShareOfTheSignedLengthInTenThousandths) {
  const std::string body = ProgramBytes(4096);
  FakeResponse response;
  response.reads = {body.substr(0, 1024), body.substr(1024, 1024), body.substr(2048)};
  Offer(response, body);
  EXPECT_EQ(Run(), UpdateOutcome::kInstalled);
  EXPECT_EQ(sink.Progress(), (std::vector<int>{0, 2500, 5000, 7500, 10000}));
  EXPECT_EQ(sink.Statuses(), (std::vector<std::string>{"Orvane"}));
  EXPECT_EQ(ReadText(Program()), body);
  // The installed manifest stays beside the program; nothing else does.
  EXPECT_EQ(Snapshot(dir.path()).size(), 2u);
  EXPECT_EQ(ReadText(dir.path() / "Orvane.manifest"), publisher.ManifestFor(body, 5));
}

TEST_F(UpdaterTest, ReleasesOnlyGrow) {
  const std::string body = ProgramBytes(3000);
  Offer(FakeResponse::Body(body), body, 5);
  ASSERT_EQ(Run(), UpdateOutcome::kInstalled);
  const auto installed = Snapshot(dir.path());
  // An older signed build is not put back; the same release may be installed again.
  const std::string older = ProgramBytes(3000, 2);
  Offer(FakeResponse::Body(older), older, 4);
  EXPECT_EQ(Run(), UpdateOutcome::kOlderRelease);
  EXPECT_EQ(http->Requests(Url("Orvane")), 0);
  EXPECT_EQ(Snapshot(dir.path()), installed);
  EXPECT_EQ(sink.Statuses().back(), "Orvane");
  Offer(FakeResponse::Body(older), older, 6);
  EXPECT_EQ(Run(), UpdateOutcome::kInstalled);
  EXPECT_EQ(ReadText(Program()), older);
}

TEST_F(UpdaterTest, BrokenTransfersKeepTheFolderAsItWas) {
  const std::string body = ProgramBytes(5000);
  FakeResponse shortBody = FakeResponse::Body(body.substr(0, 4000), false);
  FakeResponse longBody = FakeResponse::Body(body + "more", false);
  FakeResponse wrongLength = FakeResponse::Body(body);
  wrongLength.contentLength = 6000;
  FakeResponse broken = FakeResponse::Body(body, false);
  broken.completes = false;
  FakeResponse errorPage = FakeResponse::Body(body);
  errorPage.status = 404;
  // The tenth empty read in all ends the loop even though more body would follow.
  FakeResponse stuttering;
  for (int i = 0; i < 10; ++i) stuttering.reads.insert(stuttering.reads.end(), {"#", ""});
  stuttering.reads.emplace_back(body.substr(10));
  for (const FakeResponse& response :
       {shortBody, longBody, wrongLength, broken, errorPage, stuttering}) {
    const auto before = Snapshot(dir.path());
    Offer(response, body);
    EXPECT_EQ(Run(), UpdateOutcome::kFailed);
    EXPECT_EQ(Snapshot(dir.path()), before);
  }
}

TEST_F(UpdaterTest, OnlyTheSignedBytesOfAProgramForThisMachineInstall) {
  const std::string body = ProgramBytes(5000);
  const std::string manifest = publisher.ManifestFor(body);
  const std::string good = publisher.Sign(manifest);
  std::string flipped = good;
  flipped[10] ^= 1;
  const Publisher stranger;
  struct Case {
    std::string manifest;
    std::optional<std::string> signature;
    std::string served;
    UpdateOutcome outcome;
  };
  const std::string text = "a text file, signed by mistake\n";
  const std::string renamed = publisher.ManifestFor(body, 5, "Zentrel");
  const std::string textManifest = publisher.ManifestFor(text);
  for (const Case& c : std::vector<Case>{
           {manifest, std::nullopt, body, UpdateOutcome::kBadSignature},
           {manifest, stranger.Sign(manifest), body, UpdateOutcome::kBadSignature},
           {manifest, flipped, body, UpdateOutcome::kBadSignature},
           {manifest, good.substr(0, 63), body, UpdateOutcome::kBadSignature},
           {manifest, good + "x", body, UpdateOutcome::kBadSignature},
           {manifest, std::string(kMaxSignatureBytes * 4, 'x'), body, UpdateOutcome::kBadSignature},
           {renamed, publisher.Sign(renamed), body, UpdateOutcome::kBadSignature},
           {manifest, good, ProgramBytes(5000, 9), UpdateOutcome::kBadSignature},
           {textManifest, publisher.Sign(textManifest), text, UpdateOutcome::kNotExecutable},
       }) {
    const auto before = Snapshot(dir.path());
    http = std::make_unique<FakeHttp>();
    http->Add(Url(), FakeResponse::Body(Listing({"Orvane"})));
    http->Add(Url("Orvane"), FakeResponse::Body(c.served));
    http->Add(Url("Orvane.manifest"), FakeResponse::Body(c.manifest));
    if (c.signature) http->Add(Url("Orvane.manifest.sig"), FakeResponse::Body(*c.signature));
    EXPECT_EQ(Run(), c.outcome);
    EXPECT_EQ(Snapshot(dir.path()), before);
  }
  Offer(FakeResponse::Body(body), body);
  EXPECT_EQ(Run(), UpdateOutcome::kInstalled);
  EXPECT_EQ(ReadText(Program()), body);
}

TEST_F(UpdaterTest, AFailedInstallOrAStopAtTheSignatureLeavesTheFolderAsItWas) {
  const std::string body = ProgramBytes(4000);
  Offer(FakeResponse::Body(body), body);
  const auto before = Snapshot(dir.path());
  files.failInstall = true;
  EXPECT_EQ(Run(), UpdateOutcome::kFailed);
  EXPECT_EQ(Snapshot(dir.path()), before);
  files.failInstall = false;
  const int downloads = http->Requests(Url("Orvane"));
  StopAtSignature stopping(*http, stop);
  Updater updater(config, stopping, nullptr, files, sink);
  EXPECT_EQ(updater.Run(stop.get_token()).outcome, UpdateOutcome::kStopped);
  EXPECT_EQ(Snapshot(dir.path()), before);
  EXPECT_EQ(http->Requests(Url("Orvane")), downloads);
}

TEST_F(UpdaterTest, WithoutAKeyOrAWritableFolderNothingIsFetched) {
  struct ReadOnly final : LocalFileSystem {
    bool Writable(const fs::path&) override { return false; }
  } readOnly;
  const std::string body = ProgramBytes(3000);
  Offer(FakeResponse::Body(body), body);
  Updater packaged(config, *http, nullptr, readOnly, sink);
  EXPECT_EQ(packaged.Run({}).outcome, UpdateOutcome::kPackageManaged);
  config.publicKey.reset();
  EXPECT_EQ(Run(), UpdateOutcome::kSwitchedOff);
  EXPECT_EQ(http->Requests(Url()), 0);
  EXPECT_EQ(ReadText(Program()), "old");
}

TEST_F(UpdaterTest, UnreachableOrOversizedListingOffersNothing) {
  EXPECT_EQ(Run(), UpdateOutcome::kNothingOffered);
  EXPECT_EQ(http->Requests(Url()), 1);
  std::string listing = "<br>";
  while (listing.size() <= kMaxListingBytes) listing += "<A HREF=\"x\">padding-entry</A><br>\n";
  listing += "<A HREF=\"x\">Orvane</A>";
  http->Add(Url(), FakeResponse::Body(listing, false));
  EXPECT_EQ(Run(), UpdateOutcome::kNothingOffered);
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
  EXPECT_EQ(Run(&probe), UpdateOutcome::kStopped);
  EXPECT_EQ(http->Requests(Url()), 0);
}

TEST(FinishTest, TellsWhatHappenedThenStartsTheProgramWhenItExists) {
  for (const UpdateOutcome outcome : {UpdateOutcome::kInstalled, UpdateOutcome::kBadSignature}) {
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
      EXPECT_EQ(FinishUpdate({outcome}, "/opt/orvane", hooks), exists);
      std::vector<std::string> expected =
          outcome == UpdateOutcome::kInstalled
              ? std::vector<std::string>{"status 업데이트 완료",
                                         "message Update Complete|업데이트가 완료되었습니다.\n다시 "
                                         "로그인 하세요."}
              : std::vector<std::string>{
                    "status 서명 확인 실패: 기존 프로그램을 유지합니다",
                    "message Zentrel|서명 확인 실패: 기존 프로그램을 유지합니다"};
      if (exists) expected.emplace_back("start /opt/orvane/Orvane");
      EXPECT_EQ(calls, expected);
    }
  }
  FinishHooks quiet;
  EXPECT_FALSE(FinishUpdate({UpdateOutcome::kStopped}, "/x", quiet));
}

}  // namespace
}  // namespace zentrel::testing
