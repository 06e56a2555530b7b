# Sorts the project's sources by what they include:
#   windows  - includes a Windows SDK header, or a project header that does;
#   posix    - includes a POSIX system header, or a project header that does;
#   portable - everything else: built for every preset and unit-tested natively.
# A file is what its includes make it, so moving code between kinds needs no list edits.

set(ZANKIT_WINDOWS_HEADER_REGEX
    "^#[ \t]*include[ \t]*<(windows|winsock2|ws2tcpip|ole2|oleauto|objbase|ocidl|olectl|oaidl|unknwn|shlobj|shellapi|shlwapi|commdlg|commctrl|iphlpapi|icmpapi|iprtrmgmt|winreg|winhttp|imagehlp|wtypes|initguid)\\.h>")
set(ZANKIT_POSIX_HEADER_REGEX
    "^#[ \t]*include[ \t]*<(unistd|poll|netdb|pwd|fcntl|sys/[a-z_]+|arpa/[a-z_]+|netinet/[a-z_]+|net/[a-z_]+)\\.h>")
set(ZANKIT_LOCAL_INCLUDE_REGEX "^#[ \t]*include[ \t]*\"([^\"]+)\"")

# zankit_classify_file(<file> <search-dirs> <out-var>): sets out-var to windows, posix or portable.
function(zankit_classify_file file search_dirs out_var)
  get_property(cached GLOBAL PROPERTY "ZANKIT_KIND_${file}")
  if(cached)
    set(${out_var} ${cached} PARENT_SCOPE)
    return()
  endif()
  # Mark as portable while visiting, so include cycles end.
  set_property(GLOBAL PROPERTY "ZANKIT_KIND_${file}" portable)
  file(STRINGS "${file}" lines REGEX "^#[ \t]*include")
  set(kind portable)
  foreach(line IN LISTS lines)
    if(line MATCHES "${ZANKIT_WINDOWS_HEADER_REGEX}")
      set(kind windows)
      break()
    elseif(line MATCHES "${ZANKIT_POSIX_HEADER_REGEX}")
      set(kind posix)
    elseif(line MATCHES "${ZANKIT_LOCAL_INCLUDE_REGEX}")
      set(name "${CMAKE_MATCH_1}")
      get_filename_component(own_dir "${file}" DIRECTORY)
      foreach(dir IN LISTS own_dir search_dirs)
        if(EXISTS "${dir}/${name}")
          zankit_classify_file("${dir}/${name}" "${search_dirs}" sub_kind)
          if(sub_kind STREQUAL "windows")
            set(kind windows)
          elseif(sub_kind STREQUAL "posix" AND kind STREQUAL "portable")
            set(kind posix)
          endif()
          break()
        endif()
      endforeach()
      if(kind STREQUAL "windows")
        break()
      endif()
    endif()
  endforeach()
  set_property(GLOBAL PROPERTY "ZANKIT_KIND_${file}" ${kind})
  set(${out_var} ${kind} PARENT_SCOPE)
endfunction()

# zankit_sort_sources(<out-prefix> <search-dirs> <files...>): fills <out-prefix>_PORTABLE,
# <out-prefix>_WINDOWS and <out-prefix>_POSIX in the caller's scope.
function(zankit_sort_sources prefix search_dirs)
  set(portable)
  set(windows)
  set(posix)
  foreach(file IN LISTS ARGN)
    zankit_classify_file("${file}" "${search_dirs}" kind)
    if(kind STREQUAL "windows")
      list(APPEND windows "${file}")
    elseif(kind STREQUAL "posix")
      list(APPEND posix "${file}")
    else()
      list(APPEND portable "${file}")
    endif()
  endforeach()
  set(${prefix}_PORTABLE "${portable}" PARENT_SCOPE)
  set(${prefix}_WINDOWS "${windows}" PARENT_SCOPE)
  set(${prefix}_POSIX "${posix}" PARENT_SCOPE)
endfunction()
