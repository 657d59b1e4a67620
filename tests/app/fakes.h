#pragma once

#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "app/login_flow.h"
#include "data/text_codec.h"

namespace orvane::app::testing {

// Answers each exchange from a script and remembers what was sent (as UTF-8).
class ScriptedTransport : public LoginTransport {
 public:
  void SetReceiveTimeout(std::chrono::milliseconds timeout) override {
    timeouts.push_back(timeout);
  }
  ExchangeResult Exchange(std::string_view wireText) override {
    sent.push_back(DecodeCp949(wireText));
    if (script.empty()) return {ExchangeStatus::kNoAnswer, {}};
    ExchangeResult r = script.front();
    script.pop_front();
    return r;
  }
  void Reply(std::string_view utf8) {
    script.push_back({ExchangeStatus::kReplied, EncodeCp949(utf8)});
  }

  std::deque<ExchangeResult> script;
  std::vector<std::string> sent;
  std::vector<std::chrono::milliseconds> timeouts;
};

class RecordingUi : public LoginUi {
 public:
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  void Pause(std::chrono::milliseconds d) override { pauses.push_back(d); }
  void SaveIdSetting() override { ++saves; }

  std::vector<std::string> messages;
  std::vector<std::chrono::milliseconds> pauses;
  int saves = 0;
};

}  // namespace orvane::app::testing
