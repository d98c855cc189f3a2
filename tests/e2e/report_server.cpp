// report_server.dll: a report object for the tests, an in-process automation
// server whose six members write what they are given, a line each, to the
// file named by CORVANE_REPORT_RECORD. ReportError answers with the text in
// CORVANE_REPORT_ANSWER.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

namespace {

// {6D1A3C52-9E0B-4F7A-B4C1-2F58A0C3E7D1}
const CLSID kClsid = {0x6d1a3c52, 0x9e0b, 0x4f7a, {0xb4, 0xc1, 0x2f, 0x58, 0xa0, 0xc3, 0xe7, 0xd1}};
const wchar_t* const kMembers[] = {L"ErrDescription", L"AppPath",      L"AppTitle",
                                   L"UserData",       L"SetVariables", L"ReportError"};

std::wstring env(const wchar_t* name) {
  wchar_t value[512] = {};
  const DWORD n = GetEnvironmentVariableW(name, value, 512);
  return std::wstring(value, n < 512 ? n : 0);
}

// Each value with its type; an array that is not one-dimensional and zero-based is marked BAD.
std::wstring render(const VARIANT& v) {
  std::wstring out;
  SYSTEMTIME t{};
  if (v.vt == (VT_BYREF | VT_VARIANT)) return L"&" + render(*v.pvarVal);
  if (v.vt == (VT_ARRAY | VT_VARIANT)) {
    LONG low = -1, high = -1;
    SafeArrayGetLBound(v.parray, 1, &low);
    SafeArrayGetUBound(v.parray, 1, &high);
    VARIANT* elements = nullptr;
    SafeArrayAccessData(v.parray, reinterpret_cast<void**>(&elements));
    for (LONG i = 0; i <= high - low; ++i) out += (i ? L"," : L"") + render(elements[i]);
    SafeArrayUnaccessData(v.parray);
    return (low == 0 && SafeArrayGetDim(v.parray) == 1 ? L"[" : L"BAD[") + out + L"]";
  }
  switch (v.vt) {
    case VT_I2: return L"I2:" + std::to_wstring(v.iVal);
    case VT_I4: return L"I4:" + std::to_wstring(v.lVal);
    case VT_BSTR: return L"S:" + std::wstring(v.bstrVal, SysStringLen(v.bstrVal));
    case VT_DATE:
      VariantTimeToSystemTime(v.date, &t);
      return L"D:" + std::to_wstring(t.wYear) + L"-" + std::to_wstring(t.wMonth) + L"-" + std::to_wstring(t.wDay);
  }
  return L"VT:" + std::to_wstring(v.vt);
}

class Report final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IDispatch ? this : nullptr;
    return *out ? AddRef(), S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    if (--refs_) return refs_;
    record(L"released");
    delete this;
    return 0;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* id) override {
    *id = DISPID_UNKNOWN;
    for (int i = 0; i < 6; ++i)
      if (_wcsicmp(*names, kMembers[i]) == 0) *id = i + 1;
    return *id == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
  }
  // A property is put with its one argument named; a method gets its arguments in reverse order.
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    const bool property = id <= 4;
    if (id < 1 || id > 6 || property != (flags == DISPATCH_PROPERTYPUT) || params->cNamedArgs != (property ? 1u : 0u) ||
        params->cArgs != (property ? 1u : id == 5 ? 4u : 0u))
      return DISP_E_BADPARAMCOUNT;
    std::wstring line = kMembers[id - 1];
    for (UINT i = params->cArgs; i-- > 0;) line += (property ? L"=" : L";") + render(params->rgvarg[i]);
    record(line);
    if (id == 6 && result) {
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocString(env(L"CORVANE_REPORT_ANSWER").c_str());
    }
    return S_OK;
  }

 private:
  static void record(const std::wstring& line) {
    std::string utf8(line.size() * 4, '\0');
    utf8.resize(size_t(WideCharToMultiByte(CP_UTF8, 0, line.data(), int(line.size()), utf8.data(), int(utf8.size()),
                                           nullptr, nullptr)));
    if (FILE* file = _wfopen(env(L"CORVANE_REPORT_RECORD").c_str(), L"ab"))
      std::fprintf(file, "%s\n", utf8.c_str()), std::fclose(file);
  }
  ULONG refs_ = 1;
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IClassFactory ? this : nullptr;
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

// Planted beside the program under another library's name, it leaves a mark when loaded.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH && !env(L"CORVANE_PLANTED_MARK").empty())
    CloseHandle(CreateFileW(env(L"CORVANE_PLANTED_MARK").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  *out = nullptr;
  return clsid == kClsid ? factory.QueryInterface(iid, out) : CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }
