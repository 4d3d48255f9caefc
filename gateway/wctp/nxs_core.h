#pragma once
// Base of the HTTPS component, and the HTTPS core's exception.
#include "gateway/wctp/nx_core_base.h"

namespace vltg {

class ENetXferSSL : public ENetXferError {
 public:
  using ENetXferError::ENetXferError;
};

class TnxsCore : public TnxCoreBase<ENetXferSSL> {};

}  // namespace vltg
