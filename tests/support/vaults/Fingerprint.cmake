# Writes OUT, a header naming the finished sample databases by a
# fingerprint of the code that builds them (the files listed in LIST), and
# leaves it untouched while the fingerprint stays.
file(STRINGS "${LIST}" files)
set(all "")
foreach(file IN LISTS files)
  file(SHA256 "${file}" hash)
  string(APPEND all "${file} ${hash}\n")
endforeach()
string(SHA256 fingerprint "${all}")
string(SUBSTRING "${fingerprint}" 0 16 fingerprint)
set(text "#define MOVRANO_DATABASE_BUILDER \"${fingerprint}\"\n")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUT}" "${text}")
