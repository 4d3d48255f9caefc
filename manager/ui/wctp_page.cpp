#include "manager/ui/wctp_page.h"

namespace vltg::manager {

WctpPage::WctpPage(TVLSGSrvcMngr& /*manager*/, QWidget* parent) : QWidget(parent) { setObjectName("WctpPage"); }

}  // namespace vltg::manager
