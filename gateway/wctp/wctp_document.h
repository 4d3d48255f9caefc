#pragma once
// The WCTP submit document: the client-message form (wctp-SubmitClientMessage)
// or the submit-request form (wctp-SubmitRequest), written row by row with
// fixed indents, every line ended by CR LF.
//
// Every text taken from the request goes in escaped for XML, its bytes from
// 0x80 up read as Latin-1 and written as UTF-8 (the document declares no
// encoding, so it is UTF-8).
#include <string>
#include <string_view>

#include "gateway/wctp/inet_page_request.h"

namespace vltg {

// `text` is the message as it goes out ("&" and "%" already taken out);
// `timestamp` the submitTimestamp value.
std::string WriteSubmitDocument(const TInetPageRequest& request, std::string_view text, std::string_view timestamp);

// The wctpVersion attribute's value, "wctp-dtd-v<major>r<minor>", from the
// version in the file name of the DTD system identifier; "wctp-dtd-v1r1" for
// an empty one.
std::string WctpVersion(std::string_view docType);

}  // namespace vltg
