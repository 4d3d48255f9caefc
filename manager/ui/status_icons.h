#pragma once
// The two 32 by 32 images of the gateway's state (ImageList1): 0 off-line,
// 1 on-line. They become the application's icon and the notification icon.
#include <QIcon>

namespace vltg::manager {

QIcon GatewayStateIcon(int index);

}  // namespace vltg::manager
