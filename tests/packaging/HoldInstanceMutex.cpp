// HoldInstanceMutex READY_FILE
// Holds Vexel's single-instance mutex, as a running Vexel does: creates it,
// then creates READY_FILE and holds the mutex until that file is deleted
// (at most a minute).
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "VexelInstMutex");
  HANDLE ready = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (!mutex || ready == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(ready);
  for (int i = 0; i < 1200 && GetFileAttributesA(argv[1]) != INVALID_FILE_ATTRIBUTES; ++i) {
    Sleep(50);
  }
  CloseHandle(mutex);
  return 0;
}
