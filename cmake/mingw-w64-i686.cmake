# TrailBeam.dll and its tests for i686 Windows (see mingw-w64.cmake).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TB_MINGW_TRIPLE i686-w64-mingw32)
set(TB_WINE_NAME wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
