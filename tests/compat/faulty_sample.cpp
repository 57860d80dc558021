// A program with every fault the compatibility check looks for. It is built
// only to be checked, never run.
#include <windows.h>

int main() {
    HKEY key;
    RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key);
    Beep(440, 10);
    return LoadLibraryA("shell32.dll") != nullptr;
}
