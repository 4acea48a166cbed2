// The Win32 error codes the programs and the simulated machine use, with their Windows values:
// the one place they are declared. They are `long` non-negative constants, so they compare
// cleanly with the `long` results of registry calls and with `std::uint32_t` last-error values.
#pragma once

namespace quarro::platform {

inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorInvalidFunction = 1;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorPathNotFound = 3;
inline constexpr long kErrorTooManyOpenFiles = 4;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorNotEnoughMemory = 8;
inline constexpr long kErrorInvalidData = 13;
inline constexpr long kErrorNoMoreFiles = 18;
inline constexpr long kErrorGenFailure = 31;
inline constexpr long kErrorSharingViolation = 32;
inline constexpr long kErrorNotSupported = 50;
inline constexpr long kErrorFileExists = 80;
inline constexpr long kErrorInvalidParameter = 87;
inline constexpr long kErrorBrokenPipe = 109;
inline constexpr long kErrorBufferOverflow = 111;
inline constexpr long kErrorDiskFull = 112;
inline constexpr long kErrorCallNotImplemented = 120;
inline constexpr long kErrorInsufficientBuffer = 122;
inline constexpr long kErrorInvalidName = 123;
inline constexpr long kErrorBadPathname = 161;
inline constexpr long kErrorAlreadyExists = 183;
inline constexpr long kErrorFilenameTooLong = 206;
inline constexpr long kErrorPipeBusy = 231;
inline constexpr long kErrorNoData = 232;
inline constexpr long kErrorPipeNotConnected = 233;
inline constexpr long kErrorMoreData = 234;
inline constexpr long kErrorNoMoreItems = 259;
inline constexpr long kErrorPipeConnected = 535;
inline constexpr long kErrorIoPending = 997;
inline constexpr long kErrorNoAccess = 998;
inline constexpr long kErrorKeyDeleted = 1018;
inline constexpr long kErrorInvalidServiceControl = 1052;
inline constexpr long kErrorServiceRequestTimeout = 1053;
inline constexpr long kErrorServiceAlreadyRunning = 1056;
inline constexpr long kErrorServiceDisabled = 1058;
inline constexpr long kErrorServiceDoesNotExist = 1060;
inline constexpr long kErrorServiceCannotAcceptControl = 1061;
inline constexpr long kErrorServiceNotActive = 1062;
inline constexpr long kErrorFailedServiceControllerConnect = 1063;
inline constexpr long kErrorServiceMarkedForDelete = 1072;
inline constexpr long kErrorIoDevice = 1117;
inline constexpr long kErrorNotFound = 1168;
inline constexpr long kErrorNoSystemResources = 1450;
inline constexpr long kErrorCantResolveFilename = 1921;

}  // namespace quarro::platform
