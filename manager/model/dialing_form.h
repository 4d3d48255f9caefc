#pragma once
// The line component's "Dialing..." window, as the component drives it: shown
// while a call is being answered, hidden once it is connected or over, and
// its button hanging the component up. The window itself is the ui's
// (ui/qt_dialing_form.h); the ui installs the maker the component creates it
// with, so the model holds no widgets. Without a maker there is no dialing
// form.
#include <functional>
#include <memory>

namespace vltg::manager {

class TModemLines;

class TDialingForm {
 public:
  explicit TDialingForm(TModemLines& Owner) : FOwner(Owner) {}
  virtual ~TDialingForm() = default;
  TDialingForm(const TDialingForm&) = delete;
  TDialingForm& operator=(const TDialingForm&) = delete;

  // Shows the window and paints it at once.
  virtual void Show() = 0;
  virtual void Hide() = 0;
  // The image beside the modem's name; hidden until the component shows it.
  virtual void SetImageVisible(bool Visible) = 0;

  // The window's "&Hang up": hangs the owning component up; its errors are
  // swallowed.
  void HangUp();

 protected:
  TModemLines& FOwner;
};

// Makes the dialing form of a component (created hidden).
using TDialingFormMaker = std::function<std::unique_ptr<TDialingForm>(TModemLines& Owner)>;
void SetDialingFormMaker(TDialingFormMaker Maker);
// The maker installed; empty when none is.
const TDialingFormMaker& DialingFormMaker();

}  // namespace vltg::manager
