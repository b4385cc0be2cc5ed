#include "app/windows/CheckPhoneUnit.h"

#include "app/ControlIds.h"
#include "app/win32/Controls.h"
#include "phone/PhoneCheck.h"
#include "phone/PortList.h"

namespace vexel {

namespace {

constexpr int kClientWidth96 = 360;
constexpr int kClientHeight96 = 240;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

const ControlLayout kControls[] = {
    {"ReportMemo", "EDIT", "",
     kChild | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 8, 8, 344, 194,
     Fit::kAsGiven, WS_EX_CLIENTEDGE},
    {"CopyButton", "BUTTON", "Copy", kChild | WS_TABSTOP, 8, 210, 100, 22},
    {"CloseButton", "BUTTON", "Close", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 252, 210, 100, 22},
};

}  // namespace

TCheckPhoneForm::~TCheckPhoneForm() {
  worker_.Cancel();
  if (Handle()) DestroyWindow(Handle());
  if (font_) DeleteObject(font_);
}

HWND TCheckPhoneForm::Control(std::string_view name) const {
  return GetDlgItem(Handle(), ControlId(kCheckPhoneControls, name));
}

void TCheckPhoneForm::Create(HWND owner, const std::string& portEntry, int maker,
                             const std::string& refusal) {
  CreateWindowObject(kCheckPhoneWindowClass, WS_EX_CONTROLPARENT,
                     WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, "Check phone", 0, 0,
                     100, 100, owner);
  if (!Handle()) return;
  SetClientSize(Handle(), kClientWidth96, kClientHeight96);
  CenterOnScreen(Handle());
  CreateControls(Handle(), kCheckPhoneControls, kControls);
  font_ = CreateTahoma8(Handle());
  SetFontOfChildren(Handle(), font_);
  LayoutControls(Handle(), kCheckPhoneControls, kControls, kClientWidth96, kClientHeight96);
  ShowWindow(Handle(), SW_SHOWNORMAL);
  SetForegroundWindow(Handle());
  if (!refusal.empty()) {
    AddLine(refusal);
    return;
  }
  AddLine("Checking the phone on " + portEntry + "...");
  const std::string port = PortNameOfEntry(portEntry);
  worker_.Start(Handle(), [port, maker](SerialPort& serial, LinkHost& host,
                                        const std::function<bool()>& stopped,
                                        const std::function<void(const std::string&)>& out) {
    serial.SetCommPort(port);
    try {
      if (!serial.OpenPort()) throw ECommsError(port + ": cannot open");
    } catch (const std::exception& error) {
      out(std::string("Cannot open the port: ") + error.what());
      return std::string();
    }
    PhoneExchange exchange(serial, host, stopped);
    const bool key = CheckPhone(exchange, host, serial, maker, out);
    serial.ClosePort();
    return std::string(key ? "key" : "");
  });
}

void TCheckPhoneForm::AddLine(const std::string& line) {
  HWND memo = Control("ReportMemo");
  const std::string text = (GetWindowTextLengthA(memo) > 0 ? "\r\n" : "") + line;
  const int end = GetWindowTextLengthA(memo);
  SendMessageA(memo, EM_SETSEL, end, end);
  SendMessageA(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

void TCheckPhoneForm::CopyButtonClick() {
  HWND memo = Control("ReportMemo");
  SendMessageA(memo, EM_SETSEL, 0, -1);
  SendMessageA(memo, WM_COPY, 0, 0);
}

LRESULT TCheckPhoneForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const std::string_view name = ControlNameOf(kCheckPhoneControls, LOWORD(wParam));
      if (HIWORD(wParam) != BN_CLICKED) return 0;
      if (name == "CopyButton") CopyButtonClick();
      if (name == "CloseButton" || LOWORD(wParam) == IDCANCEL) DestroyWindow(Handle());
      return 0;
    }
    case DM_GETDEFID:
      return MAKELONG(ControlId(kCheckPhoneControls, "CloseButton"), DC_HASDEFID);
    case WM_ACTIVATE:
      KeepFocusOnActivate(wParam, focus_, Control("CloseButton"));
      return 0;
    case WM_CLOSE:
      DestroyWindow(Handle());
      return 0;
    case WM_DESTROY:
      worker_.Cancel();
      break;
    case kWorkerWake:
      for (const std::string& line : worker_.Take().lines) AddLine(line);
      return 0;
  }
  return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace vexel
