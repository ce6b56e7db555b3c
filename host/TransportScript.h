// TransportScript: what the host's transport does while a file is processed.
// A small line format; each line is "[@FRAME] COMMAND ARGS", where FRAME counts
// frames of the input file (absolute, or "+N" after the previous line's frame;
// a line without "@" acts at the previous line's frame). "#" starts a comment.
//
//   pos P            the play position jumps to sample P
//   block N          blocks of at most N frames from here on
//   tempo BPM        tempo (0: the host reports no tempo)
//   loop START END   cycle: on reaching END the position continues at START
//   loop off
//   play | stop      a stopped transport keeps its position while audio flows
//   playstate N      the "GetPlayState" answer (5 and 6: recording)
//   offset SECONDS   REAPER's project time offset ("projtimeoffs")
//   rate HZ          the sample rate told to the module (effMainsChanged around it)
//   set NAME=VALUE   setParameter with a normalised value
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TransportEvent {
  enum class Kind { Position, Block, Tempo, Loop, LoopOff, Play, Stop, PlayState, Offset, Rate, Set };
  int64_t frame = 0;
  Kind kind = Kind::Position;
  int64_t a = 0;      // position, block size, loop start, play state
  int64_t b = 0;      // loop end
  double value = 0;   // tempo, offset, rate
  std::string text;   // NAME=VALUE for Set
  int line = 0;
};

// Throws HostError naming the line for anything it cannot read.
std::vector<TransportEvent> ParseTransportScript(const std::string& text);
std::vector<TransportEvent> LoadTransportScript(const std::string& path);
