// A window whose messages go to a C++ object: `this` travels with the
// creation message and one static procedure forwards every message to
// HandleMessage. An exception that leaves a handler is shown in the
// application's standard error box, and the program goes on.
#pragma once

#include <windows.h>

namespace vexel {

class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  HWND Handle() const { return hwnd_; }

 protected:
  // Registers the class (once per name) and creates the window; a child
  // window gets childId as its control identifier.
  void CreateWindowObject(const char* className, DWORD exStyle, DWORD style, const char* title,
                          int x, int y, int width, int height, HWND parent, int childId = 0,
                          HICON icon = nullptr);
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Called once the window procedure has seen WM_NCDESTROY.
  virtual void Destroyed() {}

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND hwnd_ = nullptr;
};

// Pixels at the window's DPI for a length given at 96 DPI.
int Scaled(HWND hwnd, int length96);
// The Tahoma 8 point font of our windows at the window's DPI (owned by the caller).
HFONT CreateTahoma8(HWND hwnd);
// Sets the font of the window and all its children.
void SetFontOfChildren(HWND parent, HFONT font);

}  // namespace vexel
