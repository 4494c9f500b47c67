# One static library per folder. In folders that hold windows, the Qt sources
# (*_form.*, qt_*) form a second library "<name>_forms", so that the rest builds
# and tests without Qt.
function(isoview_folder_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;FORM_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  set(pure ${sources})
  list(FILTER pure EXCLUDE REGEX "(_form\\.(cpp|h|ui)|/qt_[^/]*)$")
  set(forms ${sources})
  list(FILTER forms INCLUDE REGEX "(_form\\.(cpp|h|ui)|/qt_[^/]*)$")

  list(FILTER pure INCLUDE REGEX "\\.cpp$")
  if(pure)
    add_library(${name} STATIC ${pure})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()

  # Folders are added in dependency order; a folder without windows has no forms library.
  set(form_deps "")
  foreach(dep ${ARG_FORM_DEPS})
    if(TARGET ${dep})
      list(APPEND form_deps ${dep})
    endif()
  endforeach()
  if(forms AND ISOVIEW_WITH_QT)
    add_library(${name}_forms STATIC ${forms})
    set_target_properties(${name}_forms PROPERTIES AUTOMOC ON AUTOUIC ON)
    target_include_directories(${name}_forms PUBLIC ${PROJECT_SOURCE_DIR}
                                                    ${CMAKE_CURRENT_BINARY_DIR}/${name}_forms_autogen/include)
    target_link_libraries(${name}_forms PUBLIC ${name} ${form_deps}
                                               Qt6::Widgets Qt6::PrintSupport)
  endif()
endfunction()

# The Qt-free libraries the tools, benchmarks and fuzzers may use: the station and below.
set(ISOVIEW_CORE_LIBRARIES isoview_station isoview_archive isoview_chart isoview_download
                           isoview_program isoview_source_check isoview_http isoview_gif
                           isoview_imaging isoview_runtime)
