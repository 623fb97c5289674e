# The desktop window `plover` (Qt 6 Widgets) and its QTest tests.
find_package(Qt6 REQUIRED COMPONENTS Widgets DBus)
find_package(Qt6 QUIET COMPONENTS Test)

set(CMAKE_AUTOMOC ON)

add_library(plover_gui STATIC
  gui/widgets/check_header.cpp
  gui/convert_worker.cpp
  gui/widgets/file_icon_cache.cpp
  gui/widgets/file_list_model.cpp
  gui/widgets/file_list_view.cpp
  gui/widgets/file_size_text.cpp
  gui/frm_about.cpp
  gui/frm_convert_image.cpp
  gui/frm_convert_image_layout.cpp
  gui/widgets/getting_started_panel.cpp
  gui/language_apply.cpp
  gui/widgets/link_label.cpp
  gui/widgets/overlay_host.cpp
  gui/widgets/password_panel.cpp
  gui/widgets/path_field.cpp
  gui/widgets/thumbnail_cache.cpp
  gui/window_texts.cpp
  gui/product_info.cpp
  gui/shell_services.cpp
  gui/theme.cpp)
# The page list field reads pages as the command line's --pages does.
target_link_libraries(plover_gui PUBLIC plover_job plover_cli_options Qt6::Widgets Qt6::DBus)

add_executable(plover gui/main.cpp)
target_link_libraries(plover PRIVATE plover_gui)

if(PLOVER_BUILD_TESTS AND TARGET Qt6::Test)
  enable_testing()
  file(GLOB PLOVER_GUI_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*_test.cpp)
  add_library(plover_gui_test_support STATIC
    tests/gui_test_support.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/pdf_builder.cpp)
  target_include_directories(plover_gui_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(plover_gui_test_support PUBLIC plover_gui Qt6::Test)
  # --help and --version answer where there is no display at all.
  add_test(NAME gui_help_without_display
           COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
                   $<TARGET_FILE:plover> --help)
  set_tests_properties(gui_help_without_display PROPERTIES LABELS gui PASS_REGULAR_EXPRESSION "Usage: .*--convert")
  foreach(src ${PLOVER_GUI_TESTS})
    get_filename_component(name ${src} NAME_WE)
    add_executable(gui_${name} ${src})
    target_link_libraries(gui_${name} PRIVATE plover_gui_test_support)
    add_test(NAME gui_${name} COMMAND gui_${name})
    set_tests_properties(gui_${name} PROPERTIES
      LABELS gui
      TIMEOUT 300
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8")
  endforeach()
endif()
