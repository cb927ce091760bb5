// Turns Win32 error codes and HRESULTs into the core's failure value at the boundary.
#pragma once

#include <windows.h>

#include <string_view>

#include "platform/result.h"

namespace win32 {

ostrael::Failure error_failure(std::string_view operation, DWORD error);
ostrael::Failure last_error_failure(std::string_view operation);
ostrael::Failure hresult_failure(std::string_view operation, HRESULT hr);

}  // namespace win32

// Ends the calling function with the failure of an HRESULT call.
#define RETURN_IF_FAILED_HR(operation, expr)                                  \
  do {                                                                        \
    if (HRESULT hr_ = (expr); FAILED(hr_)) return ::win32::hresult_failure(operation, hr_); \
  } while (false)

// Like RETURN_IF_FAILED and ASSIGN_OR_RETURN, for functions that return a Result of any type.
#define FORWARD_IF_FAILED(expr)                     \
  do {                                              \
    if (auto result_ = (expr); !result_) return result_.failure(); \
  } while (false)

#define ASSIGN_OR_FORWARD(lhs, expr) ASSIGN_OR_FORWARD_IMPL(OSTRAEL_CONCAT(result_, __LINE__), lhs, expr)
#define ASSIGN_OR_FORWARD_IMPL(tmp, lhs, expr) \
  auto tmp = (expr);                           \
  if (!tmp) return tmp.failure();              \
  lhs = std::move(*tmp)
