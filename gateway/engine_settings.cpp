#include "gateway/engine_settings.h"

#include <optional>

#include "datafiles/config_lists.h"
#include "datafiles/data_directory.h"
#include "engines/kyr_tap.h"
#include "engines/kyr_tnpp.h"

namespace vltg {
namespace {

// The rate ordinal a ComSpeed position stands for, when it is one.
template <typename Rate>
std::optional<Rate> RateOrdinal(int32_t index) {
  if (!ComSpeedRate(index)) return std::nullopt;
  return static_cast<Rate>(index);
}

}  // namespace

void ApplyTnppSettings(TKYRTNPP& link, const TnppConfig& config) {
  link.SetSourceAddress(static_cast<uint32_t>(config.source_addr));
  link.SetBusyRspTout(config.busy_rty_to);
  link.SetDPSerNum(0);
  link.SetENQRetries(config.enq_retries);
  link.SetENQRspTout(config.enq_to);
  link.SetIdleRspTout(config.idel_to);
  link.SetRetrycount(config.retry_count);
  link.SetInterCharTime(config.int_char_time);
  link.SetKeepAliveTout(config.keep_alive_to);
  link.SetRSHoldRetry(config.rs_hold_retry);
  link.SetRSHoldTime(config.rs_hold_time);
  link.SetSTXInit(config.stx_init);
  link.SetTransparentCRC(config.transparent_crc);
  if (config.use_com >= pnCOM1 && config.use_com <= pnCOM16) link.SetComPort(static_cast<TComPortNumber>(config.use_com));
  if (auto format = TnppCharFormat(config.com_settings)) {
    link.SetComPortDataBits(static_cast<TComPortDataBits>(format->data_bits - 5));
    link.SetComPortParity(format->parity == 'E' ? ptEVEN : ptNONE);
    link.SetComPortStopBits(sb1BITS);
  }
  if (auto handshake = TnppHandshake(config.hand_shake)) {
    link.SetComPortHwHandshaking(handshake->hardware ? hhRTSCTS : hhNONE);
    link.SetComPortSwHandshaking(handshake->software ? shXONXOFF : shNONE);
  }
  if (auto rate = RateOrdinal<TComPortBaudRate>(config.com_speed)) link.SetComPortSpeed(*rate);
}

void ApplyTapPortSettings(TKYRTap& tap, int32_t port, const std::string& name, const TapPortConfig& config,
                          const MiscConfig& misc) {
  tap.SetName("Inbound" + std::to_string(port));
  tap.PortName = name;
  tap.SetLineInstance(port);
  tap.SetComPort(config.com_port + 1);
  if (auto rate = RateOrdinal<TTapComPortBaudRate>(config.com_speed)) tap.SetComPortSpeed(*rate);
  tap.SetManualEntryHeader(misc.header);
  if (misc.emulation == metGlenair || misc.emulation == metHark) {
    tap.SetManualEntryType(static_cast<TManualEntryType>(misc.emulation));
  }
  if (auto flow = PortFlowControl(config.flow_ctrl)) {
    tap.SetComPortHwHandshaking(flow->hardware ? hhtRTSCTS : hhtNONE);
    tap.SetComPortSwHandshaking(flow->software ? shtXONXOFF : shtNONE);
  }
  if (auto format = PortCharFormat(config.data_settings)) {
    tap.SetComPortDataBits(static_cast<TTapComPortDataBits>(format->data_bits - 5));
    tap.SetComPortParity(format->parity == 'E' ? pttEVEN : pttNONE);
    tap.SetComPortStopBits(sbt1BITS);
  }
  tap.SetDeviceDirectAccess(config.direct_access);
  tap.SetDevIdToInitialize(static_cast<uint32_t>(config.device_id));
}

void SetUpTapEngine(TKYRTap& tap, const platform::ProfileFile& ini, int32_t port, const std::string& name,
                    const std::string& home_dir) {
  const TapPortConfig config = ReadTapPortConfig(ini, name);
  ApplyTapPortSettings(tap, port, name, config, ReadMiscConfig(ini));
  // No box may ever wait in a service: off before the line is initialised.
  tap.SetShowDialDialog(false);
  tap.SetShowErrorDialog(false);
  tap.InitializeLine();
  tap.SetRingsToAnswer(config.rings);
  tap.SetTapPassword(config.password);
  tap.SetMaxMsgLength(config.length);
  tap.SetModemAltConfig(DataFilePath(home_dir, ModemConfigFileName(name)));
  tap.SetModemSysConfig(DataFilePath(home_dir, kSystemModemConfigFileName));
  tap.SetTurncateMsgs(config.truncate_msgs);
}

}  // namespace vltg
