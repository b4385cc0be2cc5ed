#include "app/win32/ErrorBox.h"

#include <string>

#include "app/ErrorFlood.h"
#include "base/Error.h"

namespace vexel {

namespace {

std::wstring Widen(const std::string& text, unsigned codePage) {
  const int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

}  // namespace

void ShowException(HWND owner, const std::exception& error) {
  static ErrorFlood flood;
  const auto* known = dynamic_cast<const Error*>(&error);
  const bool conversion = dynamic_cast<const EConvertError*>(&error) != nullptr;
  if (!flood.Begin(conversion)) return;
  const std::wstring text =
      Widen(ErrorBoxText(error.what()), known ? known->CodePage() : kSystemCodePage);
  MessageBoxW(owner, text.c_str(), L"Vexel", MB_OK | MB_ICONERROR);
  flood.End(conversion);
}

}  // namespace vexel
