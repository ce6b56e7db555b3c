#include "SavedStateText.h"

#include <cmath>
#include <sstream>

#include "HostError.h"
#include "NumberText.h"

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

void DumpPoint(std::ostringstream& out, const char* name, const ShapePointRecord& p) {
  out << "  " << name << " pos " << p.pos << " level " << FormatDouble(p.level) << " x " << p.x << " yNeg " << p.yNeg
      << " yPos " << p.yPos << " hit " << int(p.hit) << " negShown " << int(p.negShown) << " posShown "
      << int(p.posShown) << "\n";
}

struct TextReader {
  std::vector<std::string> words;
  size_t next = 0;
  int line = 0;

  [[noreturn]] void Fail(const std::string& why) const {
    throw HostError("state text line " + std::to_string(line) + ": " + why);
  }
  bool More() const { return next < words.size(); }
  const std::string& Word(const char* what) {
    if (!More()) Fail(std::string("missing ") + what);
    return words[next++];
  }
  bool NoneFollows() {
    if (More() && words[next] == "none") {
      ++next;
      return true;
    }
    return false;
  }
  int64_t Int(const char* what, int64_t min, int64_t max) {
    const std::string& word = Word(what);
    auto value = ParseInt(word);
    if (!value || *value < min || *value > max) Fail(std::string("bad ") + what + " '" + word + "'");
    return *value;
  }
  int32_t I32(const char* what) { return static_cast<int32_t>(Int(what, INT32_MIN, INT32_MAX)); }
  uint8_t U8(const char* what) { return static_cast<uint8_t>(Int(what, 0, 255)); }
  double F64(const char* what) {
    const std::string& word = Word(what);
    auto value = ParseDouble(word);
    if (!value) Fail(std::string("bad ") + what + " '" + word + "'");
    return *value;
  }
  std::vector<uint8_t> HexBytes(const char* what) {
    const std::string& word = Word(what);
    if (word.size() % 2 != 0) Fail(std::string("bad ") + what);
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < word.size(); i += 2) {
      auto nibble = [&](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        Fail(std::string("bad ") + what);
      };
      bytes.push_back(static_cast<uint8_t>(nibble(word[i]) * 16 + nibble(word[i + 1])));
    }
    return bytes;
  }
  void End() const {
    if (More()) Fail("unexpected '" + words[next] + "'");
  }
};

void ReadPoint(TextReader& r, ShapePointRecord& p) {
  while (r.More()) {
    const std::string key = r.Word("field");
    if (key == "pos") p.pos = r.I32("pos");
    else if (key == "level") p.level = r.F64("level");
    else if (key == "x") p.x = r.I32("x");
    else if (key == "yNeg") p.yNeg = r.I32("yNeg");
    else if (key == "yPos") p.yPos = r.I32("yPos");
    else if (key == "hit") p.hit = r.U8("hit");
    else if (key == "negShown") p.negShown = r.U8("negShown");
    else if (key == "posShown") p.posShown = r.U8("posShown");
    else r.Fail("unknown point field '" + key + "'");
  }
}

}  // namespace

std::string DumpSavedState(const SavedState& state) {
  std::ostringstream out;
  size_t bytes = SerialiseSavedState(state).size();
  out << "# Kelvane saved state: " << bytes << " bytes, " << state.segments.size() << " complete segment records\n";
  out << "tag " << (state.tag ? std::to_string(*state.tag) : "none") << "\n";
  out << "bright " << (state.bright ? FormatDouble(*state.bright) : "none") << "\n";
  out << "colormap " << (state.colormap ? FormatDouble(*state.colormap) : "none") << "\n";
  out << "count " << (state.count ? std::to_string(*state.count) : "none") << "\n";
  for (size_t k = 0; k < state.segments.size(); ++k) {
    const ShapeSegmentRecord& s = state.segments[k];
    out << "segment " << k << "\n";
    out << "  visible " << int(s.visible) << "\n  selected " << int(s.selected) << "\n  bypass " << int(s.bypass)
        << "\n  mute " << int(s.mute) << "\n";
    out << "  follow " << FormatDouble(s.follow) << "\n  clip " << FormatDouble(s.clip) << "\n  blend "
        << FormatDouble(s.blend) << "\n";
    DumpPoint(out, "start", s.start);
    DumpPoint(out, "control", s.control);
    DumpPoint(out, "end", s.end);
    std::vector<uint8_t> padding = RecordPadding(s);
    for (uint8_t b : padding)
      if (b) {
        out << "  padding " << Hex(padding) << "\n";
        break;
      }
  }
  if (!state.trailing.empty()) out << "trailing " << Hex(state.trailing) << "\n";
  return out.str();
}

SavedState MakeSavedState(const std::string& text) {
  SavedState state;
  state.tag = kStateTag;
  state.bright = 1.0;
  state.colormap = 3.0;
  bool brightGiven = false, colormapGiven = false, countGiven = false;
  ShapeSegmentRecord* segment = nullptr;
  std::istringstream lines(text);
  std::string lineText;
  int lineNumber = 0;
  while (std::getline(lines, lineText)) {
    ++lineNumber;
    if (size_t hash = lineText.find('#'); hash != std::string::npos) lineText.resize(hash);
    TextReader r;
    r.line = lineNumber;
    std::istringstream words(lineText);
    for (std::string w; words >> w;) r.words.push_back(w);
    if (r.words.empty()) continue;
    const std::string key = r.Word("key");
    if (key == "tag") {
      state.tag = r.NoneFollows() ? std::nullopt : std::optional<int32_t>(r.I32("tag"));
    } else if (key == "bright") {
      brightGiven = true;
      state.bright = r.NoneFollows() ? std::nullopt : std::optional<double>(r.F64("bright"));
    } else if (key == "colormap") {
      colormapGiven = true;
      state.colormap = r.NoneFollows() ? std::nullopt : std::optional<double>(r.F64("colormap"));
    } else if (key == "count") {
      countGiven = true;
      state.count = r.NoneFollows() ? std::nullopt : std::optional<int32_t>(r.I32("count"));
    } else if (key == "segment") {
      if (r.More()) {
        int64_t index = r.Int("segment number", 0, INT32_MAX);
        if (index != static_cast<int64_t>(state.segments.size()))
          r.Fail("segments must be numbered 0, 1, 2, ... in order");
      }
      state.segments.emplace_back();
      segment = &state.segments.back();
    } else if (key == "trailing") {
      state.trailing = r.HexBytes("trailing bytes");
    } else {
      if (!segment) r.Fail("'" + key + "' outside a segment");
      if (key == "visible") segment->visible = r.U8("visible");
      else if (key == "selected") segment->selected = r.U8("selected");
      else if (key == "bypass") segment->bypass = r.U8("bypass");
      else if (key == "mute") segment->mute = r.U8("mute");
      else if (key == "follow") segment->follow = r.F64("follow");
      else if (key == "clip") segment->clip = r.F64("clip");
      else if (key == "blend") segment->blend = r.F64("blend");
      else if (key == "start") ReadPoint(r, segment->start);
      else if (key == "control") ReadPoint(r, segment->control);
      else if (key == "end") ReadPoint(r, segment->end);
      else if (key == "padding") {
        if (!SetRecordPadding(*segment, r.HexBytes("padding"))) r.Fail("padding needs 19 bytes");
      } else {
        r.Fail("unknown key '" + key + "'");
      }
    }
    r.End();
  }
  // A header cut short by "none" stays short unless later fields are given.
  if (!state.tag && !brightGiven) state.bright.reset();
  if (!state.bright && !colormapGiven) state.colormap.reset();
  if (!countGiven && state.colormap) state.count = static_cast<int32_t>(state.segments.size());
  SerialiseSavedState(state);  // rejects a field after a missing one
  return state;
}
