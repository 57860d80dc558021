// Must not compile at the program's Windows 95 API level: SetProcessDPIAware
// came with Windows Vista. The same file compiles at the headers' default
// level, which shows the failure is the API level and nothing else.
#include <windows.h>

int main() {
    return SetProcessDPIAware() ? 0 : 1;
}
