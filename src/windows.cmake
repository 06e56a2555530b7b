# zankit.dll: the COM server. widl turns the one IDL into the type library (embedded as
# resource 1), the C/C++ header of the interfaces and the file of their identifiers.

find_program(WIDL widl REQUIRED)
set(ZANKIT_IDL "${CMAKE_CURRENT_SOURCE_DIR}/server/zankit.idl")
set(ZANKIT_GEN "${CMAKE_CURRENT_BINARY_DIR}/generated")
file(MAKE_DIRECTORY "${ZANKIT_GEN}")
set(WIDL_INCLUDES -I/usr/include/wine/wine/windows)
# The type library carries the project's major.minor version.
set(WIDL_DEFINES -DZANKIT_TYPELIB_VERSION=${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})

add_custom_command(
  OUTPUT "${ZANKIT_GEN}/zankit.tlb"
  COMMAND ${WIDL} ${ZANKIT_WIDL_FLAGS} ${WIDL_DEFINES} ${WIDL_INCLUDES} -t -o "${ZANKIT_GEN}/zankit.tlb" "${ZANKIT_IDL}"
  # widl stamps the type library with the time it ran; a fixed stamp keeps builds reproducible.
  COMMAND python3 "${PROJECT_SOURCE_DIR}/scripts/fix_tlb_stamp.py" "${ZANKIT_GEN}/zankit.tlb"
  DEPENDS "${ZANKIT_IDL}" VERBATIM)
add_custom_command(
  OUTPUT "${ZANKIT_GEN}/zankit_h.h"
  COMMAND ${WIDL} ${WIDL_DEFINES} ${WIDL_INCLUDES} -h -o "${ZANKIT_GEN}/zankit_h.raw.h" "${ZANKIT_IDL}"
  # widl writes C++ default arguments for [defaultvalue]; on pointer parameters those are
  # not valid C++ (VARIANT_BOOL* = -1), so they are dropped from the header.
  COMMAND sed -E "s/(\\*[A-Za-z_][A-Za-z_0-9]*) = [^,)]+/\\1/g" "${ZANKIT_GEN}/zankit_h.raw.h" > "${ZANKIT_GEN}/zankit_h.h"
  DEPENDS "${ZANKIT_IDL}" VERBATIM)
add_custom_command(
  OUTPUT "${ZANKIT_GEN}/zankit_i.c"
  COMMAND ${WIDL} ${WIDL_DEFINES} ${WIDL_INCLUDES} -u -o "${ZANKIT_GEN}/zankit_i.c" "${ZANKIT_IDL}"
  DEPENDS "${ZANKIT_IDL}" VERBATIM)
add_custom_target(zankit_idl DEPENDS "${ZANKIT_GEN}/zankit.tlb" "${ZANKIT_GEN}/zankit_h.h" "${ZANKIT_GEN}/zankit_i.c")

# The interface identifiers, compiled once and shared by the DLL and the host tests.
add_library(zankit_guids STATIC "${ZANKIT_GEN}/zankit_i.c")
target_include_directories(zankit_guids PUBLIC "${ZANKIT_GEN}")
add_dependencies(zankit_guids zankit_idl)

configure_file("${CMAKE_CURRENT_SOURCE_DIR}/server/zankit.rc.in" "${ZANKIT_GEN}/zankit.rc" @ONLY)
set_source_files_properties("${ZANKIT_GEN}/zankit.rc" PROPERTIES OBJECT_DEPENDS "${ZANKIT_GEN}/zankit.tlb")

add_library(zankit SHARED ${ZANKIT_WINDOWS} "${ZANKIT_GEN}/zankit.rc"
            "${CMAKE_CURRENT_SOURCE_DIR}/server/zankit.def")
add_dependencies(zankit zankit_idl)
set_target_properties(zankit PROPERTIES PREFIX "" OUTPUT_NAME "zankit")
target_include_directories(zankit PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}" "${ZANKIT_GEN}")
target_compile_definitions(zankit PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                           _WIN32_WINNT=0x0601)
target_link_libraries(zankit PRIVATE zankit_core zankit_guids
  ole32 oleaut32 uuid shlwapi shell32 advapi32 user32 gdi32 ws2_32 iphlpapi comdlg32 comctl32 imagehlp
  secur32 crypt32 winhttp bcrypt)
# Static C and C++ runtimes: the DLL imports system DLLs only.
target_link_options(zankit PRIVATE -static -static-libgcc -static-libstdc++
                    -Wl,--enable-stdcall-fixup)
