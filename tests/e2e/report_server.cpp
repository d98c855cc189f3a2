// report_server.dll: a report object for the tests, an in-process automation
// server whose six members write what they are given, a line each, to the
// file named by CORVANE_REPORT_RECORD. ReportError answers with the text in
// CORVANE_REPORT_ANSWER; the member named in CORVANE_REPORT_MISSING is not there.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

namespace {

// {6D1A3C52-9E0B-4F7A-B4C1-2F58A0C3E7D1}
const CLSID kClsid = {0x6d1a3c52, 0x9e0b, 0x4f7a, {0xb4, 0xc1, 0x2f, 0x58, 0xa0, 0xc3, 0xe7, 0xd1}};
const wchar_t* const kMembers[] = {L"ErrDescription", L"AppPath",      L"AppTitle",
                                   L"UserData",       L"SetVariables", L"ReportError"};
LONG objects = 0;

std::wstring env(const wchar_t* name) {
  wchar_t value[512] = {};
  const DWORD n = GetEnvironmentVariableW(name, value, 512);
  return std::wstring(value, n < 512 ? n : 0);
}

void record(const std::string& line) {
  if (FILE* file = _wfopen(env(L"CORVANE_REPORT_RECORD").c_str(), L"ab")) std::fprintf(file, "%s\n", line.c_str()), std::fclose(file);
}

std::string ascii(const wchar_t* text, UINT length) {
  std::string out;
  for (UINT i = 0; i < length; ++i) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(text[i]));
    out += text[i] < 0x80 ? std::string(1, static_cast<char>(text[i])) : std::string(escaped);
  }
  return out;
}

std::string render(const VARIANT& v) {
  if (v.vt == (VT_BYREF | VT_VARIANT)) return std::string("&") + render(*v.pvarVal);
  if (v.vt == (VT_ARRAY | VT_VARIANT)) {
    LONG low = -1, high = -1;
    SafeArrayGetLBound(v.parray, 1, &low);
    SafeArrayGetUBound(v.parray, 1, &high);
    std::string out = low == 0 && SafeArrayGetDim(v.parray) == 1 ? "[" : "BADARRAY[";
    for (LONG i = low; i <= high; ++i) {
      VARIANT element;
      VariantInit(&element);
      SafeArrayGetElement(v.parray, &i, &element);
      out += (i > low ? "," : "");
      out += render(element);
      VariantClear(&element);
    }
    return out + "]";
  }
  SYSTEMTIME t{};
  char date[32];
  switch (v.vt) {
    case VT_I2: return std::string("I2:") + std::to_string(v.iVal);
    case VT_I4: return std::string("I4:") + std::to_string(v.lVal);
    case VT_BSTR: return std::string("S:") + ascii(v.bstrVal, SysStringLen(v.bstrVal));
    case VT_DATE:
      VariantTimeToSystemTime(v.date, &t);
      std::snprintf(date, sizeof date, "D:%04u-%02u-%02u", t.wYear, t.wMonth, t.wDay);
      return date;
  }
  return std::string("VT:") + std::to_string(v.vt);
}

class Report final : public IDispatch {
 public:
  Report() { InterlockedIncrement(&objects); }
  ~Report() { InterlockedDecrement(&objects); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IDispatch ? static_cast<IDispatch*>(this) : nullptr;
    return *out ? AddRef(), S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = InterlockedDecrement(&refs_);
    if (!left) record("released"), delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    for (UINT n = 0; n < count; ++n) {
      ids[n] = DISPID_UNKNOWN;
      for (int i = 0; i < 6; ++i)
        if (_wcsicmp(names[n], kMembers[i]) == 0 && env(L"CORVANE_REPORT_MISSING") != kMembers[i]) ids[n] = i + 1;
      if (ids[n] == DISPID_UNKNOWN) return DISP_E_UNKNOWNNAME;
    }
    return S_OK;
  }
  // Properties are put with one named argument; the two methods are called with theirs in reverse order.
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    if (id < 1 || id > 6) return DISP_E_MEMBERNOTFOUND;
    const std::wstring member = kMembers[id - 1];
    std::string line = ascii(member.data(), static_cast<UINT>(member.size()));
    const bool property = id <= 4;
    if (property != (flags == DISPATCH_PROPERTYPUT) || params->cNamedArgs != (property ? 1u : 0u) ||
        params->cArgs != (property ? 1u : id == 5 ? 4u : 0u))
      return DISP_E_BADPARAMCOUNT;
    for (int i = static_cast<int>(params->cArgs) - 1; i >= 0; --i) line.append(property ? "=" : ";").append(render(params->rgvarg[i]));
    record(line);
    if (id == 6 && result) {
      const std::wstring answer = env(L"CORVANE_REPORT_ANSWER");
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocStringLen(answer.data(), static_cast<UINT>(answer.size()));
    }
    return S_OK;
  }

 private:
  LONG refs_ = 1;
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IClassFactory ? static_cast<IClassFactory*>(this) : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* report = new Report;
    const HRESULT hr = report->QueryInterface(iid, out);
    report->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
} factory;

}  // namespace

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  *out = nullptr;
  return clsid == kClsid ? factory.QueryInterface(iid, out) : CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() { return objects ? S_FALSE : S_OK; }
