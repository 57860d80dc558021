# The product: taropts.exe for i386 Windows, Windows 95 and later.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TAROPTS_WINE_ARCH i386)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
