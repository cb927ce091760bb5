// MSAA for the pictures: an IAccessible over the system's standard object that answers name,
// role, description, state and action, and leaves the rest to it.
#include "accessible.h"

#include <oleacc.h>

#include <string>
#include <utility>

#include "system_library.h"
#include "unique_handle.h"
#include "utf16.h"

namespace win32 {

namespace ui = ostrael::ui;

namespace {

struct Runtime {
  decltype(&::CreateStdAccessibleObject) create_std_accessible_object = nullptr;
  decltype(&::LresultFromObject) lresult_from_object = nullptr;
  decltype(&::SysAllocStringLen) sys_alloc_string_len = nullptr;
  decltype(&::DispInvoke) disp_invoke = nullptr;
  decltype(&::DispGetIDsOfNames) disp_get_ids_of_names = nullptr;
  decltype(&::LoadRegTypeLib) load_reg_type_lib = nullptr;
};

// Empty until the first request finds all of it; a failed lookup is tried again on the next.
Runtime runtime;

// COM stays started on this thread for the rest of the process: a screen reader holds on to
// the objects it was given for as long as it likes, and stopping COM would cut them off.
bool start_runtime() {
  if (runtime.lresult_from_object) return true;
  HMODULE ole32 = load_system_library(L"ole32.dll");
  HMODULE oleaut32 = load_system_library(L"oleaut32.dll");
  HMODULE oleacc = load_system_library(L"oleacc.dll");
  decltype(&::CoInitializeEx) co_initialize_ex = nullptr;
  Runtime found;
  if (!look_up(ole32, "CoInitializeEx", co_initialize_ex) ||
      !look_up(oleacc, "CreateStdAccessibleObject", found.create_std_accessible_object) ||
      !look_up(oleacc, "LresultFromObject", found.lresult_from_object) ||
      !look_up(oleaut32, "SysAllocStringLen", found.sys_alloc_string_len) ||
      !look_up(oleaut32, "DispInvoke", found.disp_invoke) ||
      !look_up(oleaut32, "DispGetIDsOfNames", found.disp_get_ids_of_names) ||
      !look_up(oleaut32, "LoadRegTypeLib", found.load_reg_type_lib))
    return false;
  // The object is handed over by marshalling, which needs an apartment on this thread.
  HRESULT hr = co_initialize_ex(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  if (FAILED(hr) && hr != RPC_E_CHANGED_MODE) return false;
  runtime = found;
  return true;
}

bool is_self(const VARIANT& child) { return V_VT(&child) == VT_I4 && V_I4(&child) == CHILDID_SELF; }

HRESULT to_bstr(std::wstring_view text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = runtime.sys_alloc_string_len(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT to_bstr(std::string_view utf8, BSTR* out) { return to_bstr(to_utf16(utf8), out); }

HRESULT to_variant(LONG value, VARIANT* out) {
  if (!out) return E_POINTER;
  V_VT(out) = VT_I4;
  V_I4(out) = value;
  return S_OK;
}

// IAccessible as the accessibility runtime's registered type library describes it: what a
// late-bound call is dispatched by. Wine's standard object hands out no description of its own.
HRESULT accessible_type_info(ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  ComPtr<ITypeLib> library;
  HRESULT hr = runtime.load_reg_type_lib(LIBID_Accessibility, 1, 1, LOCALE_NEUTRAL, library.put());
  return SUCCEEDED(hr) ? library->GetTypeInfoOfGuid(__uuidof(IAccessible), info) : hr;
}

class AccessiblePicture final : public IAccessible {
 public:
  AccessiblePicture(HWND hwnd, const ui::Control& control, ComPtr<IAccessible> standard)
      : hwnd_(hwnd), control_(control), standard_(std::move(standard)) {}
  AccessiblePicture(const AccessiblePicture&) = delete;
  AccessiblePicture& operator=(const AccessiblePicture&) = delete;

  // This object's own interfaces and no other. Handed one of the standard object's, COM would
  // marshal that object to the reader in this one's place (IMarshal, IStdMarshalInfo) and none of
  // what is said here would reach the reader; and one object would have two identities.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid != __uuidof(IUnknown) && riid != __uuidof(IDispatch) && riid != __uuidof(IAccessible)) return E_NOINTERFACE;
    *out = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // A late-bound caller gets the same answers as one through the vtable: its calls are
  // dispatched onto this object, never handed to the standard object, which would answer for itself.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    return index == 0 ? accessible_type_info(info) : DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    ComPtr<ITypeInfo> info;
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    HRESULT hr = accessible_type_info(info.put());
    return SUCCEEDED(hr) ? runtime.disp_get_ids_of_names(info.get(), names, count, ids) : hr;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* arg_error) override {
    ComPtr<ITypeInfo> info;
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    HRESULT hr = accessible_type_info(info.put());
    if (FAILED(hr)) return hr;
    return runtime.disp_invoke(static_cast<IAccessible*>(this), info.get(), id, flags, params, result, exception, arg_error);
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return standard_->get_accParent(parent); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return standard_->get_accChildCount(count); }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override { return standard_->get_accChild(child, out); }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (is_self(child)) return to_bstr(ui::accessible_name(control_), name);
    return standard_->get_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override { return standard_->get_accValue(child, value); }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    if (is_self(child)) return to_bstr(control_.tooltip, description);
    return standard_->get_accDescription(child, description);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (is_self(child)) return to_variant(ROLE_SYSTEM_PUSHBUTTON, role);
    return standard_->get_accRole(child, role);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    HRESULT hr = standard_->get_accState(child, state);
    // The pictures take no keyboard focus: the mouse and a reader's own commands press them.
    if (SUCCEEDED(hr) && is_self(child) && V_VT(state) == VT_I4) V_I4(state) &= ~STATE_SYSTEM_FOCUSABLE;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return standard_->get_accHelp(child, help); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return standard_->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return standard_->get_accFocus(focus); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override { return standard_->get_accSelection(selection); }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    // The name MSAA gives the action of every push button.
    if (is_self(child)) return to_bstr(std::wstring_view(L"Press"), action);
    return standard_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return standard_->accSelect(flags, child); }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    return standard_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return standard_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override { return standard_->accHitTest(x, y, child); }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (!is_self(child)) return standard_->accDoDefaultAction(child);
    // The handler runs from the message loop as a click's does, one at a time, and a slow one
    // never holds the reader.
    if (!::PostMessageW(hwnd_, kPressPicture, 0, 0)) return HRESULT_FROM_WIN32(::GetLastError());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override { return standard_->put_accName(child, name); }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override { return standard_->put_accValue(child, value); }

 private:
  ~AccessiblePicture() = default;

  LONG references_ = 1;
  HWND hwnd_;
  const ui::Control& control_;
  ComPtr<IAccessible> standard_;
};

}  // namespace

LRESULT answer_get_object(HWND hwnd, const ui::Control& control, WPARAM wparam, LPARAM lparam) {
  // The object id is in the low 32 bits; on 64-bit Windows the high ones may hold anything.
  if (static_cast<DWORD>(lparam) != static_cast<DWORD>(OBJID_CLIENT)) return 0;
  if (!start_runtime()) return 0;
  ComPtr<IAccessible> standard;
  if (FAILED(runtime.create_std_accessible_object(hwnd, OBJID_CLIENT, __uuidof(IAccessible), standard.put_void()))) return 0;
  auto* object = new AccessiblePicture(hwnd, control, std::move(standard));
  // On failure this is an error code, which is what the reader is to be given.
  LRESULT result = runtime.lresult_from_object(__uuidof(IAccessible), wparam, object);
  object->Release();
  return result;
}

}  // namespace win32
