#include "manager/ui/misc_page.h"

namespace vltg::manager {

MiscPage::MiscPage(TVLSGSrvcMngr& /*manager*/, QWidget* parent) : QWidget(parent) { setObjectName("MiscPage"); }

}  // namespace vltg::manager
