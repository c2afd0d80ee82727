# libgcrypt (and the libgpg-error under it): the one source of the vaults'
# cryptography on every platform. Debian's libgcrypt20-dev natively,
# libgcrypt-mingw-w64-dev for the Windows builds, where both are linked
# statically so that the programs import nothing but system DLLs.
# Defines the target vantlo::gcrypt.
if(TARGET vantlo::gcrypt)
  return()
endif()

find_path(GCRYPT_INCLUDE_DIR gcrypt.h REQUIRED)
if(WIN32)
  find_library(GCRYPT_LIBRARY NAMES libgcrypt.a REQUIRED)
  find_library(GPG_ERROR_LIBRARY NAMES libgpg-error.a REQUIRED)
else()
  find_library(GCRYPT_LIBRARY NAMES gcrypt REQUIRED)
  find_library(GPG_ERROR_LIBRARY NAMES gpg-error REQUIRED)
endif()

add_library(vantlo::gcrypt INTERFACE IMPORTED)
target_include_directories(vantlo::gcrypt INTERFACE ${GCRYPT_INCLUDE_DIR})
target_link_libraries(vantlo::gcrypt INTERFACE ${GCRYPT_LIBRARY} ${GPG_ERROR_LIBRARY})
if(WIN32)
  # libgpg-error's Windows port reaches sockets and the system's
  # random source through these.
  target_link_libraries(vantlo::gcrypt INTERFACE ws2_32 advapi32)
endif()
