# The image libraries of plan preparation, as one target for the core library and the fuzz
# build alike. Debian's split OpenCV packages ship no CMake package file (only the meta
# package libopencv-dev does, and it drags in every module down to VTK), so the two modules
# the core uses are found by hand; poppler's Qt 6 binding comes with a pkg-config file.
find_path(METROLA_OPENCV_INCLUDE opencv2/imgproc.hpp PATH_SUFFIXES opencv4 REQUIRED)
find_library(METROLA_OPENCV_CORE opencv_core REQUIRED)
find_library(METROLA_OPENCV_IMGPROC opencv_imgproc REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(POPPLER_QT6 REQUIRED IMPORTED_TARGET poppler-qt6)
if(NOT TARGET metrola_imagelibs)
  add_library(metrola_imagelibs INTERFACE)
  target_include_directories(metrola_imagelibs SYSTEM INTERFACE ${METROLA_OPENCV_INCLUDE})
  target_link_libraries(metrola_imagelibs INTERFACE ${METROLA_OPENCV_IMGPROC} ${METROLA_OPENCV_CORE}
    PkgConfig::POPPLER_QT6)
endif()
