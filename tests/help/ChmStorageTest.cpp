// Reads Parcelo.chm through the system's own compiled-help storage (the ITStorage component
// behind the help viewer and ms-its: addresses): every page, the contents and the index open
// and read back exactly as written in help/.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// The part of the storage factory's interface this test uses; its later methods are not called.
// Outside the anonymous namespace: the compiler would otherwise see that nothing in this
// program implements it and treat every call through it as unreachable.
struct IITStorage : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE StgCreateDocfile(const WCHAR*, DWORD, DWORD, IStorage**) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgCreateDocfileOnILockBytes(ILockBytes*, DWORD, DWORD,
                                                                 IStorage**) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgIsStorageFile(const WCHAR*) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgIsStorageILockBytes(ILockBytes*) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgOpenStorage(const WCHAR*, IStorage*, DWORD, SNB, DWORD,
                                                   IStorage**) = 0;
};

namespace {

constexpr CLSID kClsidITStorage = {
    0x5d02926a, 0x212e, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};
constexpr IID kIidITStorage = {
    0x88cc31de, 0x27ab, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};

// Owns one reference to a COM interface.
template <class T>
class Com {
 public:
  Com() = default;
  ~Com() { Reset(); }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** Out() {
    Reset();
    return &p_;
  }
  // Takes over a reference handed out as void*, as CoCreateInstance does.
  void Attach(void* raw) {
    Reset();
    p_ = static_cast<T*>(raw);
  }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

struct ComApartment {
  ComApartment() { ok = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
  ~ComApartment() {
    if (ok) CoUninitialize();
  }
  bool ok = false;
};

// ctest hands over host paths; under Wine the host's root is drive Z:.
std::string WindowsPath(const char* variable) {
  const char* v = std::getenv(variable);
  std::string p = v ? v : "";
  if (!p.empty() && p[0] == '/') p = "Z:" + p;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

std::wstring Wide(const std::string& s) {
  int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, w.data(), n);
  return w;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The [FILES] section of the help project, plus its contents and index files.
std::vector<std::string> HelpFiles(const std::string& helpDir) {
  std::istringstream project(ReadFile(helpDir + "\\Parcelo.hhp"));
  std::vector<std::string> files{"Contents.hhc", "Index.hhk"};
  bool inFiles = false;
  for (std::string line; std::getline(project, line);) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty() && line[0] == '[')
      inFiles = line == "[FILES]";
    else if (inFiles && !line.empty())
      files.push_back(line);
  }
  return files;
}

class ChmStorage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.ok);
    void* raw = nullptr;
    ASSERT_HRESULT_SUCCEEDED(
        CoCreateInstance(kClsidITStorage, nullptr, CLSCTX_INPROC_SERVER, kIidITStorage, &raw));
    factory_.Attach(raw);
    chm_ = WindowsPath("PARCELO_BIN") + "\\Parcelo.chm";
    helpDir_ = WindowsPath("PARCELO_SOURCE") + "\\help";
  }

  HRESULT Open(const std::string& path, Com<IStorage>& storage) {
    return factory_->StgOpenStorage(Wide(path).c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE,
                                    nullptr, 0, storage.Out());
  }

  static HRESULT Read(IStorage* storage, const std::string& name, std::string& data) {
    Com<IStream> stream;
    HRESULT hr = storage->OpenStream(Wide(name).c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE,
                                     0, stream.Out());
    if (FAILED(hr)) return hr;
    data.clear();
    char buffer[8192];
    for (;;) {
      ULONG got = 0;
      hr = stream->Read(buffer, sizeof buffer, &got);
      if (FAILED(hr)) return hr;
      data.append(buffer, got);
      if (got == 0) return S_OK;
    }
  }

  ComApartment com_;
  Com<IITStorage> factory_;
  std::string chm_, helpDir_;
};

TEST_F(ChmStorage, EveryPageReadsBackAsWritten) {
  Com<IStorage> storage;
  ASSERT_HRESULT_SUCCEEDED(Open(chm_, storage)) << chm_;
  std::vector<std::string> files = HelpFiles(helpDir_);
  ASSERT_GE(files.size(), 10u);  // eight topics, the style sheet, contents and index
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    std::string data;
    ASSERT_HRESULT_SUCCEEDED(Read(storage.get(), name, data));
    std::string want = ReadFile(helpDir_ + "\\" + name);
    ASSERT_FALSE(want.empty());
    EXPECT_TRUE(data == want) << data.size() << " bytes read, " << want.size() << " written";
  }
}

TEST_F(ChmStorage, AbsentPageAndForeignFileAreRefused) {
  Com<IStorage> storage;
  ASSERT_HRESULT_SUCCEEDED(Open(chm_, storage));
  std::string data;
  EXPECT_EQ(Read(storage.get(), "no-such-page.htm", data), STG_E_FILENOTFOUND);
  // A file that is not compiled help does not open as one.
  Com<IStorage> other;
  EXPECT_TRUE(FAILED(Open(helpDir_ + "\\Parcelo.hhp", other)));
}

}  // namespace
