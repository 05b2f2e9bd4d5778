# Small helpers so that adding a file never means editing a list of files.

# quillmere_library(<target> DIRS <dir>... LIBS <lib>... [EXCLUDE <file name>...])
# One static library per subsystem, made of the .cpp/.h files of the given folders
# (not recursive), less the named files (a program's main.cpp). A folder without sources
# yields an INTERFACE library so that dependants link cleanly before the subsystem has code.
function(quillmere_library target)
    cmake_parse_arguments(Q "" "" "DIRS;LIBS;RESOURCES;EXCLUDE" ${ARGN})
    set(sources)
    foreach(dir IN LISTS Q_DIRS)
        file(GLOB found CONFIGURE_DEPENDS
            ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.h)
        list(APPEND sources ${found})
    endforeach()
    list(FILTER sources INCLUDE REGEX "\\.cpp$|\\.h$")
    foreach(name IN LISTS Q_EXCLUDE)
        list(FILTER sources EXCLUDE REGEX "/${name}$")
    endforeach()
    set(cpp ${sources})
    list(FILTER cpp INCLUDE REGEX "\\.cpp$")
    if(cpp OR Q_RESOURCES)
        add_library(${target} STATIC ${sources} ${Q_RESOURCES})
        target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${target} PUBLIC ${Q_LIBS})
    else()
        add_library(${target} INTERFACE)
        target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${target} INTERFACE ${Q_LIBS})
    endif()
endfunction()

# quillmere_tests(<folder> LIBS <lib>... [XVFB])
# Every tst_*.cpp in the folder becomes one QtTest executable and one CTest test.
# Files named tst_x11_*.cpp need a real X server and run under xvfb-run.
function(quillmere_tests folder)
    cmake_parse_arguments(Q "" "" "LIBS" ${ARGN})
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/tst_*.cpp)
    foreach(src IN LISTS tests)
        get_filename_component(name ${src} NAME_WE)
        set(target ${folder}_${name})
        add_executable(${target} ${src})
        set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
        target_link_libraries(${target} PRIVATE Qt6::Test quillmere_testsupport ${Q_LIBS})
        target_compile_definitions(${target} PRIVATE
            QUILLMERE_TESTDATA_DIR="${QUILLMERE_TESTDATA_DIR}"
            QUILLMERE_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
            QUILLMERE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
        if(name MATCHES "^tst_x11_")
            add_test(NAME ${folder}/${name} COMMAND xvfb-run -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:${target}>)
            set(platform "QT_QPA_PLATFORM=xcb")
        else()
            add_test(NAME ${folder}/${name} COMMAND ${target})
            set(platform "QT_QPA_PLATFORM=offscreen")
        endif()
        set_tests_properties(${folder}/${name} PROPERTIES
            TIMEOUT 300
            ENVIRONMENT "${platform};QTWEBENGINE_DISABLE_SANDBOX=1;QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --no-sandbox;QT_LOGGING_RULES=qt.webenginecontext.debug=false;LC_ALL=C.UTF-8")
    endforeach()
endfunction()
