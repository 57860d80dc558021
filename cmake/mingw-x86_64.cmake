# The 64-bit test twin: the same sources for x86-64 Windows, for hosts whose
# kernel refuses 32-bit code and so can run only 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAROPTS_WINE_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
