#include "template_layout.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "win32_log.h"

namespace ringdeck::panel::win32 {
namespace {

// A cursor over the template's bytes that never reads past the end.
class TemplateReader {
 public:
  TemplateReader(const BYTE* data, std::size_t size) : data_(data), size_(size) {}
  bool ok() const { return ok_; }

  template <typename T>
  T read() {
    T value{};
    if (pos_ + sizeof(T) > size_) {
      ok_ = false;
      return value;
    }
    std::memcpy(&value, data_ + pos_, sizeof(T));
    pos_ += sizeof(T);
    return value;
  }
  std::wstring readString() {
    std::wstring text;
    for (;;) {
      const auto c = read<WCHAR>();
      if (!ok_ || c == 0) return text;
      text.push_back(c);
    }
  }
  // A string or an ordinal (0xFFFF then a WORD); an ordinal comes back as "#n".
  std::wstring readStringOrOrdinal(WORD* ordinal = nullptr) {
    const auto first = peek<WORD>();
    if (!ok_) return {};
    if (first == 0xFFFF) {
      read<WORD>();
      const WORD value = read<WORD>();
      if (ordinal) *ordinal = value;
      return L"#" + std::to_wstring(value);
    }
    return readString();
  }
  void alignDword() { pos_ = (pos_ + 3) & ~static_cast<std::size_t>(3); }
  void skip(std::size_t n) {
    if (pos_ + n > size_) ok_ = false;
    else pos_ += n;
  }

 private:
  template <typename T>
  T peek() {
    const std::size_t at = pos_;
    const T value = read<T>();
    pos_ = at;
    return value;
  }
  const BYTE* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

std::string narrow(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

const char* predefinedClass(WORD ordinal) {
  switch (ordinal) {
    case 0x80: return "Button";
    case 0x81: return "Edit";
    case 0x82: return "Static";
    case 0x83: return "ListBox";
    case 0x84: return "ScrollBar";
    case 0x85: return "ComboBox";
    default: return nullptr;
  }
}

struct Header {
  DWORD style = 0, exStyle = 0;
  WORD count = 0;
  short cx = 0, cy = 0;
  std::wstring caption, face;
  WORD points = 8;
};

bool readHeader(TemplateReader& r, Header& h) {
  const WORD version = r.read<WORD>();
  const WORD signature = r.read<WORD>();
  if (!r.ok() || version != 1 || signature != 0xFFFF) return false;  // DIALOGEX only
  r.read<DWORD>();  // help id
  h.exStyle = r.read<DWORD>();
  h.style = r.read<DWORD>();
  h.count = r.read<WORD>();
  r.read<short>();
  r.read<short>();
  h.cx = r.read<short>();
  h.cy = r.read<short>();
  r.readStringOrOrdinal();  // menu: the program sets its own
  r.readStringOrOrdinal();  // class
  h.caption = r.readString();
  if (h.style & (DS_SETFONT | DS_SHELLFONT)) {
    h.points = r.read<WORD>();
    r.read<WORD>();  // weight
    r.read<BYTE>();  // italic
    r.read<BYTE>();  // charset
    h.face = r.readString();
  }
  return r.ok();
}

bool loadTemplate(HINSTANCE instance, int id, const BYTE*& data, std::size_t& size) {
  HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_DIALOG));
  if (!found) return false;
  HGLOBAL loaded = LoadResource(instance, found);
  data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  size = SizeofResource(instance, found);
  return data != nullptr;
}

}  // namespace

HFONT CreateLayoutFont(const TemplateLayout& layout, int dpi, bool bold) {
  LOGFONTA lf{};
  lf.lfHeight = -MulDiv(layout.fontPoints, dpi, 72);
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(lf.lfFaceName, layout.fontFace.c_str(), LF_FACESIZE);
  return CreateFontIndirectA(&lf);
}

bool RegisterFormClass(HINSTANCE instance, const char* name, WNDPROC proc, HICON icon) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = name;
  if (RegisterClassA(&wc)) return true;
  ringdeck::win32::logLastError("RegisterClassA");
  return false;
}

POINT CentredOnDesktop(int width, int height) {
  RECT desktop{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &desktop, 0);
  return POINT{desktop.left + std::max(0L, (desktop.right - desktop.left - width) / 2),
               desktop.top + std::max(0L, (desktop.bottom - desktop.top - height) / 2)};
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

bool ReadTemplateLayout(HINSTANCE instance, int templateId, int dpi, TemplateLayout& layout) {
  const BYTE* data = nullptr;
  std::size_t size = 0;
  if (!loadTemplate(instance, templateId, data, size)) return false;
  TemplateReader r(data, size);
  Header h;
  if (!readHeader(r, h)) return false;
  layout.caption = narrow(h.caption);
  layout.clientWidth = Scale(h.cx, dpi);
  layout.clientHeight = Scale(h.cy, dpi);
  layout.style = h.style & ~static_cast<DWORD>(DS_SETFONT | DS_SHELLFONT | DS_MODALFRAME);
  layout.exStyle = h.exStyle;
  layout.fontFace = narrow(h.face);
  layout.fontPoints = h.points;
  return true;
}

bool CreateTemplateControls(HINSTANCE instance, int templateId, HWND parent, int dpi, HFONT font,
                            std::vector<TemplateFrame>* frames) {
  const BYTE* data = nullptr;
  std::size_t size = 0;
  if (!loadTemplate(instance, templateId, data, size)) return false;
  TemplateReader r(data, size);
  Header h;
  if (!readHeader(r, h)) return false;
  for (WORD i = 0; i < h.count; ++i) {
    r.alignDword();
    r.read<DWORD>();  // help id
    const DWORD exStyle = r.read<DWORD>();
    const DWORD style = r.read<DWORD>();
    const short x = r.read<short>(), y = r.read<short>(), cx = r.read<short>(), cy = r.read<short>();
    const DWORD id = r.read<DWORD>();
    WORD classOrdinal = 0;
    const std::wstring cls = r.readStringOrOrdinal(&classOrdinal);
    const std::wstring text = r.readStringOrOrdinal();
    const WORD extra = r.read<WORD>();
    r.skip(extra);
    if (!r.ok()) return false;

    const char* predefined = classOrdinal ? predefinedClass(classOrdinal) : nullptr;
    const std::string className = predefined ? predefined : narrow(cls);
    if (frames && lstrcmpiA(className.c_str(), "Static") == 0 && (style & SS_TYPEMASK) == SS_ETCHEDFRAME) {
      frames->push_back({static_cast<int>(id), RECT{Scale(x, dpi), Scale(y, dpi), Scale(x + cx, dpi), Scale(y + cy, dpi)}});
      continue;
    }
    HWND control = CreateWindowExA(exStyle, className.c_str(), narrow(text).c_str(), style,
                                   Scale(x, dpi), Scale(y, dpi), Scale(cx, dpi), Scale(cy, dpi),
                                   parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                   instance, nullptr);
    if (!control) {
      ringdeck::win32::logLastError("CreateWindowExA");
      return false;
    }
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  return r.ok();
}

}  // namespace ringdeck::panel::win32
