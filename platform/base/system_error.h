#pragma once
// The calling thread's last-error value and the texts of the system error
// codes, with the numbers and wording of the Windows error table: callers
// compare the numbers and show the texts ("System Error.  Code: 5." ...).
#include <cstdint>
#include <string>

namespace vltg::platform {

inline constexpr uint32_t ERROR_SUCCESS = 0;
inline constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr uint32_t ERROR_INVALID_HANDLE = 6;
inline constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr uint32_t ERROR_INVALID_DATA = 13;
inline constexpr uint32_t ERROR_DISK_FULL = 112;
inline constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr uint32_t ERROR_INVALID_NAME = 123;
inline constexpr uint32_t ERROR_BAD_EXE_FORMAT = 193;
inline constexpr uint32_t ERROR_INVALID_SERVICE_CONTROL = 1052;
inline constexpr uint32_t ERROR_SERVICE_REQUEST_TIMEOUT = 1053;
inline constexpr uint32_t ERROR_SERVICE_ALREADY_RUNNING = 1056;
inline constexpr uint32_t ERROR_SERVICE_DISABLED = 1058;
inline constexpr uint32_t ERROR_SERVICE_DOES_NOT_EXIST = 1060;
inline constexpr uint32_t ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061;
inline constexpr uint32_t ERROR_SERVICE_NOT_ACTIVE = 1062;
inline constexpr uint32_t ERROR_FAILED_SERVICE_CONTROLLER_CONNECT = 1063;
inline constexpr uint32_t ERROR_SERVICE_SPECIFIC_ERROR = 1066;
inline constexpr uint32_t ERROR_PROCESS_ABORTED = 1067;
inline constexpr uint32_t ERROR_SERVICE_LOGON_FAILED = 1069;
inline constexpr uint32_t ERROR_SERVICE_MARKED_FOR_DELETE = 1072;
inline constexpr uint32_t ERROR_SERVICE_EXISTS = 1073;
inline constexpr uint32_t ERROR_DUPLICATE_SERVICE_NAME = 1078;
inline constexpr uint32_t ERROR_INTERNAL_ERROR = 1359;
inline constexpr uint32_t ERROR_FILE_CORRUPT = 1392;

// The calling thread's last-error value (0 until something sets it).
uint32_t GetLastError();
void SetLastError(uint32_t code);

// The text of a system error code without a trailing line break; empty for a
// code the table does not hold (as the system's message lookup then gives).
std::string SystemErrorMessage(uint32_t code);

// The system error code that stands for a POSIX errno value.
uint32_t ErrnoToSystemError(int error);

}  // namespace vltg::platform
