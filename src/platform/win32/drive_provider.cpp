// FileSystemObject, GetDriveName, GetDrive and the nine Drive properties through COM.
// mingw-w64 has no header for the scripting runtime; its interfaces are dual, so each one is
// asked for by its IID and then driven through IDispatch by member name.
#include "drive_provider.h"

#include <oleauto.h>

#include "failure.h"
#include "system_library.h"
#include "unique_handle.h"
#include "utf16.h"

namespace win32 {

namespace {

constexpr CLSID kClsidFileSystemObject = {0x0D43FE01, 0xF093, 0x11CF, {0x89, 0x40, 0x00, 0xA0, 0xC9, 0x05, 0x42, 0x28}};
constexpr IID kIidFileSystem3 = {0x2A0B9D10, 0x4B87, 0x11D3, {0xA9, 0x7A, 0x00, 0x10, 0x4B, 0x36, 0x5C, 0x9F}};
constexpr IID kIidFileSystem = {0x0AB5A3D0, 0xE5B6, 0x11D0, {0xAB, 0xF5, 0x00, 0xA0, 0xC9, 0x0F, 0xFF, 0xC0}};
constexpr IID kIidDrive = {0xC7C3F5A0, 0x88A3, 0x11D0, {0xAB, 0xCB, 0x00, 0xA0, 0xC9, 0x0F, 0xFF, 0xC0}};

// ole32 and oleaut32 are looked up on the first "Pen Info", like COM itself: imported, they
// load before the program's first statement and, under Wine, bring rpcrt4 and combase along,
// all before the window shows.
struct ComRuntime {
  decltype(&::CoInitializeEx) co_initialize_ex = nullptr;
  decltype(&::CoCreateInstance) co_create_instance = nullptr;
  decltype(&::CoUninitialize) co_uninitialize = nullptr;
  decltype(&::SysAllocStringLen) sys_alloc_string_len = nullptr;
  decltype(&::SysFreeString) sys_free_string = nullptr;
  decltype(&::SysStringLen) sys_string_len = nullptr;
  decltype(&::VariantChangeType) variant_change_type = nullptr;
  decltype(&::VariantClear) variant_clear = nullptr;
};

// Empty until com_runtime() first succeeds; the two libraries then stay with the process.
ComRuntime com;

// Only a complete lookup is kept; a failed one is tried again on the next "Pen Info".
ostrael::Status com_runtime() {
  if (com.variant_clear) return {};
  HMODULE ole32 = load_system_library(L"ole32.dll");
  if (!ole32) return last_error_failure("LoadLibraryExW");
  HMODULE oleaut32 = load_system_library(L"oleaut32.dll");
  if (!oleaut32) return last_error_failure("LoadLibraryExW");
  ComRuntime found;
  if (!look_up(ole32, "CoInitializeEx", found.co_initialize_ex) || !look_up(ole32, "CoCreateInstance", found.co_create_instance) ||
      !look_up(ole32, "CoUninitialize", found.co_uninitialize) ||
      !look_up(oleaut32, "SysAllocStringLen", found.sys_alloc_string_len) ||
      !look_up(oleaut32, "SysFreeString", found.sys_free_string) || !look_up(oleaut32, "SysStringLen", found.sys_string_len) ||
      !look_up(oleaut32, "VariantChangeType", found.variant_change_type) ||
      !look_up(oleaut32, "VariantClear", found.variant_clear))
    return last_error_failure("GetProcAddress");
  com = found;
  return {};
}

// What VariantInit does, without oleaut32.
void variant_init(VARIANT& v) { V_VT(&v) = VT_EMPTY; }

struct Variant {
  VARIANT v;
  Variant() { variant_init(v); }
  // Only a call into the runtime fills one, so the runtime is there to empty it.
  ~Variant() {
    if (V_VT(&v) != VT_EMPTY) com.variant_clear(&v);
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
};

struct Bstr {
  BSTR s;
  explicit Bstr(std::string_view utf8) {
    std::wstring wide = to_utf16(utf8);
    s = com.sys_alloc_string_len(wide.data(), static_cast<UINT>(wide.size()));
  }
  ~Bstr() { com.sys_free_string(s); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
};

// A member that fails inside the runtime comes back as DISP_E_EXCEPTION; its own code is in
// the EXCEPINFO, which also owns strings that must be freed.
ostrael::Failure exception_failure(std::string_view operation, EXCEPINFO& info) {
  if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
  HRESULT code = info.scode ? info.scode : (info.wCode ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_DISPATCH, info.wCode) : DISP_E_EXCEPTION);
  ostrael::Failure failure = hresult_failure(operation, code);
  if (info.bstrDescription && *info.bstrDescription) failure.text = to_utf8(info.bstrDescription);
  com.sys_free_string(info.bstrSource);
  com.sys_free_string(info.bstrDescription);
  com.sys_free_string(info.bstrHelpFile);
  return failure;
}

// Calls a method or reads a property by name. `argument` may be null.
ostrael::Status invoke(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* argument, VARIANT& result,
                       std::string_view operation) {
  DISPID id;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  RETURN_IF_FAILED_HR(operation, object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
  DISPPARAMS params{argument, nullptr, argument ? 1u : 0u, 0};
  EXCEPINFO info{};
  HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, &info, nullptr);
  if (hr == DISP_E_EXCEPTION) return exception_failure(operation, info);
  if (FAILED(hr)) return hresult_failure(operation, hr);
  return {};
}

ostrael::Result<std::string> variant_to_text(VARIANT& value, std::string_view operation) {
  if (V_VT(&value) != VT_BSTR) RETURN_IF_FAILED_HR(operation, com.variant_change_type(&value, &value, 0, VT_BSTR));
  BSTR s = V_BSTR(&value);
  return to_utf8({s, s ? com.sys_string_len(s) : 0});
}

class Drive final : public ostrael::Drive {
 public:
  explicit Drive(ComPtr<IDispatch> drive) : drive_(std::move(drive)) {}

  ostrael::Result<std::string> drive_letter() override { return text(L"DriveLetter", "DriveLetter"); }
  ostrael::Result<std::int32_t> drive_type() override { return int32(L"DriveType", "DriveType"); }
  ostrael::Result<std::string> file_system() override { return text(L"FileSystem", "FileSystem"); }
  ostrael::Result<double> free_space() override { return size(L"FreeSpace", "FreeSpace"); }
  ostrael::Result<bool> is_ready() override {
    Variant v;
    FORWARD_IF_FAILED(get(L"IsReady", v, "IsReady"));
    if (V_VT(&v.v) != VT_BOOL) RETURN_IF_FAILED_HR("IsReady", com.variant_change_type(&v.v, &v.v, 0, VT_BOOL));
    return V_BOOL(&v.v) != VARIANT_FALSE;
  }
  ostrael::Result<std::string> path() override { return text(L"Path", "Path"); }
  ostrael::Result<std::int32_t> serial_number() override { return int32(L"SerialNumber", "SerialNumber"); }
  ostrael::Result<double> total_size() override { return size(L"TotalSize", "TotalSize"); }
  ostrael::Result<std::string> volume_name() override { return text(L"VolumeName", "VolumeName"); }

 private:
  ostrael::Status get(const wchar_t* name, Variant& v, std::string_view operation) {
    return invoke(drive_.get(), name, DISPATCH_PROPERTYGET, nullptr, v.v, operation);
  }
  ostrael::Result<std::string> text(const wchar_t* name, std::string_view operation) {
    Variant v;
    FORWARD_IF_FAILED(get(name, v, operation));
    return variant_to_text(v.v, operation);
  }
  ostrael::Result<std::int32_t> int32(const wchar_t* name, std::string_view operation) {
    Variant v;
    FORWARD_IF_FAILED(get(name, v, operation));
    return variant_to_int32(v.v);
  }
  ostrael::Result<double> size(const wchar_t* name, std::string_view operation) {
    Variant v;
    FORWARD_IF_FAILED(get(name, v, operation));
    return variant_to_double(v.v);
  }

  ComPtr<IDispatch> drive_;
};

class FileSystemObject final : public ostrael::FileSystemObject {
 public:
  explicit FileSystemObject(ComPtr<IDispatch> file_system) : file_system_(std::move(file_system)) {}

  ostrael::Result<std::string> get_drive_name(std::string_view path) override {
    Bstr argument_text(path);
    if (!argument_text.s && !path.empty()) return hresult_failure("GetDriveName", E_OUTOFMEMORY);
    VARIANT argument;
    V_VT(&argument) = VT_BSTR;
    V_BSTR(&argument) = argument_text.s;
    Variant result;
    FORWARD_IF_FAILED(invoke(file_system_.get(), L"GetDriveName", DISPATCH_METHOD, &argument, result.v, "GetDriveName"));
    return variant_to_text(result.v, "GetDriveName");
  }

  ostrael::Result<std::unique_ptr<ostrael::Drive>> get_drive(std::string_view drive_spec) override {
    Bstr argument_text(drive_spec);
    if (!argument_text.s && !drive_spec.empty()) return hresult_failure("GetDrive", E_OUTOFMEMORY);
    VARIANT argument;
    V_VT(&argument) = VT_BSTR;
    V_BSTR(&argument) = argument_text.s;
    Variant result;
    FORWARD_IF_FAILED(invoke(file_system_.get(), L"GetDrive", DISPATCH_METHOD, &argument, result.v, "GetDrive"));
    if (V_VT(&result.v) != VT_DISPATCH || !V_DISPATCH(&result.v)) return hresult_failure("GetDrive", DISP_E_TYPEMISMATCH);
    ComPtr<IDispatch> drive;
    RETURN_IF_FAILED_HR("GetDrive", V_DISPATCH(&result.v)->QueryInterface(kIidDrive, drive.put_void()));
    return std::unique_ptr<ostrael::Drive>(new Drive(std::move(drive)));
  }

 private:
  ComPtr<IDispatch> file_system_;
};

}  // namespace

ostrael::Result<double> variant_to_double(const VARIANT& value) {
  switch (V_VT(&value)) {
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT:
    case VT_R4: case VT_R8: case VT_CY: case VT_DECIMAL:
      break;
    default:
      return hresult_failure("VariantChangeType", DISP_E_TYPEMISMATCH);
  }
  FORWARD_IF_FAILED(com_runtime());
  VARIANT converted;
  variant_init(converted);
  RETURN_IF_FAILED_HR("VariantChangeType", com.variant_change_type(&converted, const_cast<VARIANT*>(&value), 0, VT_R8));
  return V_R8(&converted);
}

ostrael::Result<std::int32_t> variant_to_int32(const VARIANT& value) {
  if (V_VT(&value) == VT_UI4) return static_cast<std::int32_t>(V_UI4(&value));
  FORWARD_IF_FAILED(com_runtime());
  VARIANT converted;
  variant_init(converted);
  RETURN_IF_FAILED_HR("VariantChangeType", com.variant_change_type(&converted, const_cast<VARIANT*>(&value), 0, VT_I4));
  return static_cast<std::int32_t>(V_I4(&converted));
}

DriveProvider::~DriveProvider() {
  if (com_started_) com.co_uninitialize();
}

ostrael::Result<std::unique_ptr<ostrael::FileSystemObject>> DriveProvider::create_file_system_object() {
  FORWARD_IF_FAILED(com_runtime());
  if (!com_started_) {
    HRESULT hr = com.co_initialize_ex(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    // A thread that already has COM in another mode can still create the object.
    if (FAILED(hr) && hr != RPC_E_CHANGED_MODE) return hresult_failure("CoInitializeEx", hr);
    com_started_ = SUCCEEDED(hr);
  }
  ComPtr<IUnknown> object;
  RETURN_IF_FAILED_HR("CoCreateInstance",
                      com.co_create_instance(kClsidFileSystemObject, nullptr, CLSCTX_INPROC_SERVER, kIidFileSystem3, object.put_void()));
  ComPtr<IDispatch> file_system;
  RETURN_IF_FAILED_HR("CoCreateInstance", object->QueryInterface(kIidFileSystem, file_system.put_void()));
  return std::unique_ptr<ostrael::FileSystemObject>(new FileSystemObject(std::move(file_system)));
}

}  // namespace win32
