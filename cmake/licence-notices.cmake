# Writes the three licence notices that Corvane.exe carries as data resources 201-203, from the
# licence files of the packages the build actually uses. Script mode:
#   cmake -DIMGUI_DIR=... -DJSON_COPYRIGHT=... -DMINGW_COPYRIGHT=... -DGCC_COPYRIGHT=...
#         -DOUT_DIR=... -P licence-notices.cmake
# The Debian copyright files are in the machine-readable format: paragraphs separated by blank
# lines, continuation lines indented by one blank, " ." standing for an empty line.

foreach(input IMGUI_DIR JSON_COPYRIGHT MINGW_COPYRIGHT GCC_COPYRIGHT OUT_DIR)
  if(NOT ${input})
    message(FATAL_ERROR "licence-notices: ${input} is not set")
  endif()
endforeach()
foreach(file "${IMGUI_DIR}/LICENSE.txt" "${IMGUI_DIR}/imgui_draw.cpp" "${JSON_COPYRIGHT}" "${MINGW_COPYRIGHT}"
             "${GCC_COPYRIGHT}")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "licence-notices: ${file} not found")
  endif()
endforeach()

# The text from the first line holding `first` to the end of the first line after it that holds
# `last`.
function(text_between text first last out)
  string(FIND "${text}" "${first}" start)
  if(start LESS 0)
    message(FATAL_ERROR "licence-notices: '${first}' not found")
  endif()
  string(SUBSTRING "${text}" ${start} -1 rest)
  string(FIND "${rest}" "${last}" end)
  if(end LESS 0)
    message(FATAL_ERROR "licence-notices: '${last}' not found")
  endif()
  string(LENGTH "${last}" last_length)
  math(EXPR end "${end} + ${last_length}")
  string(SUBSTRING "${rest}" 0 ${end} piece)
  set(${out} "${piece}" PARENT_SCOPE)
endfunction()

# The paragraph of a Debian copyright file whose first line is `header`, continuation lines
# de-indented.
function(debian_paragraph text header out)
  string(FIND "${text}" "\n\n${header}\n" start)
  if(start LESS 0)
    message(FATAL_ERROR "licence-notices: paragraph '${header}' not found")
  endif()
  math(EXPR start "${start} + 2")
  string(SUBSTRING "${text}" ${start} -1 rest)
  string(FIND "${rest}" "\n\n" end)
  if(end GREATER_EQUAL 0)
    string(SUBSTRING "${rest}" 0 ${end} rest)
  endif()
  string(REPLACE "\n .\n" "\n\n" rest "${rest}")
  string(REPLACE "\n " "\n" rest "${rest}")
  set(${out} "${rest}" PARENT_SCOPE)
endfunction()

file(READ "${IMGUI_DIR}/LICENSE.txt" imgui_licence)
file(READ "${IMGUI_DIR}/imgui_draw.cpp" imgui_draw)
file(READ "${JSON_COPYRIGHT}" json_copyright)
file(READ "${MINGW_COPYRIGHT}" mingw_copyright)
file(READ "${GCC_COPYRIGHT}" gcc_copyright)

# 201: Dear ImGui.
file(WRITE "${OUT_DIR}/licence-interface.txt" "Dear ImGui\n\n${imgui_licence}")

# 202: the JSON library: its package's copyright file as distributed, every paragraph of it
# (the notices of the files it was built from and the licences they name).
file(WRITE "${OUT_DIR}/licence-data.txt" "JSON for Modern C++ (nlohmann/json)\n\n${json_copyright}")

# 203: what else the executable contains.
text_between("${imgui_draw}" "// ProggyClean.ttf\n" "// MIT license" proggy)
string(REPLACE "// " "" proggy "${proggy}")
text_between("${imgui_licence}" "Permission is hereby granted" "SOFTWARE." mit_terms)

debian_paragraph("${mingw_copyright}" "Files: *" mingw_runtime)
debian_paragraph("${mingw_copyright}" "Files: mingw-w64-libraries/winpthreads/*" winpthreads)
debian_paragraph("${mingw_copyright}" "License: expat" expat_terms)
string(REPLACE "License: expat\n" "" expat_terms "${expat_terms}")

text_between("${gcc_copyright}" "The following runtime libraries are licensed" "libstdc++-v3" gcc_runtime)
text_between("${gcc_copyright}" "GCC RUNTIME LIBRARY EXCEPTION" "requirements of the license of GCC." gcc_exception)

file(WRITE "${OUT_DIR}/licence-additional.txt"
"The font embedded in Dear ImGui\n\n${proggy}\n\n${mit_terms}\n\n\
The mingw-w64 runtime linked into the executable\n\n${mingw_runtime}\n\n\
The winpthreads library linked into the executable\n\n${winpthreads}\n\n${expat_terms}\n\n\
The GCC runtime libraries linked into the executable (libgcc, libstdc++)\n\n${gcc_runtime}\n\n${gcc_exception}\n")
