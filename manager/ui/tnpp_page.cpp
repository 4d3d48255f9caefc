#include "manager/ui/tnpp_page.h"

namespace vltg::manager {

TnppPage::TnppPage(TVLSGSrvcMngr& /*manager*/, QWidget* parent) : QWidget(parent) { setObjectName("TnppPage"); }

}  // namespace vltg::manager
