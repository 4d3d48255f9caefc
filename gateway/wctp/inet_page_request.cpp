#include "gateway/wctp/inet_page_request.h"

namespace vltg {

std::unique_ptr<TInetPageRequest> NewInetPageRequest() { return std::make_unique<TInetPageRequest>(); }

}  // namespace vltg
