# Precompiled headers. Most of a test's compile time is spent parsing GoogleTest,
# Qt and the standard library's headers, the same for every file. Three donor
# targets each build one precompiled header; every other target reuses the one
# that fits what it links:
#   tarvik_pch_qt     Qt Widgets and the standard library, for targets that link Qt6::Widgets
#   tarvik_pch_gtest  GoogleTest, GoogleMock and the standard library, for plain tests
#   tarvik_pch_std    the standard library, for everything else
# A header in a precompiled header is seen by every file of the target, so only
# headers of libraries the target already uses are listed. TARVIK_PCH=OFF turns
# them off (the fuzz build does: clang and its coverage flags).

set(_tarvik_std_headers <algorithm> <array> <chrono> <cstdint> <filesystem> <functional> <map> <memory>
                        <mutex> <optional> <set> <string> <string_view> <utility> <vector>)

function(_tarvik_pch_donor name headers)
  add_library(${name} OBJECT ${PROJECT_SOURCE_DIR}/cmake/pch/donor.cpp)
  set_target_properties(${name} PROPERTIES AUTOMOC OFF)
  target_link_libraries(${name} PRIVATE ${ARGN})
  target_precompile_headers(${name} PRIVATE ${headers})
  tarvik_warnings(${name})
endfunction()

# What of Qt a target links, directly or through the project's libraries:
# "widgets", "other" (Qt without the widgets: built with -fPIC, which no donor
# matches) or "" (none).
function(_tarvik_qt_use target out)
  set(${out} "" PARENT_SCOPE)
  get_target_property(_libs ${target} LINK_LIBRARIES)
  get_target_property(_type ${target} TYPE)
  if(_type STREQUAL "INTERFACE_LIBRARY")
    get_target_property(_libs ${target} INTERFACE_LINK_LIBRARIES)
  endif()
  if(NOT _libs)
    return()
  endif()
  set(_found "")
  foreach(lib ${_libs})
    if(lib STREQUAL "Qt6::Widgets")
      set(${out} widgets PARENT_SCOPE)
      return()
    elseif(lib MATCHES "^Qt6::")
      set(_found other)
    elseif(lib MATCHES "^tarvik" AND TARGET ${lib})
      _tarvik_qt_use(${lib} _sub)
      if(_sub STREQUAL "widgets")
        set(${out} widgets PARENT_SCOPE)
        return()
      elseif(_sub)
        set(_found other)
      endif()
    endif()
  endforeach()
  set(${out} "${_found}" PARENT_SCOPE)
endfunction()

function(_tarvik_collect_targets dir out)
  get_property(_targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(_subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${_subdirs})
    _tarvik_collect_targets(${sub} _more)
    list(APPEND _targets ${_more})
  endforeach()
  set(${out} ${_targets} PARENT_SCOPE)
endfunction()

# Called once, after every target exists.
function(tarvik_apply_precompiled_headers)
  if(NOT TARVIK_PCH)
    return()
  endif()
  _tarvik_pch_donor(tarvik_pch_std "${_tarvik_std_headers}")
  set(_with_gtest FALSE)
  if(TARVIK_TESTS)
    _tarvik_pch_donor(tarvik_pch_gtest "<gtest/gtest.h>;<gmock/gmock.h>;${_tarvik_std_headers}"
                      GTest::gtest GTest::gmock)
    set(_with_gtest TRUE)
  endif()
  set(_with_qt FALSE)
  if(TARVIK_GUI)
    _tarvik_pch_donor(tarvik_pch_qt
      "<QtCore/QObject>;<QtCore/QString>;<QtCore/QTimer>;<QtGui/QImage>;<QtGui/QPainter>;<QtGui/QMouseEvent>;<QtWidgets/QApplication>;<QtWidgets/QDialog>;<QtWidgets/QWidget>;${_tarvik_std_headers}"
      Qt6::Widgets)
    set(_with_qt TRUE)
  endif()

  _tarvik_collect_targets(${PROJECT_SOURCE_DIR} _all)
  foreach(target ${_all})
    get_target_property(_type ${target} TYPE)
    if(NOT _type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|OBJECT_LIBRARY)$" OR target MATCHES "^tarvik_pch_")
      continue()
    endif()
    get_target_property(_sources ${target} SOURCES)
    if(NOT _sources MATCHES "\\.cpp")
      continue()
    endif()
    get_target_property(_libs ${target} LINK_LIBRARIES)
    _tarvik_qt_use(${target} _qt)
    if(_qt STREQUAL "widgets" AND _with_qt)
      target_precompile_headers(${target} REUSE_FROM tarvik_pch_qt)
      # moc's collected file is empty where the sources include their moc output
      # (all but one target): loading the precompiled header would be most of
      # the target's compile time left outside the unity file.
      get_target_property(_automoc ${target} AUTOMOC)
      if(_automoc)
        get_target_property(_bin ${target} BINARY_DIR)
        set_source_files_properties(${_bin}/${target}_autogen/mocs_compilation.cpp TARGET_DIRECTORY ${target}
                                    PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
      endif()
    elseif(_qt)
      continue()
    elseif(_with_gtest AND _libs MATCHES "GTest::")
      target_precompile_headers(${target} REUSE_FROM tarvik_pch_gtest)
    else()
      target_precompile_headers(${target} REUSE_FROM tarvik_pch_std)
    endif()
  endforeach()
endfunction()

# moc runs only for targets that use Qt: CMAKE_AUTOMOC is on for the whole tree,
# and every other target would get a moc step and an empty file to compile.
function(tarvik_automoc_only_for_qt)
  _tarvik_collect_targets(${PROJECT_SOURCE_DIR} _all)
  foreach(target ${_all})
    get_target_property(_type ${target} TYPE)
    if(NOT _type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|OBJECT_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY)$")
      continue()
    endif()
    _tarvik_qt_use(${target} _qt)
    if(NOT _qt)
      set_target_properties(${target} PROPERTIES AUTOMOC OFF)
    endif()
  endforeach()
endfunction()
