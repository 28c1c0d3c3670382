#include "desktop_start.h"

#include <windows.h>

#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "win32_log.h"

namespace ringdeck::win32 {
namespace {

// Releases a COM interface at the end of the scope.
template <class T>
class Com {
 public:
  Com() = default;
  ~Com() {
    if (p_) p_->Release();
  }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  T* operator->() const { return p_; }
  T** out() { return &p_; }
  void** outVoid() { return reinterpret_cast<void**>(&p_); }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

class Bstr {
 public:
  explicit Bstr(const std::string& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0) return;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
    b_ = SysAllocString(wide.c_str());
  }
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return b_; }

 private:
  BSTR b_ = nullptr;
};

VARIANT stringVariant(BSTR text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = text;  // owned by its Bstr
  return v;
}

// The desktop folder view's automation object, reached from the shell's window list.
bool desktopShellDispatch(Com<IShellDispatch2>& shell) {
  Com<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                              windows.outVoid()))) {
    return false;
  }
  VARIANT location;
  VariantInit(&location);
  location.vt = VT_I4;
  location.lVal = CSIDL_DESKTOP;
  VARIANT empty;
  VariantInit(&empty);
  long desktopWindow = 0;
  Com<IDispatch> desktop;
  if (windows->FindWindowSW(&location, &empty, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                            desktop.out()) != S_OK ||
      !desktop) {
    return false;
  }
  Com<IServiceProvider> services;
  Com<IShellBrowser> browser;
  Com<IShellView> view;
  Com<IDispatch> background;
  Com<IShellFolderViewDual> folderView;
  Com<IDispatch> application;
  return SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, services.outVoid())) &&
         SUCCEEDED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.outVoid())) &&
         SUCCEEDED(browser->QueryActiveShellView(view.out())) &&
         SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.outVoid())) &&
         SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, folderView.outVoid())) &&
         SUCCEEDED(folderView->get_Application(application.out())) &&
         SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell.outVoid()));
}

}  // namespace

bool startThroughDesktopShell(const std::string& program, const std::string& parameters) {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool started = false;
  {
    Com<IShellDispatch2> shell;
    if (desktopShellDispatch(shell)) {
      const std::string folder = program.substr(0, program.find_last_of('\\') + 1);
      Bstr file(program), arguments(parameters), directory(folder), verb("open");
      VARIANT show;
      VariantInit(&show);
      show.vt = VT_I4;
      show.lVal = SW_SHOWNORMAL;
      started = file.get() &&
                SUCCEEDED(shell->ShellExecute(file.get(), stringVariant(arguments.get()),
                                              stringVariant(directory.get()), stringVariant(verb.get()), show));
    }
  }
  if (!started) logLastError("startThroughDesktopShell");
  if (SUCCEEDED(init)) CoUninitialize();
  return started;
}

}  // namespace ringdeck::win32
