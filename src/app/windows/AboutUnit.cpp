#include "app/windows/AboutUnit.h"

#include <shellapi.h>

#include "app/ControlIds.h"
#include "app/ProductInfo.h"
#include "app/win32/Controls.h"
#include "app/win32/MessagePump.h"

namespace vexel {

namespace {

const char kClassName[] = "VexelAboutForm";
constexpr int kClientWidth96 = 187;
constexpr int kClientHeight96 = 159;
constexpr int kImageSize96 = 32;
constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kLinkBlue = RGB(0, 0, 255);

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
constexpr DWORD kLabel = kChild | SS_LEFTNOWORDWRAP | SS_NOPREFIX;
constexpr DWORD kLink = kLabel | SS_NOTIFY;

const std::string kFullNameText = std::string("(") + product::kFullName + ")";

// The texts beside the images are centred on one line, x = 113 at 96 DPI,
// whatever their width in the system's Tahoma; version and number go left
// to right from where they were planned.
const ControlLayout kControls[] = {
    {"Image1", "STATIC", "", kChild | SS_ICON, 8, 8, 32, 32},
    {"Label1", "STATIC", product::kName, kLabel, 94, 8, 39, 13, Fit::kCentred},
    {"Label2", "STATIC", kFullNameText.c_str(), kLabel, 54, 27, 119, 13, Fit::kCentred},
    {"Image2", "STATIC", "", kChild | SS_BITMAP, 8, 46, 32, 32},
    {"Label3", "STATIC", "version", kLabel, 78, 46, 0, 13, Fit::kLabel},
    {"versionLabel", "STATIC", "0.0.0", kLabel, 123, 46, 0, 13, Fit::kLabel},
    {"Label5", "STATIC", product::kNotice, kLabel, 64, 65, 99, 13, Fit::kCentred},
    {"Image3", "STATIC", "", kChild | SS_ICON, 8, 84, 32, 32},
    {"Label4", "STATIC", product::kMailText, kLink, 62, 84, 103, 13, Fit::kCentred},
    {"Label6", "STATIC", product::kWebText, kLink, 68, 104, 91, 13, Fit::kCentred},
    {"Button1", "BUTTON", "Read", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 8, 126, 171, 25},
};

// The two links and the targets their hints hold.
struct Link {
  const char* name;
  const char* hint;
};
const Link kLinks[] = {{"Label4", product::kMailLink}, {"Label6", product::kWebLink}};

const Link* LinkNamed(std::string_view name) {
  for (const Link& link : kLinks)
    if (name == link.name) return &link;
  return nullptr;
}

}  // namespace

TAboutForm::~TAboutForm() {
  if (Handle()) DestroyWindow(Handle());
  for (HICON icon : {appIcon_, globeIcon_})
    if (icon) DestroyIcon(icon);
  if (infoPicture_) DeleteObject(infoPicture_);
  for (HFONT font : {font_, boldFont_})
    if (font) DeleteObject(font);
}

HWND TAboutForm::Control(std::string_view name) const {
  return GetDlgItem(Handle(), ControlId(kAboutControls, name));
}

void TAboutForm::Create(HWND owner) {
  CreateWindowObject(kClassName, WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT,
                     WS_POPUP | WS_CAPTION | WS_SYSMENU, "About Vexel", 0, 0, 100, 100, owner);
  SetClientSize(Handle(), kClientWidth96, kClientHeight96);
  CenterOnScreen(Handle());
  CreateControls(Handle(), kAboutControls, kControls);
  FormCreate();
  font_ = CreateTahoma8(Handle());
  SetFontOfChildren(Handle(), font_);
  LOGFONTA bold{};
  GetObjectA(font_, sizeof bold, &bold);
  bold.lfWeight = FW_BOLD;
  boldFont_ = CreateFontIndirectA(&bold);
  SendMessageA(Control("Label1"), WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_), FALSE);
  Layout();
}

void TAboutForm::FormCreate() {
  const int size = Scaled(Handle(), kImageSize96);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  appIcon_ = static_cast<HICON>(LoadImageA(instance, "MAINICON", IMAGE_ICON, size, size, 0));
  SendMessageA(Control("Image1"), STM_SETICON, reinterpret_cast<WPARAM>(appIcon_), 0);
  globeIcon_ = static_cast<HICON>(LoadImageA(instance, "XGLOBEICON", IMAGE_ICON, size, size, 0));
  SendMessageA(Control("Image3"), STM_SETICON, reinterpret_cast<WPARAM>(globeIcon_), 0);

  // The system's information icon on the button face.
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  infoPicture_ = CreateCompatibleBitmap(screen, size, size);
  HGDIOBJ old = SelectObject(dc, infoPicture_);
  RECT all{0, 0, size, size};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  DrawIconEx(dc, 0, 0, LoadIconA(nullptr, IDI_INFORMATION), size, size, 0, nullptr, DI_NORMAL);
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  SendMessageA(Control("Image2"), STM_SETIMAGE, IMAGE_BITMAP,
               reinterpret_cast<LPARAM>(infoPicture_));
}

void TAboutForm::Layout() {
  LayoutControls(Handle(), kAboutControls, kControls, kClientWidth96, kClientHeight96);
}

void TAboutForm::SetVersion(const std::string& version) {
  SetWindowTextA(Control("versionLabel"), version.c_str());
  Layout();
}

LRESULT TAboutForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const std::string_view name = ControlNameOf(kAboutControls, LOWORD(wParam));
      if (name == "Button1" && HIWORD(wParam) == BN_CLICKED)
        Button1Click();
      else if (LinkNamed(name) && HIWORD(wParam) == STN_CLICKED)
        LinkClick(reinterpret_cast<HWND>(lParam));
      return 0;
    }
    case DM_GETDEFID:  // Enter presses "Read"
      return MAKELONG(ControlId(kAboutControls, "Button1"), DC_HASDEFID);
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      const std::string_view name =
          ControlNameOf(kAboutControls, GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
      SetTextColor(dc, name == "Label1"  ? kNavy
                       : LinkNamed(name) ? kLinkBlue
                                         : GetSysColor(COLOR_BTNTEXT));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR:
      if (LinkNamed(ControlNameOf(kAboutControls, GetDlgCtrlID(reinterpret_cast<HWND>(wParam))))) {
        SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));  // IDC_HAND
        return TRUE;
      }
      break;
    case WM_ACTIVATE:
      KeepFocusOnActivate(wParam, focus_, Control("Button1"));
      return 0;
    case WM_CLOSE:
      closed_ = true;
      return 0;
  }
  return Window::HandleMessage(message, wParam, lParam);
}

void TAboutForm::LinkClick(HWND label) {
  const Link* link = LinkNamed(ControlNameOf(kAboutControls, GetDlgCtrlID(label)));
  if (link) ShellExecuteA(Handle(), "open", link->hint, nullptr, nullptr, SW_SHOWNORMAL);
}

void TAboutForm::Button1Click() { closed_ = true; }

void ShowAboutWindow(HWND owner) {
  TAboutForm about;
  about.Create(owner);
  about.SetVersion(product::kVersion);
  RunModal(about.Handle(), [&] { return about.Closed(); });
}

}  // namespace vexel
