#include "manager/model/modem_lines.h"

#include <exception>
#include <filesystem>
#include <optional>

#include "datafiles/modem_config_file.h"
#include "engines/tapi_line.h"
#include "manager/model/service_manager.h"
#include "platform/base/ascii_text.h"
#include "platform/base/exception.h"
#include "platform/base/whole_file.h"
#include "platform/messages/message_queue.h"
#include "platform/telephony/device_config.h"
#include "platform/telephony/tapi_constants.h"

namespace vltg::manager {
namespace {

using namespace platform;

// The line's configuration record in room grown to the size it needs.
int32_t QueryDevConfig(uint32_t DeviceId, VARSTRING& Record) {
  Record = VARSTRING{};
  int32_t result = lineGetDevConfig(DeviceId, &Record, kDeviceClassDataModem);
  if (result >= 0 && Record.dwNeededSize > Record.dwTotalSize) {
    Record.dwTotalSize = Record.dwNeededSize;
    result = lineGetDevConfig(DeviceId, &Record, kDeviceClassDataModem);
  }
  return result;
}

}  // namespace

TModemLines::TModemLines(void* Owner) : FParentForm(Owner) {
  SetDevIdToInitialize(kNoDevice);
  SetShowDialDialog(false);
  // No call is up: a CONNECTED notification is ignored.
  FDropping = true;
}

TModemLines::~TModemLines() {
  try {
    HangUp();
  } catch (...) {
  }
  try {
    ShutdownLineApp();
  } catch (...) {
  }
}

void TModemLines::ShutdownLineApp() {
  if (!FInitialized) return;
  const int32_t result = lineShutdown(FLineApp);
  FInitialized = false;
  TModemLinesTable::Release(FClaimedInstance, this);
  FClaimedInstance = -1;
  CheckLineResult(result);
}

bool TModemLines::InitializeLine() {
  try {
    if (FInitialized) {
      ShutdownLineApp();
      SleepPumping(5);
    }
    if (FDeviceDirectAccess || !TModemLinesTable::Claim(FLineInstance, this)) return false;
    FClaimedInstance = FLineInstance;
    if (FLineInstance == 0 && FShowDialDialog && !FDialingForm && DialingFormMaker()) {
      FDialingForm = DialingFormMaker()(*this);
      if (FDialingForm) FDialingForm->SetImageVisible(true);
    }
    if (lineInitialize(&FLineApp, TModemLinesTable::Callback(FLineInstance), kManagerTitle, &FNumDevs) < 0) {
      TModemLinesTable::Release(FClaimedInstance, this);
      FClaimedInstance = -1;
      return false;
    }
    FInitialized = true;
    return true;
  } catch (const std::exception&) {
    // The entry is not held by a component without a line application.
    TModemLinesTable::Release(FClaimedInstance, this);
    FClaimedInstance = -1;
    return false;
  }
}

uint32_t TModemLines::NegotiateAPIVersion(uint32_t DeviceId) {
  return NegotiateLineVersion(FLineApp, DeviceId, TAPI_VERSION_1_4, TAPI_VERSION_2_0);
}

std::string TModemLines::GetLineName(const LINEDEVCAPS& Caps) {
  if (Caps.LineName.empty() || Caps.dwStringFormat != STRINGFORMAT_ASCII) return "Line Unnamed";
  // A name field without a NUL keeps every byte.
  const std::string name = Caps.LineName.substr(0, Caps.LineName.find('\0'));
  return name.empty() ? "Line Name is Empty" : name;
}

std::string TModemLines::DataModemLineName(const LINEDEVCAPS& Caps) {
  return (Caps.dwMediaModes & LINEMEDIAMODE_DATAMODEM) != 0 ? GetLineName(Caps) : std::string();
}

bool TModemLines::GetLineNames(std::vector<TModemLine>& Strings) {
  if (!FInitialized) return false;
  Strings.clear();
  for (uint32_t device = 0; device < FNumDevs; ++device) {
    std::string name = "Line Unavailable";
    if (const uint32_t version = NegotiateAPIVersion(device); version != 0) {
      LINEDEVCAPS caps;
      CheckLineResult(lineGetDevCaps(FLineApp, device, version, 0, &caps));
      name = DataModemLineName(caps);
    }
    if (!TrimBlanks(name).empty()) Strings.push_back({name, device});
  }
  return true;
}

bool TModemLines::EditModemConfig(const std::string& Path, uint32_t DeviceId, bool* Cancelled, std::string* Reason) {
  if (Cancelled != nullptr) *Cancelled = false;
  if (Reason != nullptr) Reason->clear();
  const auto fail = [Reason](std::string why) {
    if (Reason != nullptr) *Reason = std::move(why);
    return false;
  };
  // A line the provider refuses as telephony.ini gives it: the provider says why.
  const auto line_failed = [&](int32_t result) {
    return fail(result == LINEERR_INIFILECORRUPT ? LineUnusableReason(DeviceId) : std::string());
  };
  // The block the dialog starts from; none: the line's current configuration.
  std::string input;
  std::error_code ignored;
  if (std::filesystem::exists(Path, ignored)) {
    std::optional<std::string> block;
    try {
      block = ReadModemConfigFile(Path);
    } catch (const EFileError& e) {
      return fail(e.Message());
    }
    if (block && DecodeDeviceConfig(*block)) input = *block;
  }
  VARSTRING output;
  if (const int32_t result = QueryDevConfig(DeviceId, output); result < 0) return line_failed(result);
  const int32_t result =
      lineConfigDialogEdit(DeviceId, FParentForm, kDeviceClassDataModem, input.empty() ? nullptr : input.data(),
                           static_cast<uint32_t>(input.size()), &output);
  if (result == LINEERR_OPERATIONFAILED && Cancelled != nullptr) *Cancelled = true;
  if (result != 0) return line_failed(result);
  try {
    WriteModemConfigFile(Path, output);
  } catch (const EFileError& e) {
    return fail(e.Message());
  }
  return true;
}

}  // namespace vltg::manager
