// The class table: registration, CoCreateInstance through a registered
// entry and through the fresh-build lookup, ProgIDs, unloading.
#include <dlfcn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "test_server.h"
#include "vxcom.h"

namespace fs = std::filesystem;
using namespace std::literals;

namespace {

constexpr CLSID kUnknownClass = vx::com::MakeGuid("{0B2F6C1D-7E3A-4F59-8C4D-2A1B0E9F8D7C}");

std::string resolved(const std::string& path) {
  char buffer[PATH_MAX];
  return realpath(path.c_str(), buffer) != nullptr ? buffer : path;
}

// A private XDG_DATA_HOME and XDG_DATA_DIRS for each test.
class ClassTable : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = fs::temp_directory_path().string() + "/vxcom-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
    setenv("XDG_DATA_DIRS", (root_ + "/system").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_DATA_DIRS");
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  std::string entryPath(REFCLSID clsid, const std::string& dataDir = "/data") const {
    return root_ + dataDir + "/vxcom/classes/" + vx::com::GuidToString(clsid);
  }
  void writeEntry(REFCLSID clsid, const std::string& library, const std::string& dataDir) {
    fs::create_directories(fs::path(entryPath(clsid, dataDir)).parent_path());
    std::ofstream(entryPath(clsid, dataDir)) << "CLSID=" << vx::com::GuidToString(clsid)
                                             << "\nLibrary=" << library << "\n";
  }
  // The test server copied to a place of its own, under another name.
  std::string copyOfServer() {
    std::string copy = root_ + "/elsewhere/libcopy.so";
    fs::create_directories(root_ + "/elsewhere");
    fs::copy_file(VXCOM_TEST_SERVER, copy);
    return resolved(copy);
  }

  std::string root_;
};

HRESULT callExport(void* library, const char* name) {
  auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(library, name));
  return fn != nullptr ? fn() : E_UNEXPECTED;
}

// Creates the test counter and returns the path of the library serving it.
std::string createCounter() {
  vx::com::ComPtr<ICounter2> counter;
  HRESULT hr = vx::com::CreateInstance(CLSID_TestCounter, &counter);
  EXPECT_EQ(hr, S_OK);
  if (FAILED(hr)) return {};
  vx::com::ComPtr<IModuleInfo> info;
  EXPECT_EQ(counter.As(&info), S_OK);
  LPOLESTR path = nullptr;
  EXPECT_EQ(info->GetModulePath(&path), S_OK);
  std::string result = vx::com::Utf16ToUtf8(path);
  CoTaskMemFree(path);
  return result;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(ClassTable, UnknownClassIsNotRegistered) {
  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(CoCreateInstance(kUnknownClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(CoGetClassObject(kUnknownClass, CLSCTX_ALL, nullptr, IID_IClassFactory, &out),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(kUnknownClass, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr), E_POINTER);
  // Only in-process servers exist.
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &out),
            REGDB_E_CLASSNOTREG);
  LPOLESTR progId = nullptr;
  EXPECT_EQ(ProgIDFromCLSID(kUnknownClass, &progId), REGDB_E_CLASSNOTREG);
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"No.Such.Class", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromString(u"No.Such.Class", &clsid), CO_E_CLASSSTRING);
}

TEST_F(ClassTable, FreshBuildFindsTheLibraryBesideLibvxcom) {
  EXPECT_EQ(createCounter(), resolved(VXCOM_TEST_SERVER));

  vx::com::ComPtr<ICounter> counter;
  ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL,
                             IID_PPV_ARGS(counter.GetAddressOf())),
            S_OK);
  counter->Increment();
  vx::com::ComPtr<ICounter2> counter2;
  ASSERT_EQ(counter.As(&counter2), S_OK);
  counter2->Add(41);
  LONG value = 0;
  EXPECT_EQ(counter->Get(&value), S_OK);
  EXPECT_EQ(value, 42);
  // A BSTR made in the other library, freed here.
  vx::com::ComPtr<IModuleInfo> info;
  ASSERT_EQ(counter.As(&info), S_OK);
  vx::com::Bstr name;
  EXPECT_EQ(info->GetName(name.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(name.view(), u"Test\0Counter"sv);

  void* out = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_TestRegistrationOnly, nullptr, CLSCTX_ALL, IID_IUnknown, &out),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(CoCreateInstance(CLSID_TestRefusing, nullptr, CLSCTX_ALL, IID_IUnknown, &out),
            E_ACCESSDENIED);
  EXPECT_EQ(out, nullptr);
}

TEST_F(ClassTable, ProgIdsBothWays) {
  for (const char16_t* progId :
       {kTestCounterProgId, kTestCounterIndependentProgId, u"vxcomtest.COUNTER"}) {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_TestCounter);
  }
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromString(u"VxcomTest.RegistrationOnly", &clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_TestRegistrationOnly);
  LPOLESTR progId = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(CLSID_TestCounter, &progId), S_OK);
  EXPECT_EQ(std::u16string_view(progId), kTestCounterProgId);
  CoTaskMemFree(progId);
  EXPECT_EQ(ProgIDFromCLSID(CLSID_TestRefusing, &progId), REGDB_E_CLASSNOTREG);  // has none
}

TEST_F(ClassTable, RegistrationWritesAndRemovesItsEntries) {
  void* library = dlopen(VXCOM_TEST_SERVER, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  ASSERT_EQ(callExport(library, "DllRegisterServer"), S_OK);
  std::string text = slurp(entryPath(CLSID_TestCounter));
  EXPECT_NE(text.find("CLSID={4B9A80F8-D2D3-4D40-BF41-FCF63C71482C}\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Library=" + resolved(VXCOM_TEST_SERVER) + "\n"), std::string::npos) << text;
  EXPECT_NE(text.find("ProgID=VxcomTest.Counter.1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("VersionIndependentProgID=VxcomTest.Counter\n"), std::string::npos) << text;
  EXPECT_NE(text.find("ThreadingModel=Apartment\n"), std::string::npos) << text;
  EXPECT_TRUE(fs::exists(entryPath(CLSID_TestRegistrationOnly)));
  EXPECT_TRUE(fs::exists(entryPath(CLSID_TestRefusing)));
  // Registering again replaces the entries.
  EXPECT_EQ(callExport(library, "DllRegisterServer"), S_OK);
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(entryPath(CLSID_TestCounter)).parent_path()),
                          fs::directory_iterator()),
            3);

  ASSERT_EQ(callExport(library, "DllUnregisterServer"), S_OK);
  EXPECT_FALSE(fs::exists(entryPath(CLSID_TestCounter)));
  EXPECT_FALSE(fs::exists(entryPath(CLSID_TestRegistrationOnly)));
  EXPECT_FALSE(fs::exists(entryPath(CLSID_TestRefusing)));
  EXPECT_EQ(callExport(library, "DllUnregisterServer"), S_OK);  // nothing left to remove
  dlclose(library);
}

TEST_F(ClassTable, RegisteredEntryWinsOverTheFreshBuild) {
  std::string copy = copyOfServer();
  void* library = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  ASSERT_EQ(callExport(library, "DllRegisterServer"), S_OK);
  EXPECT_EQ(createCounter(), copy);
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(kTestCounterIndependentProgId, &clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_TestCounter);

  ASSERT_EQ(callExport(library, "DllUnregisterServer"), S_OK);
  EXPECT_EQ(createCounter(), resolved(VXCOM_TEST_SERVER));
  dlclose(library);
}

TEST_F(ClassTable, SystemDataDirectoriesAreSearchedAfterTheUsers) {
  std::string copy = copyOfServer();
  writeEntry(CLSID_TestCounter, copy, "/system");
  EXPECT_EQ(createCounter(), copy);
  writeEntry(CLSID_TestCounter, resolved(VXCOM_TEST_SERVER), "/data");
  EXPECT_EQ(createCounter(), resolved(VXCOM_TEST_SERVER));
}

TEST_F(ClassTable, StaleOrMalformedEntriesArePassedOver) {
  writeEntry(CLSID_TestCounter, root_ + "/gone/libvxgone.so", "/data");
  EXPECT_EQ(createCounter(), resolved(VXCOM_TEST_SERVER));
  // With nothing else to serve it, the load failure is the answer.
  writeEntry(kUnknownClass, root_ + "/gone/libvxgone.so", "/data");
  void* out = nullptr;
  EXPECT_EQ(CoCreateInstance(kUnknownClass, nullptr, CLSCTX_ALL, IID_IUnknown, &out),
            VX_E_MODULE_NOT_FOUND);
  // A library that loads but serves no classes at all.
  writeEntry(kUnknownClass, fs::path(VXCOM_TEST_SERVER).parent_path() / "libvxcom.so", "/data");
  EXPECT_EQ(CoCreateInstance(kUnknownClass, nullptr, CLSCTX_ALL, IID_IUnknown, &out),
            CO_E_ERRORINDLL);
  // An entry whose CLSID line disagrees with its file name is not read.
  std::string copy = copyOfServer();
  writeEntry(CLSID_TestRefusing, copy, "/system");
  fs::rename(entryPath(CLSID_TestRefusing, "/system"), entryPath(CLSID_TestCounter, "/system"));
  EXPECT_EQ(createCounter(), resolved(VXCOM_TEST_SERVER));
  // Nor is a file too large to be an entry.
  std::ofstream(entryPath(CLSID_TestCounter, "/system"))
      << "CLSID=" << vx::com::GuidToString(CLSID_TestCounter) << "\nLibrary=" << copy
      << "\nDescription=" << std::string(20000, 'x') << "\n";
  EXPECT_EQ(createCounter(), resolved(VXCOM_TEST_SERVER));
}

TEST_F(ClassTable, IdleLibrariesAreUnloaded) {
  auto isLoaded = [] {
    void* handle = dlopen(VXCOM_TEST_SERVER, RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr) dlclose(handle);
    return handle != nullptr;
  };
  auto canUnloadNow = [] {
    void* handle = dlopen(VXCOM_TEST_SERVER, RTLD_NOW | RTLD_NOLOAD);
    HRESULT hr = handle != nullptr ? callExport(handle, "DllCanUnloadNow") : E_UNEXPECTED;
    if (handle != nullptr) dlclose(handle);
    return hr;
  };
  vx::com::ComPtr<ICounter> counter;
  ASSERT_EQ(vx::com::CreateInstance(CLSID_TestCounter, &counter), S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  CoFreeUnusedLibraries();
  EXPECT_TRUE(isLoaded());

  vx::com::ComPtr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(CLSID_TestCounter, CLSCTX_INPROC_SERVER, nullptr,
                             IID_PPV_ARGS(factory.GetAddressOf())),
            S_OK);
  counter.Reset();
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory.Reset();
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  ASSERT_EQ(CoGetClassObject(CLSID_TestCounter, CLSCTX_INPROC_SERVER, nullptr,
                             IID_PPV_ARGS(factory.GetAddressOf())),
            S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory.Reset();
  EXPECT_EQ(canUnloadNow(), S_OK);
  CoFreeUnusedLibraries();
  EXPECT_FALSE(isLoaded());
  // It comes back when needed.
  EXPECT_EQ(createCounter(), resolved(VXCOM_TEST_SERVER));
}

TEST_F(ClassTable, RegistrationTool) {
  auto run = [](const std::string& arguments) {
    int status = std::system((std::string(VXREGSVR) + " " + arguments + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(run(VXCOM_TEST_SERVER), 0);
  EXPECT_TRUE(fs::exists(entryPath(CLSID_TestCounter)));
  EXPECT_EQ(run("-u "s + VXCOM_TEST_SERVER), 0);
  EXPECT_FALSE(fs::exists(entryPath(CLSID_TestCounter)));
  EXPECT_EQ(run(root_ + "/gone/libvxgone.so"), 1);
  EXPECT_EQ(run(""), 2);
}

TEST(CoInitialize, CountsPerThread) {
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  CoUninitialize();
  CoUninitialize();
  CoUninitialize();  // one too many is harmless
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

}  // namespace
