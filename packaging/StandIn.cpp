// A stand-in for Vexel.exe with the program's resources, packaged while the
// build has no Vexel target, so that the packages and their tests can be
// made and run on their own.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  MessageBoxA(nullptr, "This is a stand-in for Vexel.exe.", "Vexel", MB_OK | MB_ICONINFORMATION);
  return 0;
}
