#pragma once
// The items of the serial port lists that the TNPP page and the port dialog
// show, in the order their positions are stored. Each is made once and kept
// for the program's life.
#include <span>
#include <string_view>

namespace vltg::manager {

// "COM1" to "COM4".
std::span<const std::string_view> ComPortTexts();
// The rates the gateway maps a ComSpeed position to.
std::span<const std::string_view> ComSpeedTexts();
// A TAP port's DataSettings and FlowCtrl, made from what the gateway makes of
// each position, so that the two cannot drift apart.
std::span<const std::string_view> PortCharFormatTexts();
std::span<const std::string_view> PortFlowControlTexts();

}  // namespace vltg::manager
