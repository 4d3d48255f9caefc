#pragma once
// The records the line functions fill: device capabilities, address status,
// and VARSTRING, the variable-size text record that carries a device's
// configuration block and a call's port handle.
#include <cstdint>
#include <string>

namespace vltg::platform {

struct LINEDEVCAPS {
  // Text parts, each as the record's field holds it: the text and its
  // terminating NUL, or empty when the line has none.
  std::string ProviderInfo;
  std::string LineName;
  uint32_t dwStringFormat = 0;  // STRINGFORMAT_ASCII
  uint32_t dwPermanentLineID = 0;
  uint32_t dwNumAddresses = 0;
  uint32_t dwMaxRate = 0;  // bits per second
  uint32_t dwBearerModes = 0;
  uint32_t dwMediaModes = 0;
  uint32_t dwLineFeatures = 0;
};

struct LINEADDRESSSTATUS {
  uint32_t dwNumInUse = 0;
  uint32_t dwNumActiveCalls = 0;
  uint32_t dwAddressFeatures = 0;
};

struct LINEEXTENSIONID {
  uint32_t dwExtensionID0 = 0;
  uint32_t dwExtensionID1 = 0;
  uint32_t dwExtensionID2 = 0;
  uint32_t dwExtensionID3 = 0;
};

// A caller sets dwTotalSize to the room it offers (the 24-byte header
// included). A function that needs more fills only dwNeededSize (and
// dwUsedSize with the header's 24) and still succeeds, so the caller can grow
// the room and ask again; otherwise the string part is in String, placed at
// dwStringOffset of the record's bytes.
struct VARSTRING {
  static constexpr uint32_t kHeaderSize = 24;

  uint32_t dwTotalSize = kHeaderSize;
  uint32_t dwNeededSize = 0;
  uint32_t dwUsedSize = 0;
  uint32_t dwStringFormat = 0;
  uint32_t dwStringSize = 0;
  uint32_t dwStringOffset = 0;
  std::string String;
};

// The record's bytes as it is laid out and stored: the six header words
// little-endian, the string part at dwStringOffset, zeros up to dwTotalSize
// (or dwUsedSize when that is larger).
std::string VarStringBytes(const VARSTRING& record);

}  // namespace vltg::platform
