#include "test_server.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <string_view>

#include "vx/com/server.h"

namespace {

const char moduleAnchor = 0;

class CTestCounter final : public vx::com::Implements<ICounter2, IModuleInfo> {
 public:
  HRESULT Increment() override { return Add(1); }
  HRESULT Get(LONG* value) override {
    if (value == nullptr) return E_POINTER;
    *value = value_;
    return S_OK;
  }
  HRESULT Add(LONG amount) override {
    value_ += amount;
    return S_OK;
  }

  HRESULT GetModulePath(LPOLESTR* path) override {
    if (path == nullptr) return E_POINTER;
    Dl_info info{};
    char resolved[PATH_MAX];
    if (dladdr(&moduleAnchor, &info) == 0 || realpath(info.dli_fname, resolved) == nullptr)
      return E_FAIL;
    *path = vx::com::CoTaskMemStrDupUtf8(resolved);
    return *path != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT GetName(BSTR* name) override {
    if (name == nullptr) return E_POINTER;
    using namespace std::literals;
    *name = vx::com::Bstr(u"Test\0Counter"sv).Detach();  // an embedded NUL on purpose
    return *name != nullptr ? S_OK : E_OUTOFMEMORY;
  }

 private:
  LONG value_ = 0;
};

class CTestRefusing final : public vx::com::Implements<ICounter> {
 public:
  HRESULT FinalConstruct() { return E_ACCESSDENIED; }
  HRESULT Increment() override { return S_OK; }
  HRESULT Get(LONG*) override { return E_NOTIMPL; }
};

const VxComClassEntry kClasses[] = {
    vx::com::ClassEntryFor<CTestCounter>(CLSID_TestCounter, "VxcomTest.Counter.1",
                                         "VxcomTest.Counter", "vxcom test counter"),
    vx::com::RegistrationOnlyEntry(CLSID_TestRegistrationOnly, "VxcomTest.RegistrationOnly",
                                   nullptr, "listed, never served"),
    vx::com::ClassEntryFor<CTestRefusing>(CLSID_TestRefusing, nullptr, nullptr, nullptr),
};

}  // namespace

VX_COM_INPROC_SERVER(kClasses)
