// Prints the display modes that the DirectDraw in use reports, one a line,
// in its order: size, bit count and pixel format flags; then the screen size.
#include <windows.h>

#include <ddraw.h>
#include <stdio.h>

static HRESULT WINAPI print_mode(LPDDSURFACEDESC mode, LPVOID) {
    printf("%lux%lu %lu bits flags 0x%lx\n", mode->dwWidth, mode->dwHeight,
           mode->ddpfPixelFormat.dwRGBBitCount, mode->ddpfPixelFormat.dwFlags);
    return DDENUMRET_OK;
}

int main() {
    LPDIRECTDRAW directdraw;
    HRESULT result = DirectDrawCreate(nullptr, &directdraw, nullptr);
    if (result == DD_OK)
        result = directdraw->EnumDisplayModes(0, nullptr, nullptr, print_mode);
    printf("screen %dx%d, result 0x%lx\n", GetSystemMetrics(SM_CXSCREEN),
           GetSystemMetrics(SM_CYSCREEN), static_cast<unsigned long>(result));
    return result != DD_OK;
}
