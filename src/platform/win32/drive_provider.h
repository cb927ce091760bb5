// The drive report's provider: the scripting runtime's FileSystemObject, reached through IDispatch.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "platform/platform.h"

namespace win32 {

// A byte count as the runtime hands it over: any integer, floating-point, currency or decimal
// VARIANT, beyond 32 bits included. Texts, empties and objects are refused.
ostrael::Result<double> variant_to_double(const VARIANT& value);

// A 32-bit signed value; an unsigned 32-bit one keeps its bits, so serial FFFFFFFF reads -1.
ostrael::Result<std::int32_t> variant_to_int32(const VARIANT& value);

// COM and its libraries start on the first "Pen Info", not at start-up, where under Wine they
// cost more than the whole window; COM ends with the provider.
class DriveProvider final : public ostrael::DriveProvider {
 public:
  DriveProvider() = default;
  DriveProvider(const DriveProvider&) = delete;
  DriveProvider& operator=(const DriveProvider&) = delete;
  ~DriveProvider() override;

  ostrael::Result<std::unique_ptr<ostrael::FileSystemObject>> create_file_system_object() override;

 private:
  bool com_started_ = false;
};

}  // namespace win32
