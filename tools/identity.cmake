# brummkiste_identity(VAR NAME): the string that control/identity.h
# defines as NAME (a one-line #define of a plain string).
function(brummkiste_identity var name)
  file(STRINGS ${PROJECT_SOURCE_DIR}/control/identity.h line REGEX "^#define ${name} \"")
  if(NOT line)
    message(FATAL_ERROR "control/identity.h defines no ${name}")
  endif()
  string(REGEX REPLACE "^#define ${name} \"([^\"]*)\".*" "\\1" value "${line}")
  set(${var} "${value}" PARENT_SCOPE)
endfunction()
