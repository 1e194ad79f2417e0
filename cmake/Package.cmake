# The packages `cpack` makes from the install rules: on Linux a Debian
# package (norvik_<version>_<arch>.deb), on Windows a zip of Norvik.exe.
set(CPACK_PACKAGE_NAME norvik)
set(CPACK_PACKAGE_VENDOR "The Norvik developers")
# The support address the About box gives.
set(CPACK_PACKAGE_CONTACT "The Norvik developers <support@norvik-tools.example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console for the extension-unit controls of UVC cameras")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_PACKAGE_FILE_NAME norvik-${PROJECT_VERSION}-windows-x86)
  else()
    set(CPACK_PACKAGE_FILE_NAME norvik-${PROJECT_VERSION}-windows-x64)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The dialog's texts are Chinese: without a CJK font they are empty boxes.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-noto-cjk)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The Python module is built for one minor version of Python 3.
  if(TARGET norvik_python)
    find_package(Python3 COMPONENTS Interpreter QUIET)
    math(EXPR next_minor "${Python3_VERSION_MINOR} + 1")
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}~), python3 (<< ${Python3_VERSION_MAJOR}.${next_minor})")
  endif()
  # libnorvik is in the package: its shlibs file and the ldconfig trigger.
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # ldconfig runs through dpkg's trigger; without maintainer scripts of our
  # own CPack would write ones that call it directly.
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/packaging/debian/triggers
    ${CMAKE_SOURCE_DIR}/packaging/debian/postinst
    ${CMAKE_SOURCE_DIR}/packaging/debian/postrm)
  # The synopsis is the summary above; this is the long description.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Norvik is a tool for engineers who build USB video class (UVC) cameras.
It finds the cameras attached to the computer, works out which extension
units (XUs) each one declares in its USB descriptors, and reads and writes
the vendor-specific controls of a unit: by hand in a dialog (norvik, with
Chinese texts) or from scripts and test benches (norvikctl, with bash
completion). Every transfer can be logged as CSV.

A simulated platform with built-in demo cameras runs everything without
hardware. The package also holds libnorvik, the C++ API with its headers
and CMake package file.")
endif()

include(CPack)
