#include "manager/model/dialing_form.h"

#include "manager/model/modem_lines.h"

namespace vltg::manager {
namespace {

// The manager's window thread alone makes dialing forms.
TDialingFormMaker& InstalledMaker() {
  static TDialingFormMaker maker;
  return maker;
}

}  // namespace

void TDialingForm::HangUp() {
  try {
    FOwner.HangUp();
  } catch (...) {
  }
}

void SetDialingFormMaker(TDialingFormMaker Maker) { InstalledMaker() = std::move(Maker); }

const TDialingFormMaker& DialingFormMaker() { return InstalledMaker(); }

}  // namespace vltg::manager
