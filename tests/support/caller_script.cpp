#include "tests/support/caller_script.h"

#include <cstdio>
#include <ostream>
#include <stdexcept>

#include "platform/messages/clock.h"
#include "tests/support/modem_simulator.h"

namespace vltg::testing {
namespace {

constexpr int64_t kDefaultExpectMs = 30000;
constexpr int64_t kKnockIntervalMs = 2000;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Splits a step line into words; quoted words keep their blanks. Escapes are
// undone in both. False for an unfinished quote or a bad escape.
bool Words(std::string_view line, std::vector<std::string>& words) {
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t') {
      ++i;
      continue;
    }
    const bool quoted = line[i] == '"';
    if (quoted) ++i;
    std::string word;
    bool closed = !quoted;
    while (i < line.size()) {
      char c = line[i++];
      if (quoted && c == '"') {
        closed = true;
        break;
      }
      if (!quoted && (c == ' ' || c == '\t')) break;
      if (c == '\\') {
        if (i >= line.size()) return false;
        const char e = line[i++];
        switch (e) {
          case 'r': c = '\r'; break;
          case 'n': c = '\n'; break;
          case 't': c = '\t'; break;
          case 'e': c = '\x1b'; break;
          case '\\':
          case '"': c = e; break;
          case 'x': {
            if (i + 2 > line.size() || HexDigit(line[i]) < 0 || HexDigit(line[i + 1]) < 0) return false;
            c = static_cast<char>(HexDigit(line[i]) * 16 + HexDigit(line[i + 1]));
            i += 2;
            break;
          }
          default: return false;
        }
      }
      word.push_back(c);
    }
    if (!closed) return false;
    words.push_back(std::move(word));
  }
  return true;
}

bool Number(const std::string& text, int64_t& value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stoll(text);
  return true;
}

}  // namespace

std::string TapBlock(std::string_view pin, std::string_view message) {
  std::string block = "\x02" + std::string(pin) + "\r" + std::string(message) + "\r\x03";
  unsigned sum = 0;
  for (char c : block) sum += static_cast<unsigned char>(c);
  sum &= 0xFFF;
  for (int shift = 8; shift >= 0; shift -= 4) block.push_back(static_cast<char>(0x30 + ((sum >> shift) & 0xF)));
  block.push_back('\r');
  return block;
}

std::string ShowBytes(std::string_view bytes) {
  static const char* const kNames[] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS", "HT",  "LF",
                                       "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
                                       "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
  std::string out;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (byte < 0x20) {
      out += "<" + std::string(kNames[byte]) + ">";
    } else if (byte < 0x7F) {
      out.push_back(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    }
  }
  return out;
}

CallerScript CallerScript::Parse(std::string_view text) {
  CallerScript script;
  int number = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::vector<std::string> words;
    auto fail = [&](const std::string& why) {
      return std::runtime_error("script line " + std::to_string(number) + ": " + why);
    };
    if (!Words(line, words)) throw fail("unfinished quote or bad escape");
    if (words.empty() || words[0][0] == '#') continue;
    const std::string& verb = words[0];
    Step step{Step::kSend, {}, 0, number, {}};
    if (verb == "send" && words.size() == 2) {
      step.text = words[1];
    } else if (verb == "block" && words.size() == 3) {
      step.text = TapBlock(words[1], words[2]);
    } else if (verb == "knock" && (words.size() == 3 || words.size() == 4)) {
      step.kind = Step::kKnock;
      step.text = words[1];
      step.prompt = words[2];
      int64_t seconds = kDefaultExpectMs / 1000;
      if (words.size() == 4 && !Number(words[3], seconds)) throw fail("seconds expected");
      step.ms = seconds * 1000;
      if (step.prompt.empty()) throw fail("nothing to expect");
    } else if (verb == "expect" && (words.size() == 2 || words.size() == 3)) {
      step.kind = Step::kExpect;
      step.text = words[1];
      int64_t seconds = kDefaultExpectMs / 1000;
      if (words.size() == 3 && !Number(words[2], seconds)) throw fail("seconds expected");
      step.ms = seconds * 1000;
      if (step.text.empty()) throw fail("nothing to expect");
    } else if (verb == "wait" && words.size() == 2) {
      step.kind = Step::kWait;
      if (!Number(words[1], step.ms)) throw fail("milliseconds expected");
    } else if (verb == "hangup" && words.size() == 1) {
      step.kind = Step::kHangUp;
    } else {
      throw fail("unknown step \"" + verb + "\"");
    }
    script.steps_.push_back(std::move(step));
  }
  return script;
}

std::string CallerScript::Play(ModemSimulator& modem, std::ostream* transcript) const {
  std::string received;  // from the line, not yet matched
  auto collect = [&] {
    std::string more = modem.TakeFromLine();
    if (!more.empty() && transcript) *transcript << "< " << ShowBytes(more) << "\n" << std::flush;
    received += more;
  };
  for (const Step& step : steps_) {
    const std::string where = "line " + std::to_string(step.line) + ": ";
    switch (step.kind) {
      case Step::kSend:
        collect();
        if (transcript) *transcript << "> " << ShowBytes(step.text) << "\n" << std::flush;
        if (!modem.SendFromCaller(step.text)) return where + "no call to send on";
        break;
      case Step::kKnock:
      case Step::kExpect: {
        const std::string& awaited = step.kind == Step::kKnock ? step.prompt : step.text;
        size_t at = std::string::npos;
        auto arrived = [&] {
          collect();
          at = received.find(awaited);
          return at != std::string::npos || !modem.Connected();
        };
        if (step.kind == Step::kKnock) {
          for (int64_t waited = 0; waited < step.ms && !arrived(); waited += kKnockIntervalMs) {
            if (transcript) *transcript << "> " << ShowBytes(step.text) << "\n" << std::flush;
            modem.SendFromCaller(step.text);
            modem.WaitUntil(arrived, kKnockIntervalMs);
          }
        } else {
          modem.WaitUntil(arrived, step.ms);
        }
        if (at == std::string::npos) {
          return where + "expected \"" + ShowBytes(awaited) + "\", got \"" + ShowBytes(received) + "\"" +
                 (modem.Connected() ? "" : " and the call ended");
        }
        received.erase(0, at + awaited.size());
        break;
      }
      case Step::kWait:
        // A caller whose call has ended waits no more.
        modem.WaitUntil([&] { return !modem.Connected(); }, step.ms);
        break;
      case Step::kHangUp:
        collect();
        if (transcript) *transcript << "(caller hangs up)\n" << std::flush;
        modem.HangUp();
        break;
    }
  }
  collect();
  return {};
}

}  // namespace vltg::testing
