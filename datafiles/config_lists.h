#pragma once
// What the list positions stored in Config.Dat mean for a serial port. The TNPP
// link and the TAP ports list character formats and handshakes in opposite
// orders; a position outside its list means "leave the port's own setting".
#include <cstdint>
#include <optional>

namespace vltg {

struct CharFormat {
  int data_bits;
  char parity;  // 'N' none, 'E' even
  int stop_bits;
  bool operator==(const CharFormat&) const = default;
};

struct Handshake {
  bool hardware;  // RTS/CTS
  bool software;  // XON/XOFF
  bool operator==(const Handshake&) const = default;
};

// [TNPP] ComSettings: 0 = 8,N,1; 1 = 7,E,1.
std::optional<CharFormat> TnppCharFormat(std::int32_t index);
// Port DataSettings: 0 = 7,E,1; 1 = 8,N,1.
std::optional<CharFormat> PortCharFormat(std::int32_t index);
// [TNPP] HandShake: 0 = RTS/CTS; 1 = XON/XOFF; 2 = both; 3 = none.
std::optional<Handshake> TnppHandshake(std::int32_t index);
// Port FlowCtrl: 0 = none; 1 = RTS/CTS; 2 = XON/XOFF; 3 = both.
std::optional<Handshake> PortFlowControl(std::int32_t index);
// ComSpeed of either section: the rate at that position of kComSpeedRates.
std::optional<std::int32_t> ComSpeedRate(std::int32_t index);

}  // namespace vltg
