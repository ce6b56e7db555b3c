#include "TransportScript.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

#include "NumberText.h"
#include "ScriptLine.h"

namespace {

constexpr int64_t kMaxBlock = 1 << 20;


}  // namespace

std::vector<TransportEvent> ParseTransportScript(const std::string& text) {
  std::vector<TransportEvent> events;
  std::istringstream lines(text);
  std::string lineText;
  int64_t frame = 0;
  int lineNumber = 0;
  const int64_t maxFrame = std::numeric_limits<int64_t>::max() / 4;
  while (std::getline(lines, lineText)) {
    ++lineNumber;
    ScriptLine r("transport script", lineNumber, lineText);
    if (r.Empty()) continue;
    if (r.Peek()[0] == '@') {
      const std::string& word = r.Word("frame");
      std::string at = word.substr(1);
      bool relative = !at.empty() && at[0] == '+';
      auto value = ParseInt(relative ? at.substr(1) : at);
      // Frames stay within maxFrame, however many relative steps add up.
      if (!value || *value < 0 || *value > maxFrame || (relative && *value > maxFrame - frame))
        r.Fail("bad frame '" + word + "'");
      int64_t target = relative ? frame + *value : *value;
      if (target < frame) r.Fail("frames must not go backwards");
      frame = target;
    }
    TransportEvent event;
    event.frame = frame;
    event.line = lineNumber;
    const std::string& command = r.Word("command");
    using Kind = TransportEvent::Kind;
    if (command == "pos") {
      event.kind = Kind::Position;
      event.a = r.Int("position", -maxFrame, maxFrame);
    } else if (command == "block") {
      event.kind = Kind::Block;
      event.a = r.Int("block size", 1, kMaxBlock);
    } else if (command == "tempo") {
      event.kind = Kind::Tempo;
      event.value = r.Number("tempo", 0, 10000);
    } else if (command == "loop") {
      if (r.Peek() == "off") {
        r.Word("off");
        event.kind = Kind::LoopOff;
      } else {
        event.kind = Kind::Loop;
        event.a = r.Int("loop start", -maxFrame, maxFrame);
        event.b = r.Int("loop end", -maxFrame, maxFrame);
        if (event.b <= event.a) r.Fail("the loop must end after it starts");
      }
    } else if (command == "play") {
      event.kind = Kind::Play;
    } else if (command == "stop") {
      event.kind = Kind::Stop;
    } else if (command == "playstate") {
      event.kind = Kind::PlayState;
      event.a = r.Int("play state", 0, 255);
    } else if (command == "offset") {
      event.kind = Kind::Offset;
      event.value = r.Number("offset", -1e9, 1e9);
    } else if (command == "rate") {
      event.kind = Kind::Rate;
      event.value = r.Number("sample rate", 1, 10000000);
    } else if (command == "set") {
      event.kind = Kind::Set;
      event.text = r.Word("NAME=VALUE");
    } else {
      r.Fail("unknown command '" + command + "'");
    }
    r.End();
    events.push_back(event);
  }
  return events;
}

std::vector<TransportEvent> LoadTransportScript(const std::string& path) {
  return ParseTransportScript(ReadScriptFile(path, "transport script"));
}
