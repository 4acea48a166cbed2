// One WQL query against a WMI namespace, through COM, in this order: process security
// (RPC_E_TOO_LATE accepted: someone in the process set it already), the in-process locator, the
// namespace, the proxy blanket, a forward-only query that returns immediately. The objects are
// handed to `visit` one at a time, each released before the next is fetched, until it returns
// false or none is left. False when the query could not be run. The calling thread must have COM
// initialised.
#pragma once

#include <windows.h>
#include <wbemidl.h>

#include <functional>

namespace quarro::platform::win32 {

bool RunWmiQuery(const wchar_t* space, const wchar_t* wql, const std::function<bool(IWbemClassObject*)>& visit);

}  // namespace quarro::platform::win32
