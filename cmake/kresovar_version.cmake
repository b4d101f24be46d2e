# The version and the home page, as project() gives them, for the code; the
# resource files, the metadata and the manual pages are configured copies.
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/generated/kresovar_version.h @ONLY CONTENT [[
#pragma once
inline constexpr char kProgramVersion[] = "@PROJECT_VERSION@";
inline constexpr char kHomePageAddress[] = "@PROJECT_HOMEPAGE_URL@";
]])
add_library(kresovar_version INTERFACE)
target_include_directories(kresovar_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
