// A report object for the tests: an in-process automation server whose six
// members record what they are given. ReportError answers as the environment
// variable CORVANE_REPORT_ANSWER says ("i4:N", "str:TEXT" or "raise"); the
// member named in CORVANE_REPORT_MISSING is not there.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

namespace {

// {6D1A3C52-9E0B-4F7A-B4C1-2F58A0C3E7D1}
const CLSID kClsid = {0x6d1a3c52, 0x9e0b, 0x4f7a, {0xb4, 0xc1, 0x2f, 0x58, 0xa0, 0xc3, 0xe7, 0xd1}};
const wchar_t* const kMembers[] = {L"ErrDescription", L"AppPath", L"AppTitle", L"UserData", L"SetVariables",
                                   L"ReportError"};
constexpr int kProperties = 4;

std::string record;
LONG objects = 0, locks = 0;

std::string env(const char* name) {
  char value[512] = {};
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

std::string utf8(const wchar_t* text, UINT length) {
  std::string out;
  for (UINT i = 0; i < length; ++i) {
    if (text[i] < 0x80) {
      out += static_cast<char>(text[i]);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(text[i]));
      out += escaped;
    }
  }
  return out;
}

// Built by appending: GCC 12 warns wrongly about `"literal" + std::string`.
std::string tagged(const char* tag, const std::string& value) {
  std::string out(tag);
  out += value;
  return out;
}

std::string render(const VARIANT& v) {
  if (v.vt == (VT_BYREF | VT_VARIANT)) return tagged("&", render(*v.pvarVal));
  if (v.vt == (VT_ARRAY | VT_VARIANT)) {
    LONG low = 0, high = -1;
    if (SafeArrayGetDim(v.parray) != 1 || FAILED(SafeArrayGetLBound(v.parray, 1, &low)) || low != 0 ||
        FAILED(SafeArrayGetUBound(v.parray, 1, &high)))
      return "BADARRAY";
    std::string out = "[";
    for (LONG i = 0; i <= high; ++i) {
      VARIANT element;
      VariantInit(&element);
      SafeArrayGetElement(v.parray, &i, &element);
      out += i ? "," : "";
      out += render(element);
      VariantClear(&element);
    }
    return out + "]";
  }
  switch (v.vt) {
    case VT_I2: return tagged("I2:", std::to_string(v.iVal));
    case VT_I4: return tagged("I4:", std::to_string(v.lVal));
    case VT_BSTR: return tagged("S:", utf8(v.bstrVal, SysStringLen(v.bstrVal)));
    case VT_BOOL: return tagged("B:", std::to_string(v.boolVal));
    case VT_DATE: {
      SYSTEMTIME st{};
      VariantTimeToSystemTime(v.date, &st);
      char text[32];
      std::snprintf(text, sizeof text, "D:%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
                    st.wMinute, st.wSecond);
      return text;
    }
    case VT_DISPATCH: {
      if (!v.pdispVal) return "O:null";
      DISPPARAMS none{};
      VARIANT value;
      VariantInit(&value);
      const HRESULT hr = v.pdispVal->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, nullptr,
                                            nullptr);
      std::string out = SUCCEEDED(hr) ? tagged("O:", render(value)) : "O:?";
      VariantClear(&value);
      return out;
    }
  }
  return tagged("VT:", std::to_string(v.vt));
}

class Report final : public IDispatch {
 public:
  Report() { InterlockedIncrement(&objects); }
  ~Report() { InterlockedDecrement(&objects); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid != IID_IUnknown && iid != IID_IDispatch) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = InterlockedDecrement(&refs_);
    if (left == 0) {
      record += "released\n";
      delete this;
    }
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    const std::string missing = env("CORVANE_REPORT_MISSING");
    for (UINT n = 0; n < count; ++n) {
      ids[n] = DISPID_UNKNOWN;
      for (int i = 0; i < 6; ++i)
        if (_wcsicmp(names[n], kMembers[i]) == 0 && utf8(kMembers[i], lstrlenW(kMembers[i])) != missing)
          ids[n] = i + 1;
      if (ids[n] == DISPID_UNKNOWN) return DISP_E_UNKNOWNNAME;
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT*) override {
    if (id < 1 || id > 6) return DISP_E_MEMBERNOTFOUND;
    const std::string name = utf8(kMembers[id - 1], lstrlenW(kMembers[id - 1]));
    if (id <= kProperties) {
      if (flags != DISPATCH_PROPERTYPUT || params->cArgs != 1 || params->cNamedArgs != 1 ||
          params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
        return DISP_E_MEMBERNOTFOUND;
      record += name + "=" + render(params->rgvarg[0]) + "\n";
      return S_OK;
    }
    if (!(flags & DISPATCH_METHOD) || params->cNamedArgs != 0) return DISP_E_MEMBERNOTFOUND;
    if (name == "SetVariables") {
      if (params->cArgs != 4) return DISP_E_BADPARAMCOUNT;
      record += "SetVariables(";
      for (int i = 3; i >= 0; --i) record += render(params->rgvarg[i]) + (i ? ";" : ")\n");
      return S_OK;
    }
    if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    record += "ReportError()\n";
    const std::string answer = env("CORVANE_REPORT_ANSWER");
    if (answer == "raise") {
      *exception = EXCEPINFO{};
      exception->bstrSource = SysAllocString(L"ReportServer");
      exception->bstrDescription = SysAllocString(L"The report could not be sent");
      exception->scode = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 1004);
      return DISP_E_EXCEPTION;
    }
    if (!result) return S_OK;
    if (answer.rfind("i4:", 0) == 0) {
      result->vt = VT_I4;
      result->lVal = std::stol(answer.substr(3));
    } else if (answer.rfind("str:", 0) == 0) {
      const std::wstring text(answer.begin() + 4, answer.end());
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    return S_OK;
  }

 private:
  LONG refs_ = 1;
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid != IID_IUnknown && iid != IID_IClassFactory) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* report = new Report;
    const HRESULT hr = report->QueryInterface(iid, out);
    report->Release();
    if (SUCCEEDED(hr)) record += "created\n";
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? InterlockedIncrement(&locks) : InterlockedDecrement(&locks);
    return S_OK;
  }
};

Factory factory;

}  // namespace

extern "C" {

__declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (clsid != kClsid) {
    *out = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return factory.QueryInterface(iid, out);
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() { return objects == 0 && locks == 0 ? S_OK : S_FALSE; }

// What the objects were given since the last call, one line per call; clears it.
__declspec(dllexport) const char* ReportServerTakeRecord() {
  static std::string taken;
  taken.swap(record);
  record.clear();
  return taken.c_str();
}

}
