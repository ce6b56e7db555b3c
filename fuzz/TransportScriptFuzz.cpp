// Fuzz target: kelvane-host's transport script parser. Any text either reads
// into events that keep the format's promises or gives a HostError naming its
// line; nothing else may escape or crash.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "HostError.h"
#include "TransportScript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<TransportEvent> events;
  try {
    events = ParseTransportScript(text);
  } catch (const HostError& error) {
    if (std::string(error.what()).rfind("transport script line ", 0) != 0) std::abort();
    return 0;
  }
  int64_t frame = 0;
  using Kind = TransportEvent::Kind;
  for (const TransportEvent& e : events) {
    if (e.frame < frame || e.line < 1) std::abort();
    frame = e.frame;
    if (e.kind == Kind::Block && (e.a < 1 || e.a > (1 << 20))) std::abort();
    if (e.kind == Kind::Loop && e.b <= e.a) std::abort();
    if ((e.kind == Kind::Rate || e.kind == Kind::Tempo || e.kind == Kind::Offset) && !std::isfinite(e.value)) std::abort();
    if (e.kind == Kind::Rate && !(e.value > 0)) std::abort();
  }
  return 0;
}
