#pragma once
// Base of the HTTP component, and the HTTP core's exception.
#include "gateway/wctp/nx_core_base.h"

namespace vltg {

class ENetXfer : public ENetXferError {
 public:
  using ENetXferError::ENetXferError;
};

class TnxCore : public TnxCoreBase<ENetXfer> {};

}  // namespace vltg
