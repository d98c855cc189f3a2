// The registered report object, reached by late binding: every member is
// looked up by name when it is used, so any automation object that offers the
// six members serves, whatever language it was written in.
#include <string>
#include <utility>

#include "guard/report_text.h"
#include "guard/win32/report.h"
#include "platform/win32/com.h"
#include "platform/win32/held_path.h"
#include "runtime/error.h"

namespace win32 {
namespace {

// The object is handed every text as the program holds it, any name exactly.
std::wstring wide(const std::string& text) { return wideText(text); }

std::string narrow(const wchar_t* text) { return text ? narrowText(text) : std::string(); }

struct Variant {
  VARIANT v;
  Variant() { com::VariantInit(&v); }
  ~Variant() { com::VariantClear(&v); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
};

BSTR bstr(const std::string& text) {
  const std::wstring w = wide(text);
  BSTR b = com::SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
  if (!b) rt::raise(rt::errOutOfMemory);
  return b;
}

// What a component sees for a live object in a dump: an object whose default
// property is the object's type name. Nothing is a null object reference.
class ObjectStandIn final : public IDispatch {
 public:
  explicit ObjectStandIn(std::string typeName) : typeName_(std::move(typeName)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) override {
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    if (id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    if (!result) return S_OK;
    // The component calls in through the system's frames, which no
    // exception may cross.
    try {
      const std::wstring name = wide(typeName_);
      const BSTR text = com::SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
      if (!text) return E_OUTOFMEMORY;
      result->vt = VT_BSTR;
      result->bstrVal = text;
      return S_OK;
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

 private:
  ULONG refs_ = 1;
  std::string typeName_;
};

void toVariant(const std::vector<std::string>& texts, VARIANT& out);

// int16 VT_I2, int32 VT_I4, text VT_BSTR, Boolean VT_BOOL, date-time VT_DATE,
// list of texts an array of VT_BSTR variants, object VT_DISPATCH.
void toVariant(const guard::DumpValue& value, VARIANT& out) {
  com::VariantInit(&out);
  if (const auto* v = std::get_if<int16_t>(&value)) {
    out.vt = VT_I2;
    out.iVal = *v;
  } else if (const auto* v = std::get_if<int32_t>(&value)) {
    out.vt = VT_I4;
    out.lVal = *v;
  } else if (const auto* v = std::get_if<std::string>(&value)) {
    out.bstrVal = bstr(*v);
    out.vt = VT_BSTR;
  } else if (const auto* v = std::get_if<bool>(&value)) {
    out.vt = VT_BOOL;
    out.boolVal = *v ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (const auto* v = std::get_if<rt::DateTime>(&value)) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(v->year);
    st.wMonth = static_cast<WORD>(v->month);
    st.wDay = static_cast<WORD>(v->day);
    st.wHour = static_cast<WORD>(v->hour);
    st.wMinute = static_cast<WORD>(v->minute);
    st.wSecond = static_cast<WORD>(v->second);
    if (!com::SystemTimeToVariantTime(&st, &out.date)) rt::raise(rt::errOverflow);
    out.vt = VT_DATE;
  } else if (const auto* v = std::get_if<std::vector<std::string>>(&value)) {
    toVariant(*v, out);
  } else {
    const auto& object = std::get<guard::ObjectRef>(value);
    out.vt = VT_DISPATCH;
    out.pdispVal = object.object ? new ObjectStandIn(guard::objectTypeName(object)) : nullptr;
  }
}

// A zero-based one-dimensional array of variants, built element by element.
template <class List>
void toArray(const List& list, VARIANT& out) {
  com::VariantInit(&out);
  SAFEARRAY* array = com::SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(list.size()));
  if (!array) rt::raise(rt::errOutOfMemory);
  out.vt = VT_ARRAY | VT_VARIANT;
  out.parray = array;  // the caller's clean-up frees it, also when an element fails
  for (LONG i = 0; i < static_cast<LONG>(list.size()); ++i) {
    Variant element;
    toVariant(guard::DumpValue(list[static_cast<std::size_t>(i)]), element.v);
    if (FAILED(com::SafeArrayPutElement(array, &i, &element.v))) rt::raise(rt::errOutOfMemory);
  }
}

void toVariant(const std::vector<std::string>& texts, VARIANT& out) { toArray(texts, out); }

// The classic number and text for a failure that came without its own description.
std::pair<int32_t, std::string> classicError(HRESULT hr) {
  switch (hr) {
    case DISP_E_UNKNOWNNAME:
    case DISP_E_MEMBERNOTFOUND: return {rt::errObjectDoesNotSupport, {}};
    case DISP_E_TYPEMISMATCH: return {rt::errTypeMismatch, {}};
    case DISP_E_OVERFLOW: return {rt::errOverflow, {}};
    case E_OUTOFMEMORY: return {rt::errOutOfMemory, {}};
    case DISP_E_BADPARAMCOUNT: return {450, "Wrong number of arguments or invalid property assignment"};
    case DISP_E_PARAMNOTOPTIONAL: return {449, "Argument not optional"};
    case DISP_E_BADVARTYPE: return {458, "Variable uses an Automation type not supported"};
  }
  // An error a component raised by its classic number comes back in this facility.
  if (HRESULT_FACILITY(hr) == FACILITY_CONTROL) return {HRESULT_CODE(hr), {}};
  std::string text = "Automation error";
  wchar_t* system = nullptr;
  if (FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&system), 0, nullptr) &&
      system) {
    std::string detail = narrowText(system);
    LocalFree(system);
    while (!detail.empty() && (detail.back() == '\n' || detail.back() == '\r')) detail.pop_back();
    if (!detail.empty()) text += "\n" + detail;
  }
  return {static_cast<int32_t>(hr), text};
}

[[noreturn]] void raiseFailure(HRESULT hr, EXCEPINFO& info) {
  if (hr != DISP_E_EXCEPTION) {
    auto [number, text] = classicError(hr);
    rt::raise(number, std::move(text));
  }
  if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
  rt::RuntimeError error;
  if (info.wCode != 0) {
    error.number = info.wCode;
  } else {
    error.number = classicError(info.scode).first;
  }
  error.description = narrow(info.bstrDescription);
  if (error.description.empty()) error.description = rt::standardDescription(error.number);
  error.source = info.bstrSource && *info.bstrSource ? narrow(info.bstrSource) : "CorvaneFileCleanup";
  error.helpFile = narrow(info.bstrHelpFile);
  error.helpContext = static_cast<int32_t>(info.dwHelpContext);
  com::SysFreeString(info.bstrSource);
  com::SysFreeString(info.bstrDescription);
  com::SysFreeString(info.bstrHelpFile);
  throw error;
}

class AutomationReport final : public guard::ReportComponent {
 public:
  explicit AutomationReport(IDispatch* object) : object_(object) {}
  ~AutomationReport() override { object_->Release(); }
  AutomationReport(const AutomationReport&) = delete;
  AutomationReport& operator=(const AutomationReport&) = delete;

  void ErrDescription(const guard::VariableDump& description) override {
    Variant value;
    toArray(description, value.v);
    put(L"ErrDescription", value.v);
  }
  void AppPath(const std::string& path) override { putText(L"AppPath", path); }
  void AppTitle(const std::string& title) override { putText(L"AppTitle", title); }
  void UserData(const std::vector<std::string>& userData) override {
    Variant value;
    toArray(userData, value.v);
    put(L"UserData", value.v);
  }

  void SetVariables(guard::VariableDump& params, guard::VariableDump& locals, guard::VariableDump& moduleVars,
                    guard::VariableDump& globals) override {
    const DISPID id = member(L"SetVariables");
    Variant lists[4];
    toArray(params, lists[0].v);
    toArray(locals, lists[1].v);
    toArray(moduleVars, lists[2].v);
    toArray(globals, lists[3].v);
    // Each by reference, and in the reverse order automation expects.
    VARIANT args[4];
    for (int i = 0; i < 4; ++i) {
      com::VariantInit(&args[3 - i]);
      args[3 - i].vt = VT_BYREF | VT_VARIANT;
      args[3 - i].pvarVal = &lists[i].v;
    }
    DISPPARAMS params4{args, nullptr, 4, 0};
    Variant ignored;
    invoke(id, DISPATCH_METHOD, params4, &ignored.v);
  }

  int32_t ReportError() override {
    const DISPID id = member(L"ReportError");
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    Variant answer, converted;
    invoke(id, DISPATCH_METHOD, none, &answer.v);
    const HRESULT hr = com::VariantChangeType(&converted.v, &answer.v, 0, VT_I4);
    if (FAILED(hr)) rt::raise(hr == DISP_E_OVERFLOW ? rt::errOverflow : rt::errTypeMismatch);
    return converted.v.lVal;
  }

 private:
  DISPID member(const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    const HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
      EXCEPINFO none{};
      raiseFailure(hr, none);
    }
    return id;
  }

  void invoke(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result) {
    EXCEPINFO info{};
    UINT badArgument = 0;
    const HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &info, &badArgument);
    if (FAILED(hr)) raiseFailure(hr, info);
  }

  void put(const wchar_t* name, VARIANT& value) {
    const DISPID id = member(name);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    invoke(id, DISPATCH_PROPERTYPUT, params, nullptr);
  }

  void putText(const wchar_t* name, const std::string& text) {
    Variant value;
    toVariant(guard::DumpValue(text), value.v);
    put(name, value.v);
  }

  IDispatch* object_;
};

// Once, on the program's one thread, for the life of the program.
void initialiseCom() {
  static const HRESULT initialised = com::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(initialised) && initialised != RPC_E_CHANGED_MODE) rt::raise(rt::errCannotCreateObject);
}

}  // namespace

std::unique_ptr<guard::ReportComponent> newAutomationReport(const std::string& progId) {
  initialiseCom();
  CLSID clsid;
  HRESULT hr = com::CLSIDFromProgID(wide(progId).c_str(), &clsid);
  if (hr == CO_E_CLASSSTRING || hr == REGDB_E_CLASSNOTREG) return nullptr;
  if (FAILED(hr)) rt::raise(rt::errCannotCreateObject);
  // One kind of server at a time, so that a registered server that fails is
  // told apart from one that is not there.
  IDispatch* object = nullptr;
  for (const DWORD kind : {CLSCTX_INPROC_SERVER, CLSCTX_LOCAL_SERVER}) {
    hr = com::CoCreateInstance(clsid, nullptr, kind, IID_IDispatch, reinterpret_cast<void**>(&object));
    if (hr != REGDB_E_CLASSNOTREG) break;
  }
  if (hr == REGDB_E_CLASSNOTREG) return nullptr;
  if (FAILED(hr) || !object) rt::raise(rt::errCannotCreateObject);
  return std::make_unique<AutomationReport>(object);
}

guard::ComponentFactory reportComponents(std::string progId, guard::ComponentFactory fallback) {
  return [progId = std::move(progId), fallback = std::move(fallback)]() -> std::unique_ptr<guard::ReportComponent> {
    if (auto registered = newAutomationReport(progId)) return registered;
    return fallback ? fallback() : nullptr;
  };
}

}  // namespace win32
