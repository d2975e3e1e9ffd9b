# Run by `cmake --install` and by CPack: installs tidewell.desktop from its template with the
# absolute path of the installed program. Expects TW_DESKTOP_TEMPLATE, TW_DESKTOP_STAGING_DIR, and
# TW_PROGRAM_DIR and TW_DESKTOP_DIR relative to the prefix.

set(program "${CMAKE_INSTALL_PREFIX}/${TW_PROGRAM_DIR}/tidewell")
if(program MATCHES "[\n\r]")
  message(FATAL_ERROR "A desktop entry cannot name a program whose path holds a line break: "
                      "${program}")
endif()

# Exec: a path with characters beyond the plain ones is quoted, and inside the quotes ", `, $ and \
# take a backslash. Both values are then strings of the format, in which a backslash is escaped once
# more; in Exec a percent sign starts a field code, so it is doubled.
set(exec "${program}")
if(NOT exec MATCHES "^[A-Za-z0-9_./+,:@-]+$")
  string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" exec "${exec}")
  set(exec "\"${exec}\"")
endif()
string(REPLACE "\\" "\\\\" exec "${exec}")
string(REPLACE "%" "%%" exec "${exec}")
string(REPLACE "\\" "\\\\" try_exec "${program}")

file(READ "${TW_DESKTOP_TEMPLATE}" text)
string(REPLACE "@TW_EXEC@" "${exec}" text "${text}")
string(REPLACE "@TW_TRY_EXEC@" "${try_exec}" text "${text}")

# A folder of its own for the written entry: CPack and an install to another prefix may run at the
# same time from one build.
string(RANDOM LENGTH 16 tag)
set(staged "${TW_DESKTOP_STAGING_DIR}/desktop-entry-${tag}")
file(WRITE "${staged}/tidewell.desktop" "${text}")
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${TW_DESKTOP_DIR}" TYPE FILE
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
     FILES "${staged}/tidewell.desktop")
file(REMOVE_RECURSE "${staged}")
